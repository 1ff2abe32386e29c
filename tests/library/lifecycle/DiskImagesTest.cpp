// setDiskImages: where each image goes, what the host ends up with, and how failures and skips show.
#include <algorithm>
#include <string>
#include <vector>

#include "LifecycleSupport.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::ControllerView;
using HyperVSim::Fault;

const std::wstring scsiPoolQuery =
    L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Synthetic SCSI Controller' and "
    L"Primordial = True";
const std::wstring drivePoolQuery =
    L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Synthetic Disk Drive' and "
    L"Primordial = True";
const std::wstring diskPoolQuery =
    L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Virtual Hard Disk' and "
    L"Primordial = True";

// (address, image) of each drive of a controller, in the host's order.
using Drives = std::vector<std::pair<std::wstring, std::wstring>>;

Drives drivesOf(const ControllerView& controller) {
    Drives drives;
    for (const HyperVSim::DriveView& drive : controller.drives) drives.emplace_back(drive.address, drive.image);
    return drives;
}

Fault failing(const char* operation, std::wstring argument, std::int32_t result, unsigned occurrence = 1) {
    Fault fault;
    fault.operation = operation;
    fault.argument = std::move(argument);
    fault.kind = Fault::Kind::Fail;
    fault.result = result;
    fault.occurrence = occurrence;
    return fault;
}

// The first IDE controller the host lists reports a subtype that differs in its last character.
Fault firstIdeControllerMisnamed() {
    Fault fault;
    fault.operation = "Get";
    fault.argument = L"ResourceSubType";
    fault.kind = Fault::Kind::DeliverValue;
    fault.value = std::wstring(L"Microsoft:Hyper-V:Emulated IDE Controllers");
    return fault;
}

class DiskImages : public LifecycleTest {
protected:
    bool attach(const std::wstring& vmPath, std::uint32_t generation, const std::vector<std::wstring>& images) {
        std::vector<const wchar_t*> list = pointers(images);
        return Velmora::setDiskImages(captureLog, vmPath.c_str(), generation, list.empty() ? nullptr : list.data(),
                                      static_cast<std::uint32_t>(list.size()));
    }

    static HyperVSim::MachineView view(const std::wstring& vmPath) {
        const std::optional<HyperVSim::MachineView> vm = Control::machine(vmPath);
        EXPECT_TRUE(vm.has_value());
        return vm.value_or(HyperVSim::MachineView{});
    }

    static std::vector<ControllerView> controllersOf(const std::wstring& vmPath, ControllerView::Kind kind) {
        std::vector<ControllerView> result;
        for (const ControllerView& controller : view(vmPath).controllers) {
            if (controller.kind == kind) result.push_back(controller);
        }
        return result;
    }
    static std::vector<ControllerView> ide(const std::wstring& vmPath) {
        return controllersOf(vmPath, ControllerView::Kind::Ide);
    }
    static std::vector<ControllerView> scsi(const std::wstring& vmPath) {
        return controllersOf(vmPath, ControllerView::Kind::Scsi);
    }

    static long count(const LogLine& line) {
        const LogLines& lines = capturedLines();
        return std::count(lines.begin(), lines.end(), line);
    }

    // The lines before the walk over the machine's resources: frame, management service, machine, settings.
    static LogLines openingLines(const std::wstring& vmPath) {
        return frameLines("Set disk images") + managementServiceLines() + objectLines(vmPath) + associationLines();
    }

    // Looking for a SCSI controller on a machine without one, and adding it.
    static LogLines addedScsiLines() {
        return LogLines{info("Get SCSI controller"), info("Get '__Path'"), error("Query returned no objects!"),
                        info("Executing query")} +
               defaultObjectLines() + LogLines{info("Geterating adapter GUID")} +
               putLines({"VirtualSystemIdentifiers", "ElementName"}) + addResourceLines();
    }

    // One image attached; `toScsi` when it is the first image past the IDE controllers.
    static LogLines imageLines(const std::wstring& image, bool toScsi = false) {
        LogLines opening{info("Trying to add disk image: " + narrow(image))};
        if (toScsi) opening.push_back(info("Maximum IDE disk reached. Starting add to SCSI"));
        return opening + LogLines{info("Executing query")} + defaultObjectLines() + LogLines{info("Get '__Path'")} +
               putLines({"Parent", "AddressOnParent"}) + addResourceLines() + LogLines{info("Executing query")} +
               defaultObjectLines() + LogLines{info("Get '__Path'")} + putLines({"Parent", "HostResource"}) +
               addResourceLines();
    }
};

