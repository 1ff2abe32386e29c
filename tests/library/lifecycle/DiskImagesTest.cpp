// setDiskImages: where each image goes, what the host ends up with, and how failures and skips show.
#include "LibraryTests.h"

namespace VelmoraTest {
namespace {

using Kind = HyperVSim::ControllerView::Kind;

std::wstring poolQuery(const std::wstring& subtype) {
    return L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:" + subtype +
           L"' and Primordial = True";
}

class DiskImages : public HostTest {
protected:
    // Per controller of `kind`, its drives in the host's order as "address:image" with the image's index in
    // `list` ('-' for none), e.g. {"0:0 1:1", ""}.
    static std::vector<std::string> layout(const std::wstring& vmPath, Kind kind,
                                           const std::vector<std::wstring>& list) {
        std::vector<std::string> controllers;
        const HyperVSim::MachineView vm = Control::machine(vmPath).value();
        for (const HyperVSim::ControllerView& controller : vm.controllers) {
            if (controller.kind != kind) continue;
            std::string text;
            for (const HyperVSim::DriveView& drive : controller.drives) {
                const auto at = std::find(list.begin(), list.end(), drive.image);
                text += (text.empty() ? "" : " ") + ascii(drive.address) + ":" +
                        (at == list.end() ? "-" : std::to_string(at - list.begin()));
            }
            controllers.push_back(text);
        }
        return controllers;
    }
    static LogLines opening(const std::wstring& vmPath) {
        return frame("Set disk images") + serviceLines() + LogLines{objectLine(vmPath)} + association();
    }
    // The search for a SCSI controller on a machine without one, and its addition.
    static LogLines addedScsi() {
        return LogLines{info("Get SCSI controller"), info("Get '__Path'"), error("Query returned no objects!"),
                        info("Executing query")} +
               defaultObject() + LogLines{info("Geterating adapter GUID")} +
               puts({"VirtualSystemIdentifiers", "ElementName"}) + addResource();
    }
    // One image attached; `toScsi` when it is the first past the IDE controllers.
    static LogLines image(const std::wstring& path, bool toScsi = false) {
        LogLines lines{info("Trying to add disk image: " + ascii(path))};
        if (toScsi) lines.push_back(info("Maximum IDE disk reached. Starting add to SCSI"));
        return lines + LogLines{info("Executing query")} + defaultObject() + LogLines{info("Get '__Path'")} +
               puts({"Parent", "AddressOnParent"}) + addResource() + LogLines{info("Executing query")} +
               defaultObject() + LogLines{info("Get '__Path'")} + puts({"Parent", "HostResource"}) + addResource();
    }
    static long count(const std::string& text) {
        return std::count(capturedLines().begin(), capturedLines().end(), info(text));
    }
};

Fault addition(unsigned occurrence) {  // AddResourceSettings: the SCSI controller, drive 0, disk 0, drive 1, ...
    return rule("ExecMethod", L"AddResourceSettings", Fault::Kind::Fail, failed, occurrence);
}

// Generation 1 fills the two IDE controllers (two drives each) before the SCSI controller; a drive that cannot be
// added is skipped, and the next image takes its address on SCSI, the next controller by index on IDE.
TEST_F(DiskImages, EachImageGoesToTheNextFreePlace) {
    const std::string none = "Query returned no objects!", callFailed = "Call failed, err= -2147217407",
                      idesFailed = "Failed to get IDE controllers",
                      typeError = "Invalid type of field, expected string, got 8";
    Fault misnamed = delivering(L"ResourceSubType", std::wstring(L"Microsoft:Hyper-V:Emulated IDE Controllers"));
    Fault typeAsText = delivering(L"ResourceType", std::wstring(L"5"), 0);
    const struct {
        int machine, generation;  // of the machine and of the call
        std::size_t images;
        std::vector<Fault> faults;
        bool result;
        std::vector<std::string> ide, scsi, errors;
        long skipped = 0;  // "Disk has already added. Continue"
    } cases[] = {
        {1, 1, 6, {}, true, {"0:0 1:1", "0:2 1:3"}, {"0:4 1:5"}, {none, none}},
        {1, 1, 3, {misnamed}, true, {"", "0:0 1:1"}, {"0:2"}, {none, none}},
        {2, 2, 3, {}, true, {}, {"0:0 1:1 2:2"}, {none}},
        {2, 0, 0, {}, true, {}, {""}, {none}},  // another generation without images is 2
        {2, 2, 3, {addition(4)}, true, {}, {"0:0 1:2"}, {none, callFailed}, 1},
        {1, 1, 4, {addition(4)}, true, {"0:0", "1:2 0:3"}, {""}, {none, none, callFailed}, 1},
        {2, 2, 2, {addition(3)}, false, {}, {"0:-"}, {none, callFailed}},
        {2, 1, 1, {}, false, {}, {}, {none, idesFailed}},
        {2,
         2,
         1,
         {rule("ExecQuery", {}, Fault::Kind::Fail, failed, 2)},
         false,
         {},
         {},  // the machine's settings
         {"Query failed, err=-2147217407", "Cannot get virtual system settings data"}},
        // Both IDE controllers are passed over for the type, then the walk ends.
        {1, 1, 1, {typeAsText}, false, {"", ""}, {}, {typeError, typeError, none, idesFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.machine << c.generation << c.images << c.skipped << c.result);
        Control::reset();
        clearCapturedLines();
        const std::wstring vmPath = Control::defineMachine(L"vm", c.machine);
        const std::vector<std::wstring> list = images(c.images);
        for (const Fault& fault : c.faults) Control::injectFault(fault);
        EXPECT_EQ(attach(vmPath, c.generation, list), c.result);
        EXPECT_EQ(layout(vmPath, Kind::Ide, list), c.ide);
        EXPECT_EQ(layout(vmPath, Kind::Scsi, list), c.scsi);
        EXPECT_TRUE(sameLines(errorsIn(capturedLines()), errors(c.errors)));
        EXPECT_EQ(count("Disk has already added. Continue"), c.skipped);
        const bool toScsi = c.machine == 1 && !c.scsi.empty() && !c.scsi[0].empty();
        EXPECT_EQ(count("Maximum IDE disk reached. Starting add to SCSI"), toScsi ? 1 : 0);
        EXPECT_TRUE(imagesUntouched());
    }
}

TEST_F(DiskImages, EveryLineOfAGenerationOneMachine) {
    const std::wstring first = Control::defineMachine(L"vm", 1);
    const std::vector<std::wstring> list = images(3);
    Control::injectFault(
        delivering(L"ResourceSubType", std::wstring(L"Microsoft:Hyper-V:Emulated IDE Controllers")));
    EXPECT_TRUE(attach(first, 1, list));
    EXPECT_TRUE(sameLines(maskedLines(),
                          opening(first) +
                              infos({"Generation 1 is used", "Get IDE controllers", "Get '__Path'",
                                     "Controller skipped - wrong subtype", "Controller added"}) +
                              LogLines{error("Query returned no objects!"), info("Get IDE controllers - OK")} +
                              addedScsi() + image(list[0]) + image(list[1]) + image(list[2], true) +
                              LogLines{info("Set disk images - OK")}));
}

// The counter starts at 0 again and the host refuses a drive at a taken address, which is a skip.
TEST_F(DiskImages, ASecondRunFindsEveryAddressTaken) {
    const std::vector<std::wstring> list = images(2);
    const std::wstring first = Control::defineMachine(L"first", 2);
    ASSERT_TRUE(attach(first, 2, list));
    clearCapturedLines();
    EXPECT_TRUE(attach(first, 2, list));
    EXPECT_EQ(count("SCSI controller has already added. Using it."), 1);
    EXPECT_EQ(count("Disk has already added. Continue"), 2);
    EXPECT_EQ(count("Executing method: AddResourceSettings"), 2) << "no virtual hard disk is tried";
    EXPECT_TRUE(sameLines(errorsIn(capturedLines()), LogLines(2, error("Settings == VT_NULL"))));
    EXPECT_EQ(layout(first, Kind::Scsi, list), std::vector<std::string>{"0:0 1:1"});
}

// Refused before anything is looked up, or at the lookup of a machine that is gone.
TEST_F(DiskImages, InputThatCannotBeUsedIsRefused) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    const std::wstring path = images(1)[0];
    const wchar_t* list[] = {path.c_str()};
    EXPECT_FALSE(Velmora::setDiskImages(captureLog, vmPath.c_str(), 3, list, 1));
    EXPECT_FALSE(Velmora::setDiskImages(captureLog, vmPath.c_str(), 2, nullptr, 3));
    EXPECT_TRUE(Control::machine(vmPath)->controllers.empty());
    Control::reset();
    EXPECT_FALSE(Velmora::setDiskImages(captureLog, vmPath.c_str(), 2, list, 1));
    EXPECT_TRUE(sameLines(
        capturedLines(),
        frame("Set disk images") + LogLines{error("Invalid VM generation: 3")} + frame("Set disk images") +
            LogLines{error("No list of disk images given for a count of 3")} + frame("Set disk images") +
            serviceLines() +
            LogLines{objectLine(vmPath), error("Could not get object: " + ascii(vmPath) + ", err=-2147217406")}));
}

// Failures after the machine is found end the call with false after the step's Error lines; nothing added
// is removed.
TEST_F(DiskImages, FailuresEndTheCallAndKeepWhatWasAdded) {
    const std::string queryFailed = "Query failed, err=-2147217407", noScsi = "Failed to get SCSI controller";
    const struct {
        Fault fault;
        std::vector<std::string> errors;  // after the first one (the search for a SCSI controller)
        std::vector<std::string> scsi;
    } cases[] = {
        {rule("ExecQuery", poolQuery(L"Synthetic SCSI Controller")), {queryFailed, noScsi}, {}},
        {rule("ExecQuery", poolQuery(L"Synthetic Disk Drive")), {queryFailed}, {""}},
        {rule("Put", L"AddressOnParent", Fault::Kind::Fail, wbem(WBEM_E_TYPE_MISMATCH)),
         {"Put param failed, err= -2147217403"},
         {""}},
        {rule("ExecQuery", poolQuery(L"Virtual Hard Disk")), {queryFailed}, {"0:-"}},
        {rule("Put", L"HostResource", Fault::Kind::Fail, wbem(WBEM_E_TYPE_MISMATCH)),
         {"Put param failed, err= -2147217403"},
         {"0:-"}},
    };
    const std::vector<std::wstring> list = images(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errors.front());
        Control::reset();
        clearCapturedLines();
        const std::wstring vmPath = Control::defineMachine(L"vm", 2);
        Control::injectFault(c.fault);
        EXPECT_FALSE(attach(vmPath, 2, list));
        EXPECT_TRUE(
            sameLines(errorsIn(capturedLines()), errors({"Query returned no objects!"}) + errors(c.errors)));
        EXPECT_EQ(layout(vmPath, Kind::Scsi, list), c.scsi);
        expectNothingLive();
    }
}

TEST_F(DiskImages, AFailedGuidMeansNoScsiController) {
    VELMORA_NEEDS_STAND_IN();
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    failComCall("CoCreateGuid", E_FAIL);
    EXPECT_FALSE(attach(vmPath, 2, images(1)));
    const LogLines& lines = capturedLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(sameLines(
        LogLines(lines.end() - 3, lines.end()),
        {info("Geterating adapter GUID"), info("GUID generating failed"), error("Failed to get SCSI controller")}));
    EXPECT_TRUE(Control::machine(vmPath)->controllers.empty());
}

}  // namespace
}  // namespace VelmoraTest
