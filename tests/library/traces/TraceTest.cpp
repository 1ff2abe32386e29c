// A library run recorded as a trace replays with the same lines, results and out-parameters, whatever the
// model holds meanwhile; a trace edited to answer one call otherwise makes the replay fail where the run
// leaves the trace, and the diff against the model names that call; the trace of a run on the model differs
// from the model in nothing.
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "LibraryTest.h"
#ifdef _WIN32
#include "HyperVSim/Registration.h"
#endif

namespace VelmoraTest {
namespace {

namespace fs = std::filesystem;
using HyperVSim::Control;
using json = nlohmann::ordered_json;

// What a caller of the exports sees.
struct Transcript {
    LogLines lines;
    std::vector<bool> results;
    std::vector<std::wstring> outputs;
};

std::vector<std::wstring> entriesOf(const Velmora::NetworksList& list) {
    std::vector<std::wstring> entries;
    for (const wchar_t* entry = list.entries; *entry; entry += entries.back().size() + 1)
        entries.emplace_back(entry);
    return entries;
}

class Traces : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        folder_ =
            fs::temp_directory_path() /
            ("velmora-traces-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        for (const char* name : {"disk0.vhdx", "disk1.vhdx"}) {
            std::ofstream(folder_ / name) << name;
            images_.push_back((folder_ / name).wstring());
        }
        trace_ = (folder_ / "tour.jsonl").string();
    }
    void TearDown() override {
        Control::stopReplay();
        LibraryTest::TearDown();
        fs::remove_all(folder_);
    }

    // The typical road of a host application: switches, memory, a machine created on the first switch, its
    // disks, started, memory, stopped and deleted.
    Transcript tour() {
        clearCapturedLines();
        Transcript transcript;
        const auto result = [&](bool ok) { transcript.results.push_back(ok); };
        auto list = std::make_unique<Velmora::NetworksList>();
        result(Velmora::retrieveAvailableNetworkAdapters(captureLog, *list));
        transcript.outputs = entriesOf(*list);
        std::uint64_t memory = 0;
        result(Velmora::retrieveUsedMemory(captureLog, memory));
        transcript.outputs.push_back(std::to_wstring(memory));

        const wchar_t* networks[] = {transcript.outputs.empty() ? L"" : transcript.outputs[0].c_str()};
        Velmora::VMSettings settings{L"traced", 2, 2ull << 30, L"C:\\VMs", {2, 0, 100, 100}, networks, 1};
        auto created = std::make_unique<Velmora::CreatedVM>();
        result(Velmora::createVM(captureLog, settings, *created));
        const std::wstring machine = created->vmPath;
        transcript.outputs.push_back(machine);
        std::vector<const wchar_t*> images;
        for (const auto& image : images_) images.push_back(image.c_str());
        result(Velmora::setDiskImages(captureLog, machine.c_str(), 2, images.data(),
                                      static_cast<std::uint32_t>(images.size())));
        result(Velmora::startVM(captureLog, machine.c_str()));
        result(Velmora::retrieveUsedMemory(captureLog, memory));
        transcript.outputs.push_back(std::to_wstring(memory));
        result(Velmora::stopVM(captureLog, machine.c_str()));
        result(Velmora::deleteVM(captureLog, machine.c_str()));
        transcript.lines = capturedLines();
        return transcript;
    }

    // On Windows through the entry points of HyperVSim.dll, which Control's record() uses as well.
    void startRecording() {
#ifdef _WIN32
        ASSERT_EQ(HyperVSimStartRecording(fs::path(trace_).wstring().c_str()), S_OK);
#else
        Control::record(trace_);
#endif
    }
    void stopRecording() {
#ifdef _WIN32
        ASSERT_EQ(HyperVSimStopRecording(), S_OK);
#else
        Control::stopRecording();
#endif
    }
    Transcript recordedTour() {
        startRecording();
        Transcript recorded = tour();
        stopRecording();
        return recorded;
    }
    static std::wstring diagnostic() {
#ifdef _WIN32
        std::wstring text(HyperVSimReplayDiagnostic(nullptr, 0), L'\0');
        HyperVSimReplayDiagnostic(text.data(), static_cast<unsigned long>(text.size() + 1));
        return text;
#else
        return Control::replayDiagnostic();
#endif
    }

    fs::path folder_;
    std::vector<std::wstring> images_;
    std::string trace_;
};

std::vector<json> readLines(const std::string& path) {
    std::ifstream file(path);
    std::vector<json> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(json::parse(line));
    return lines;
}

void writeLines(const std::string& path, const std::vector<json>& lines) {
    std::ofstream file(path, std::ios::trunc);
    for (const auto& line : lines) file << line.dump() << '\n';
}

std::string utf8(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // paths of the host are ASCII
}

// Recorded with the host's object text source, and without one (as on Wine), when the recorder makes the
// objects' text by reading their properties.
class TracesOfBothTextForms : public Traces, public ::testing::WithParamInterface<bool> {};