TEST_F(DiskImages, GenerationOneWithOneIdeControllerFillsItThenGoesToScsi) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 1);
    const std::vector<std::wstring> images = makeImages(3);
    hostFault(firstIdeControllerMisnamed());

    EXPECT_TRUE(attach(vmPath, 1, images));

    EXPECT_TRUE(sameLines(
        maskedLines(), openingLines(vmPath) +
                           LogLines{info("Generation 1 is used"), info("Get IDE controllers"), info("Get '__Path'"),
                                    info("Controller skipped - wrong subtype"), info("Controller added"),
                                    error("Query returned no objects!"), info("Get IDE controllers - OK")} +
                           addedScsiLines() + imageLines(images[0]) + imageLines(images[1]) +
                           imageLines(images[2], true) + LogLines{info("Set disk images - OK")}));
    const std::vector<ControllerView> ideControllers = ide(vmPath);
    ASSERT_EQ(ideControllers.size(), 2u);
    EXPECT_EQ(drivesOf(ideControllers[0]), Drives{}) << "the misnamed controller is not used";
    EXPECT_EQ(drivesOf(ideControllers[1]), (Drives{{L"0", images[0]}, {L"1", images[1]}}));
    ASSERT_EQ(scsi(vmPath).size(), 1u);
    EXPECT_EQ(drivesOf(scsi(vmPath)[0]), (Drives{{L"0", images[2]}}));
    EXPECT_TRUE(imagesUntouched());
}

TEST_F(DiskImages, GenerationOneFillsBothIdeControllersThenTheScsiController) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 1);
    const std::vector<std::wstring> images = makeImages(6);

    EXPECT_TRUE(attach(vmPath, 1, images));

    const std::vector<ControllerView> ideControllers = ide(vmPath);
    ASSERT_EQ(ideControllers.size(), 2u);
    EXPECT_EQ(drivesOf(ideControllers[0]), (Drives{{L"0", images[0]}, {L"1", images[1]}}));
    EXPECT_EQ(drivesOf(ideControllers[1]), (Drives{{L"0", images[2]}, {L"1", images[3]}}));
    ASSERT_EQ(scsi(vmPath).size(), 1u);
    EXPECT_EQ(drivesOf(scsi(vmPath)[0]), (Drives{{L"0", images[4]}, {L"1", images[5]}}));

    const LogLines& lines = capturedLines();
    const auto switchLine =
        std::find(lines.begin(), lines.end(), info("Maximum IDE disk reached. Starting add to SCSI"));
    ASSERT_NE(switchLine, lines.end());
    EXPECT_EQ(*(switchLine - 1), info("Trying to add disk image: " + narrow(images[4])));
    EXPECT_EQ(count(info("Maximum IDE disk reached. Starting add to SCSI")), 1);
    EXPECT_EQ(lines.back(), info("Set disk images - OK"));
}

TEST_F(DiskImages, GenerationTwoPutsEveryImageOnTheScsiController) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    const std::vector<std::wstring> images = makeImages(3);

    EXPECT_TRUE(attach(vmPath, 2, images));

    EXPECT_TRUE(sameLines(maskedLines(), openingLines(vmPath) + addedScsiLines() + imageLines(images[0]) +
                                             imageLines(images[1]) + imageLines(images[2]) +
                                             LogLines{info("Set disk images - OK")}));
    EXPECT_TRUE(ide(vmPath).empty());
    ASSERT_EQ(scsi(vmPath).size(), 1u);
    EXPECT_EQ(drivesOf(scsi(vmPath)[0]), (Drives{{L"0", images[0]}, {L"1", images[1]}, {L"2", images[2]}}));
    EXPECT_TRUE(imagesUntouched());
}

