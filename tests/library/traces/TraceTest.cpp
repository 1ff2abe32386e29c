// A library run recorded as a trace replays with the same lines, results and out-parameters, whatever the model
// holds meanwhile; a trace edited to answer one call otherwise makes the replay fail where the run leaves the
// trace, and the diff against the model names that call; the trace of a run on the model differs from the model
// in nothing.
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "LibraryTests.h"
#ifdef _WIN32
#include "HyperVSim/Registration.h"
#endif

namespace VelmoraTest {
namespace {

using json = nlohmann::ordered_json;

// What a caller of the exports sees.
struct Transcript {
    LogLines lines;
    std::vector<bool> results;
    std::vector<std::wstring> outputs;  // the switch list, used memory, the machine's path, used memory running
};

class Traces : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        images_ = images(2);
        trace_ = (folder() / "tour.jsonl").string();
    }
    void TearDown() override {
        Control::stopReplay();
        HostTest::TearDown();
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
        MachineSettings settings({transcript.outputs.size() > 1 ? transcript.outputs[0] : L""}, L"traced");
        CreatedMachine created;
        result(createVM(settings, created));
        const std::wstring machine = created.path();
        transcript.outputs.push_back(machine);
        result(attach(machine, 2, images_));
        result(Velmora::startVM(captureLog, machine.c_str()));
        result(Velmora::retrieveUsedMemory(captureLog, memory));
        transcript.outputs.push_back(std::to_wstring(memory));
        result(Velmora::stopVM(captureLog, machine.c_str()));
        result(Velmora::deleteVM(captureLog, machine.c_str()));
        transcript.lines = capturedLines();
        return transcript;
    }

    // On Windows through the entry points of HyperVSim.dll, which Control's record() uses as well.
    Transcript recordedTour() {
#ifdef _WIN32
        EXPECT_EQ(HyperVSimStartRecording(std::filesystem::path(trace_).wstring().c_str()), S_OK);
#else
        Control::record(trace_);
#endif
        Transcript recorded = tour();
#ifdef _WIN32
        EXPECT_EQ(HyperVSimStopRecording(), S_OK);
#else
        Control::stopRecording();
#endif
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
    Transcript replayedTour() {
        Control::replay(trace_);
        Transcript replayed = tour();
        Control::stopReplay();
        return replayed;
    }

    std::vector<std::wstring> images_;
    std::string trace_;
};

std::vector<json> readLines(const std::string& path) {
    std::ifstream file(path);
    std::vector<json> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(json::parse(line));
    return lines;
}

// Recorded with the host's object text source, and without one (as on Wine), when the recorder makes the
// objects' text by reading their properties.
class TracesOfBothTextForms : public Traces, public ::testing::WithParamInterface<bool> {};

TEST_P(TracesOfBothTextForms, ReplayGivesTheRecordedRunWhateverTheModelHolds) {
    const bool withTextSource = GetParam();
    // The recorder makes the first text source of the run, when it starts.
    if (!withTextSource)
        Control::injectFault(rule("CreateInstance", L"WbemObjectTextSrc", Fault::Kind::Fail, REGDB_E_CLASSNOTREG));
    const Transcript recorded = recordedTour();
    ASSERT_EQ(recorded.results, std::vector<bool>(8, true));
    std::size_t madeByTextSource = 0, madeByReading = 0;
    for (const auto& line : readLines(trace_)) {
        const std::string text = line.dump();
        madeByTextSource += text.find("\"from\":\"GetText\"") != std::string::npos;
        madeByReading += text.find("\"from\":\"properties\"") != std::string::npos;
    }
    EXPECT_EQ(madeByTextSource > 0, withTextSource);
    EXPECT_GT(madeByReading, 0u);  // class definitions at least

    Control::removeAllSwitches();
    const Transcript replayed = replayedTour();
    EXPECT_EQ(replayed.results, recorded.results);
    EXPECT_EQ(replayed.outputs, recorded.outputs);
    EXPECT_TRUE(sameLines(replayed.lines, recorded.lines));
    EXPECT_EQ(diagnostic(), L"");
    EXPECT_TRUE(Control::switches().empty());
    EXPECT_TRUE(Control::machines().empty());
}

INSTANTIATE_TEST_SUITE_P(Recorder, TracesOfBothTextForms, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "WithTextSource" : "WithoutTextSource"; });

// The same run as another host would have answered it: another host name, other GUIDs for what the host made
// up. What the answers say about them is what later calls use, so the model is reached all the same.
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
        for (const auto& difference : Control::diffTrace(trace_))
            ADD_FAILURE() << "from another host: " << fromAnotherHost << ": call " << difference.position << " "
                          << ascii(difference.call) << ": " << ascii(difference.differences.front());
    }
}

TEST_F(Traces, AnAnswerEditedInTheTraceFailsTheReplayAndTheDiffNamesTheCall) {
    const Transcript recorded = recordedTour();
    const std::string machine = ascii(recorded.outputs[recorded.outputs.size() - 2]);
    // startVM reads the machine, then the class of computer systems: the machine is now not found.
    std::vector<json> lines = readLines(trace_);
    std::size_t edited = 0;
    for (std::size_t i = 1; i + 1 < lines.size() && !edited; ++i) {
        if (lines[i]["method"] != "GetObject" || lines[i]["arguments"]["path"] != machine ||
            lines[i + 1]["method"] != "GetObject" || lines[i + 1]["arguments"]["path"] != "Msvm_ComputerSystem")
            continue;
        lines[i]["hresult"] = "0x80041002";
        lines[i]["returned"]["object"] = nullptr;
        edited = lines[i]["n"].get<std::size_t>();
    }
    ASSERT_NE(edited, 0u);
    std::ofstream file(trace_, std::ios::trunc);
    for (const auto& line : lines) file << line.dump() << '\n';
    file.close();

    const Transcript replayed = replayedTour();
    EXPECT_EQ(replayed.results, (std::vector<bool>{true, true, true, true, false, false, false, false}));
    const std::wstring why = diagnostic(), call = std::to_wstring(edited + 1);
    EXPECT_NE(why.find(L"call " + call + L", IWbemLocator::ConnectServer (resource \"root\""), std::wstring::npos)
        << ascii(why);
    EXPECT_NE(why.find(L"the trace expects as its call " + call + L" IWbemServices::GetObject on #"),
              std::wstring::npos)
        << ascii(why);

    Control::reset();
    const auto differences = Control::diffTrace(trace_);
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].position, edited);
    EXPECT_EQ(differences[0].differences,
              (std::vector<std::wstring>{L"HRESULT 0x00000000 where the trace has 0x80041002",
                                         L"the object: an object where the trace has none"}));
}

TEST_F(Traces, AFileThatIsNoTraceIsRefusedWithItsLineAndReason) {
    const std::string header = "{\"format\":\"velmora-wmi-trace\",\"version\":1}\n";
    const struct {
        std::string content;
        const char* reason;
    } cases[] = {
        {"", "empty, not a trace"},
        {"{\"format\":\"something else\",\"version\":1}\n", ":1: not a trace"},
        {"{\"format\":\"velmora-wmi-trace\",\"version\":2}\n", ":1: version 2 of the format"},
        {header + "{\"interface\":\"IWbemLocator\",\"method\":\"ConnectServer\",\"hresult\":0}\n",
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
