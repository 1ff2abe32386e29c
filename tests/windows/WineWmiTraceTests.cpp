// A trace of Wine's own WMI: the recorder wraps the system's locator (no simulated host is registered in this
// program), and HyperVSim.dll's registration with that trace gives a host application the same run again.
#include <gtest/gtest.h>

#include <HyperVSim/Registration.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ComApartment.h"
#include "ExportCalls.h"
#include "LogCapture.h"

namespace VelmoraWine {
namespace {

namespace fs = std::filesystem;

struct ExportRun {
    bool result = false;
    std::vector<LogLine> lines;
};

ExportRun runOnFreshThread(const ExportCall& call) {
    ExportRun run;
    onFreshThread([&] {
        LogCapture capture;
        run.result = call.call(capture.callback());
        run.lines = capture.lines();
    });
    return run;
}

TEST(TraceOfWineWmi, RecordsTheSystemsLocatorAndReplaysThroughTheRegistrationWithTheTrace) {
    const fs::path trace = fs::temp_directory_path() / "velmora-wine-wmi.jsonl";
    const ExportCall& call = exportNamed("retrieveUsedMemory");

    ASSERT_EQ(HyperVSimStartRecording(trace.wstring().c_str()), S_OK);
    const ExportRun recorded = runOnFreshThread(call);
    ASSERT_EQ(HyperVSimStopRecording(), S_OK);

    std::vector<std::string> calls;
    {
        std::ifstream file(trace);
        for (std::string line; std::getline(file, line);) {
            const auto document = nlohmann::json::parse(line);
            if (document.contains("method"))
                calls.push_back(document["method"].get<std::string>() + " " +
                                document["hresult"].get<std::string>());
        }
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"ConnectServer 0x00000000", "SetBlanket 0x00000000",
                                               "OpenNamespace 0x8004100E"}));

    ASSERT_EQ(HyperVSimRegisterClassObjectsReplaying(trace.wstring().c_str()), S_OK);
    const ExportRun replayed = runOnFreshThread(call);
    const unsigned long diagnosticLength = HyperVSimReplayDiagnostic(nullptr, 0);
    ASSERT_EQ(HyperVSimRevokeClassObjects(), S_OK);
    fs::remove(trace);

    EXPECT_FALSE(recorded.result);
    EXPECT_EQ(replayed.result, recorded.result);
    EXPECT_EQ(replayed.lines, recorded.lines) << describe(replayed.lines);
    EXPECT_EQ(diagnosticLength, 0u);
}

}  // namespace
}  // namespace VelmoraWine