TEST_F(DiskImages, AMachineKeepsTheScsiControllerItHas) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);

    // Without images the call still makes sure of a SCSI controller.
    EXPECT_TRUE(attach(vmPath, 2, {}));
    EXPECT_TRUE(
        sameLines(maskedLines(), openingLines(vmPath) + addedScsiLines() + LogLines{info("Set disk images - OK")}));
    ASSERT_EQ(scsi(vmPath).size(), 1u);

    clearCapturedLines();
    const std::vector<std::wstring> images = makeImages(2);
    EXPECT_TRUE(attach(vmPath, 2, images));

    EXPECT_TRUE(sameLines(maskedLines(), openingLines(vmPath) +
                                             LogLines{info("Get SCSI controller"), info("Get '__Path'"),
                                                      info("SCSI controller has already added. Using it.")} +
                                             imageLines(images[0]) + imageLines(images[1]) +
                                             LogLines{info("Set disk images - OK")}));
    ASSERT_EQ(scsi(vmPath).size(), 1u);
    EXPECT_EQ(drivesOf(scsi(vmPath)[0]), (Drives{{L"0", images[0]}, {L"1", images[1]}}));
}

TEST_F(DiskImages, ASkippedDriveLeavesItsAddressToTheNextImage) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    const std::vector<std::wstring> images = makeImages(3);
    // AddResourceSettings calls: the SCSI controller, drive 0, disk 0, drive 1.
    hostFault(failing("ExecMethod", L"AddResourceSettings", failedCode, 4));

    EXPECT_TRUE(attach(vmPath, 2, images));

    EXPECT_EQ(count(info("Disk has already added. Continue")), 1);
    EXPECT_TRUE(sameLines(linesOfLevel(capturedLines(), Velmora::Error),
                          {error("Query returned no objects!"), error("Call failed, err= -2147217407")}));
    EXPECT_EQ(drivesOf(scsi(vmPath).at(0)), (Drives{{L"0", images[0]}, {L"1", images[2]}}));
    EXPECT_EQ(capturedLines().back(), info("Set disk images - OK"));
}

TEST_F(DiskImages, OnIdeASkipMovesTheControllerButNotTheAddress) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 1);
    const std::vector<std::wstring> images = makeImages(4);
    hostFault(failing("ExecMethod", L"AddResourceSettings", failedCode, 4));

    EXPECT_TRUE(attach(vmPath, 1, images));

    // Image 1 is skipped; image 2 takes the second controller by index and address 1 by count.
    const std::vector<ControllerView> ideControllers = ide(vmPath);
    ASSERT_EQ(ideControllers.size(), 2u);
    EXPECT_EQ(drivesOf(ideControllers[0]), (Drives{{L"0", images[0]}}));
    EXPECT_EQ(drivesOf(ideControllers[1]), (Drives{{L"1", images[2]}, {L"0", images[3]}}));
    EXPECT_EQ(drivesOf(scsi(vmPath).at(0)), Drives{});
    EXPECT_EQ(count(info("Maximum IDE disk reached. Starting add to SCSI")), 0);
}

TEST_F(DiskImages, ADiskThatCannotBeAddedEndsTheCallAndLeavesItsDrive) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    const std::vector<std::wstring> images = makeImages(2);
    hostFault(failing("ExecMethod", L"AddResourceSettings", failedCode, 3));

    EXPECT_FALSE(attach(vmPath, 2, images));

    EXPECT_EQ(capturedLines().back(), error("Call failed, err= -2147217407"));
    EXPECT_EQ(count(info("Trying to add disk image: " + narrow(images[1]))), 0);
    EXPECT_EQ(drivesOf(scsi(vmPath).at(0)), (Drives{{L"0", L""}}));
}

TEST_F(DiskImages, ASecondRunOverTheSameImagesFindsEveryAddressTaken) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    const std::vector<std::wstring> images = makeImages(2);
    ASSERT_TRUE(attach(vmPath, 2, images));
    const Drives before = drivesOf(scsi(vmPath).at(0));
    clearCapturedLines();

    // The counter starts at 0 again, the host refuses a drive at a taken address, and a refused drive
    // is a skip: the run ends well and the machine is as it was.
    EXPECT_TRUE(attach(vmPath, 2, images));

    EXPECT_EQ(count(info("SCSI controller has already added. Using it.")), 1);
    EXPECT_EQ(count(info("Disk has already added. Continue")), 2);
    EXPECT_EQ(count(info("Executing method: AddResourceSettings")), 2) << "no virtual hard disk is tried";
    EXPECT_EQ(capturedLines().back(), info("Set disk images - OK"));
    // The host names no created drive for a refused one.
    EXPECT_TRUE(sameLines(linesOfLevel(capturedLines(), Velmora::Error),
                          {error("Settings == VT_NULL"), error("Settings == VT_NULL")}));
    ASSERT_EQ(scsi(vmPath).size(), 1u);
    EXPECT_EQ(drivesOf(scsi(vmPath)[0]), before);
    EXPECT_TRUE(imagesUntouched());
}