TEST_P(TracesOfBothTextForms, ReplayGivesTheRecordedRunWhateverTheModelHolds) {
    const bool withTextSource = GetParam();
    if (!withTextSource) {
        // The recorder makes the first text source of the run, when it starts.
        HyperVSim::Fault noTextSource;
        noTextSource.operation = "CreateInstance";
        noTextSource.argument = L"WbemObjectTextSrc";
        noTextSource.result = REGDB_E_CLASSNOTREG;
        hostFault(noTextSource);
    }
    const Transcript recorded = recordedTour();
    ASSERT_EQ(recorded.results, std::vector<bool>(8, true));
    std::size_t madeByTextSource = 0;
    std::size_t madeByReading = 0;
    for (const auto& line : readLines(trace_)) {
        const std::string text = line.dump();
        madeByTextSource += text.find("\"from\":\"GetText\"") != std::string::npos;
        madeByReading += text.find("\"from\":\"properties\"") != std::string::npos;
    }
    EXPECT_EQ(madeByTextSource > 0, withTextSource);
    EXPECT_GT(madeByReading, 0u);  // class definitions at least

    Control::removeAllSwitches();
    Control::replay(trace_);
    const Transcript replayed = tour();
    Control::stopReplay();

    EXPECT_EQ(replayed.results, recorded.results);
    EXPECT_EQ(replayed.outputs, recorded.outputs);
    EXPECT_TRUE(sameLines(replayed.lines, recorded.lines));
    EXPECT_EQ(diagnostic(), L"");
    EXPECT_TRUE(Control::switches().empty());
    EXPECT_TRUE(Control::machines().empty());
}

INSTANTIATE_TEST_SUITE_P(Recorder, TracesOfBothTextForms, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "WithTextSource" : "WithoutTextSource"; });

// The same run as another host would have answered it: another host name, other GUIDs for what the host
// made up. What the answers say about them is what later calls use, so the model is reached all the same.
std::string asIfFromAnotherHost(std::string text) {
    const std::pair<std::string, std::string> identities[] = {
        {"HVSIM01", "WIN-7Q2K4M"}, {"5653494D-0000-4000-8000-", "0F1E2D3C-4B5A-4968-8776-"}};
    for (const auto& [mine, theirs] : identities)
        for (std::size_t at = text.find(mine); at != std::string::npos; at = text.find(mine, at + theirs.size()))
            text.replace(at, mine.size(), theirs);
    return text;
}

TEST_F(Traces, TheTraceOfARunOnTheModelDiffersFromTheModelInNothing) {
    recordedTour();
    std::stringstream recorded;
    recorded << std::ifstream(trace_).rdbuf();
    for (const bool fromAnotherHost : {false, true}) {
        std::ofstream(trace_, std::ios::trunc)
            << (fromAnotherHost ? asIfFromAnotherHost(recorded.str()) : recorded.str());
        Control::reset();
        const auto differences = Control::diffTrace(trace_);
        for (const auto& difference : differences)
            ADD_FAILURE() << "from another host: " << fromAnotherHost << ": call " << difference.position << " "
                          << utf8(difference.call) << ": " << utf8(difference.differences.front());
    }
}

TEST_F(Traces, AnAnswerEditedInTheTraceFailsTheReplayAndTheDiffNamesTheCall) {
    const Transcript recorded = recordedTour();
    const std::string machine = utf8(recorded.outputs[recorded.outputs.size() - 2]);
    // startVM reads the machine, then the class of computer systems: the machine is now not found.
    std::vector<json> lines = readLines(trace_);
    std::size_t edited = 0;
    for (std::size_t i = 1; i + 1 < lines.size() && !edited; ++i) {
        const bool readsMachine = lines[i]["method"] == "GetObject" && lines[i]["arguments"]["path"] == machine;
        const bool readsClass =
            lines[i + 1]["method"] == "GetObject" && lines[i + 1]["arguments"]["path"] == "Msvm_ComputerSystem";
        if (!readsMachine || !readsClass) continue;
        lines[i]["hresult"] = "0x80041002";
        lines[i]["returned"]["object"] = nullptr;
        edited = lines[i]["n"].get<std::size_t>();
    }
    ASSERT_NE(edited, 0u);
    writeLines(trace_, lines);

    Control::replay(trace_);
    const Transcript replayed = tour();
    Control::stopReplay();
    EXPECT_EQ(replayed.results, (std::vector<bool>{true, true, true, true, false, false, false, false}));
    const std::wstring why = diagnostic();
    EXPECT_NE(
        why.find(L"call " + std::to_wstring(edited + 1) + L", IWbemLocator::ConnectServer (resource \"root\""),
        std::wstring::npos)
        << utf8(why);
    EXPECT_NE(why.find(L"the trace expects as its call " + std::to_wstring(edited + 1) +
                       L" IWbemServices::GetObject on #"),
              std::wstring::npos)
        << utf8(why);

    Control::reset();
    const auto differences = Control::diffTrace(trace_);
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].position, edited);
    EXPECT_EQ(differences[0].differences,
              (std::vector<std::wstring>{L"HRESULT 0x00000000 where the trace has 0x80041002",
                                         L"the object: an object where the trace has none"}));
}

TEST_F(Traces, AFileThatIsNoTraceIsRefusedWithItsLineAndReason) {
    struct Case {
        const char* content;
        const char* reason;
    };
    const Case cases[] = {
        {"", "empty, not a trace"},
        {"{\"format\":\"something else\",\"version\":1}\n", ":1: not a trace"},
        {"{\"format\":\"velmora-wmi-trace\",\"version\":2}\n", ":1: version 2 of the format"},
        {"{\"format\":\"velmora-wmi-trace\",\"version\":1}\n{\"interface\":\"IWbemLocator\",\"method\":"
         "\"ConnectServer\","
         "\"hresult\":0}\n",
         ":2: \"hresult\" is not a text"},
    };
    for (const auto& row : cases) {
        std::ofstream(trace_, std::ios::trunc) << row.content;
        try {
            Control::replay(trace_);
            ADD_FAILURE() << "accepted: " << row.content;
        } catch (const HyperVSim::TraceError& error) {
            EXPECT_NE(std::string(error.what()).find(row.reason), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace VelmoraTest