TEST_F(DiskImages, AnImageAttachedToAnotherMachineIsRefusedAndItsDriveStays) {
    const std::vector<std::wstring> images = makeImages(2);
    const std::wstring first = Control::defineMachine(L"first", 2);
    ASSERT_TRUE(attach(first, 2, {images[0]}));
    const std::wstring second = Control::defineMachine(L"second", 2);
    clearCapturedLines();

    EXPECT_FALSE(attach(second, 2, images));

    EXPECT_EQ(capturedLines().back(), error("Settings == VT_NULL"));
    EXPECT_EQ(count(info("Trying to add disk image: " + narrow(images[1]))), 0);
    EXPECT_EQ(drivesOf(scsi(second).at(0)), (Drives{{L"0", L""}}));
    EXPECT_EQ(drivesOf(scsi(first).at(0)), (Drives{{L"0", images[0]}}));
}

TEST_F(DiskImages, AnotherGenerationWithImagesIsRefusedBeforeAnyLookUp) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    const std::vector<std::wstring> images = makeImages(1);

    EXPECT_FALSE(attach(vmPath, 3, images));

    EXPECT_TRUE(
        sameLines(capturedLines(), frameLines("Set disk images") + LogLines{error("Invalid VM generation: 3")}));
    EXPECT_TRUE(view(vmPath).controllers.empty());
}

TEST_F(DiskImages, AnotherGenerationWithoutImagesEndsAsGenerationTwo) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);

    EXPECT_TRUE(attach(vmPath, 0, {}));

    EXPECT_TRUE(
        sameLines(maskedLines(), openingLines(vmPath) + addedScsiLines() + LogLines{info("Set disk images - OK")}));
    EXPECT_EQ(scsi(vmPath).size(), 1u);
}

TEST_F(DiskImages, ACountWithoutAListIsRefusedBeforeAnyLookUp) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);

    EXPECT_FALSE(Velmora::setDiskImages(captureLog, vmPath.c_str(), 2, nullptr, 3));

    EXPECT_TRUE(sameLines(capturedLines(), frameLines("Set disk images") +
                                               LogLines{error("No list of disk images given for a count of 3")}));
    EXPECT_TRUE(view(vmPath).controllers.empty());
}

TEST_F(DiskImages, GenerationOneWithoutIdeControllersFailsBeforeLookingForScsi) {
    // A generation 2 machine has no IDE controller; called as generation 1 it has none to use.
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);

    EXPECT_FALSE(attach(vmPath, 1, makeImages(1)));

    EXPECT_TRUE(sameLines(
        capturedLines(),
        openingLines(vmPath) + LogLines{info("Generation 1 is used"), info("Get IDE controllers"),
                                        info("Get '__Path'"), error("Query returned no objects!"),
                                        info("Get IDE controllers - OK"), error("Failed to get IDE controllers")}));
    EXPECT_TRUE(view(vmPath).controllers.empty());
}

TEST_F(DiskImages, AResourceTypeThatIsNotANumberSkipsTheResource) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 1);
    Fault fault;
    fault.operation = "Get";
    fault.argument = L"ResourceType";
    fault.occurrence = 0;
    fault.kind = Fault::Kind::DeliverValue;
    fault.value = std::wstring(L"5");
    hostFault(fault);

    EXPECT_FALSE(attach(vmPath, 1, makeImages(1)));

    const LogLines errors = linesOfLevel(capturedLines(), Velmora::Error);
    ASSERT_GE(errors.size(), 4u) << "two IDE controllers and the end of the walk";
    for (std::size_t i = 0; i + 2 < errors.size(); ++i) {
        EXPECT_EQ(errors[i], error("Invalid type of field, expected string, got 8"));
    }
    EXPECT_EQ(errors[errors.size() - 2], error("Query returned no objects!"));
    EXPECT_EQ(errors.back(), error("Failed to get IDE controllers"));
    EXPECT_EQ(count(info("Controller added")), 0);
}

// Failures after the machine is found: the last lines, and what the machine is left with.
struct AttachFailure {
    const char* what;
    Fault fault;
    LogLines tail;
    std::size_t scsiControllers;
    Drives scsiDrives;
};

TEST_F(DiskImages, FailuresEndTheCallWithFalseAndKeepWhatWasAdded) {
    const std::vector<AttachFailure> failures = {
        {"no management service instance",
         failing("ExecQuery", L"select * from Msvm_VirtualSystemManagementService", failedCode),
         {info("Executing query"), error("Query failed, err=-2147217407")},
         0,
         {}},
        {"no settings data",
         failing("ExecQuery", L"", failedCode, 2),
         {error("Query failed, err=-2147217407"), error("Cannot get virtual system settings data")},
         0,
         {}},
        {"no SCSI pool",
         failing("ExecQuery", scsiPoolQuery, failedCode),
         {info("Executing query"), error("Query failed, err=-2147217407"), error("Failed to get SCSI controller")},
         0,
         {}},
        {"SCSI controller not added",
         failing("ExecMethod", L"AddResourceSettings", failedCode),
         {info("Executing method: AddResourceSettings"), error("Call failed, err= -2147217407"),
          error("Failed to get SCSI controller")},
         0,
         {}},
        {"no drive pool",
         failing("ExecQuery", drivePoolQuery, failedCode),
         {info("Executing query"), error("Query failed, err=-2147217407")},
         1,
         {}},
        {"address refused",
         failing("Put", L"AddressOnParent", mismatchCode),
         {info("Put value: AddressOnParent"), error("Put param failed, err= -2147217403")},
         1,
         {}},
        {"no disk pool",
         failing("ExecQuery", diskPoolQuery, failedCode),
         {info("Executing query"), error("Query failed, err=-2147217407")},
         1,
         {{L"0", L""}}},
        {"image refused",
         failing("Put", L"HostResource", mismatchCode),
         {info("Put value: HostResource"), error("Put param failed, err= -2147217403")},
         1,
         {{L"0", L""}}},
    };
    const std::vector<std::wstring> images = makeImages(2);

    for (const AttachFailure& failure : failures) {
        SCOPED_TRACE(failure.what);
        Control::reset();
        clearCapturedLines();
        const std::wstring vmPath = Control::defineMachine(L"vm", 2);
        hostFault(failure.fault);

        EXPECT_FALSE(attach(vmPath, 2, images));

        const LogLines& lines = capturedLines();
        ASSERT_GE(lines.size(), failure.tail.size());
        EXPECT_TRUE(sameLines(LogLines(lines.end() - static_cast<std::ptrdiff_t>(failure.tail.size()), lines.end()),
                              failure.tail));
        const std::vector<ControllerView> controllers = scsi(vmPath);
        ASSERT_EQ(controllers.size(), failure.scsiControllers);
        if (!controllers.empty()) {
            EXPECT_EQ(drivesOf(controllers[0]), failure.scsiDrives);
        }
        expectNothingLive();
    }
}

TEST_F(DiskImages, AFailedGuidMeansNoScsiController) {
    VELMORA_NEEDS_STAND_IN();
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    failComCall("CoCreateGuid", E_FAIL);

    EXPECT_FALSE(attach(vmPath, 2, makeImages(1)));

    const LogLines& lines = capturedLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(sameLines(
        LogLines(lines.end() - 3, lines.end()),
        {info("Geterating adapter GUID"), info("GUID generating failed"), error("Failed to get SCSI controller")}));
    EXPECT_TRUE(scsi(vmPath).empty());
}

TEST_F(DiskImages, AMachinePathThatNamesNothingFails) {
    const std::wstring vmPath = Control::defineMachine(L"vm", 2);
    Control::reset();

    EXPECT_FALSE(attach(vmPath, 2, makeImages(1)));

    EXPECT_TRUE(sameLines(capturedLines(),
                          frameLines("Set disk images") + managementServiceLines() + objectLines(vmPath) +
                              LogLines{error("Could not get object: " + narrow(vmPath) + ", err=-2147217406")}));
}

}  // namespace
}  // namespace VelmoraTest
