// Every export against Wine's own WMI, which has no Hyper-V namespace: the frame runs up to opening
// root\virtualization\v2, logs the failure at Error and returns false, in whatever COM state the calling thread
// is, and leaves that state as it found it. A trace recorded from that WMI replays through the simulated host's
// registration with the same lines.
#include <HyperVSim/Registration.h>
#include <Velmora/Velmora.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "StreamCapture.h"

namespace {

using Line = std::pair<int, std::string>;  // a log line with its level

// A LogCallback is a bare function pointer: it appends to the calling thread's list. The slot is a plain pointer,
// as a thread_local with a destructor crashes the exit of its thread with MinGW's emulated TLS.
thread_local std::vector<Line>* received = nullptr;
void record(Velmora::LoggingLevel level, const char* line) {
    if (received) received->emplace_back(level, line ? line : "<null line>");
}

// Runs `call` on a new thread, which starts without COM, and returns its lines.
template <class Call>
std::vector<Line> onFreshThread(const Call& call) {
    std::vector<Line> lines;
    std::thread([&] {
        received = &lines;
        call();
        received = nullptr;
    }).join();
    return lines;
}

constexpr const wchar_t* machine =
    L"\\\\WINE\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    L"Name=\"7F2B1C4A-3D5E-4F60-8A9B-0C1D2E3F4A5B\"";

struct Export {
    const char* name;
    const char* banner;
    bool requestsStateChange;  // startVM and stopVM run the frame inside the request, which has a line of its own
    bool (*call)(Velmora::LogCallback log);
};
void PrintTo(const Export& call, std::ostream* out) {
    *out << call.name;
}

// Each export with plausible arguments; a call never gets as far as using them under Wine.
const Export exports[] = {
    {"createVM", "Create VM", false,
     [](Velmora::LogCallback log) {
         const wchar_t* networks[] = {L"\\\\WINE\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.Name=\"S1\""};
         const Velmora::VMSettings settings{L"wine-vm", 2, 1024ull << 20, L"C:\\vms", {1, 0, 100, 100},
                                            networks,   1};
         return Velmora::createVM(log, settings, *std::make_unique<Velmora::CreatedVM>());
     }},
    {"deleteVM", "Delete VM", false, [](Velmora::LogCallback log) { return Velmora::deleteVM(log, machine); }},
    {"startVM", "Starting VM", true, [](Velmora::LogCallback log) { return Velmora::startVM(log, machine); }},
    {"stopVM", "Stopping VM", true, [](Velmora::LogCallback log) { return Velmora::stopVM(log, machine); }},
    {"setDiskImages", "Set disk images", false,
     [](Velmora::LogCallback log) {
         const wchar_t* images[] = {L"C:\\vms\\disk.vhdx"};
         return Velmora::setDiskImages(log, machine, 2, images, 1);
     }},
    {"retrieveAvailableNetworkAdapters", "Get available network adapters", false,
     [](Velmora::LogCallback log) {
         return Velmora::retrieveAvailableNetworkAdapters(log, *std::make_unique<Velmora::NetworksList>());
     }},
    {"retrieveUsedMemory", "Get used memory", false,
     [](Velmora::LogCallback log) {
         std::uint64_t usedMemory = 0;
         return Velmora::retrieveUsedMemory(log, usedMemory);
     }},
};

// The lines of an export whose frame stops at the missing namespace: WBEM_E_INVALID_NAMESPACE.
std::vector<Line> frame(const Export& call) {
    std::vector<Line> lines{{Velmora::Info, call.banner}};
    if (call.requestsStateChange) lines.push_back({Velmora::Info, "Request VM state change"});
    for (const char* text : {"Initializing COM", "Connect to the server", "Connect to the server - OK",
                             "Open namespace: virtualization\\v2"})
        lines.push_back({Velmora::Info, text});
    lines.push_back({Velmora::Error, "Failed to open namespace, err=-2147217394"});
    return lines;
}

// CoInitializeEx answers S_OK on a thread without COM and S_FALSE on one already in the requested apartment:
// one probe, undone at once, tells whether a call left the thread's initialisation count as it found it.
HRESULT probe(DWORD model) {
    const HRESULT result = CoInitializeEx(nullptr, model);
    if (SUCCEEDED(result)) CoUninitialize();
    return result;
}

enum class Caller { WithoutCom, Multithreaded, SingleThreaded };
const char* const callerNames[] = {"WithoutCom", "Multithreaded", "SingleThreaded"};

class WineWmi : public testing::TestWithParam<std::tuple<Export, Caller>> {};

TEST_P(WineWmi, LogsTheFrameUpToTheMissingNamespaceFailsAndLeavesTheCallersComAsItWas) {
    const auto& [call, caller] = GetParam();
    onFreshThread([&] {
        const DWORD model = caller == Caller::SingleThreaded ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
        ASSERT_EQ(caller == Caller::WithoutCom ? S_OK : CoInitializeEx(nullptr, model), S_OK);
        // The second call finds process-wide COM security set already, and must not take that for a failure.
        for (int round = 0; round < 2; ++round) {
            std::vector<Line> lines;
            received = &lines;
            VelmoraTest::StreamCapture streams;
            EXPECT_FALSE(call.call(&record));
            const auto captured = streams.finish();
            EXPECT_EQ(lines, frame(call)) << "round " << round;
            EXPECT_EQ(captured.output + captured.error, "");
        }
        // Without a callback, info lines go to standard output and errors to standard error; the callback of an
        // earlier call on the thread does not come back.
        std::vector<Line> late;
        received = &late;
        VelmoraTest::StreamCapture streams;
        EXPECT_FALSE(call.call(nullptr));
        const auto captured = streams.finish();
        std::string info;
        for (const Line& line : frame(call)) info += line.first == Velmora::Info ? line.second + "\n" : "";
        EXPECT_EQ(captured.output, info);
        EXPECT_EQ(captured.error, "Failed to open namespace, err=-2147217394\n");
        EXPECT_TRUE(late.empty());
        if (caller == Caller::WithoutCom) {
            // S_OK, not S_FALSE: the call's own initialisation is gone again, in either apartment model.
            EXPECT_EQ(probe(COINIT_MULTITHREADED), S_OK);
            EXPECT_EQ(probe(COINIT_APARTMENTTHREADED), S_OK);
            return;
        }
        // In a single-threaded apartment CoInitializeEx answers RPC_E_CHANGED_MODE; the call uses it as it is.
        EXPECT_EQ(probe(model), S_FALSE) << "the caller's initialisation was undone";
        CoUninitialize();
        EXPECT_EQ(probe(COINIT_MULTITHREADED), S_OK) << "the call left an initialisation behind";
    });
}

INSTANTIATE_TEST_SUITE_P(EveryExport, WineWmi,
                         testing::Combine(testing::ValuesIn(exports),
                                          testing::Values(Caller::WithoutCom, Caller::Multithreaded,
                                                          Caller::SingleThreaded)),
                         [](const auto& instance) {
                             return std::string(std::get<0>(instance.param).name) + "_" +
                                    callerNames[static_cast<int>(std::get<1>(instance.param))];
                         });

// The recorder wraps the system's locator (no simulated host is registered in this program), and HyperVSim.dll's
// registration with that trace gives a host application the same run again.
TEST(TraceOfWineWmi, RecordsTheSystemsLocatorAndReplaysThroughTheRegistrationWithTheTrace) {
    const auto trace = std::filesystem::current_path() / "velmora-wine-wmi.jsonl";
    const Export& call = exports[6];  // retrieveUsedMemory
    bool recordedResult = true, replayedResult = true;

    ASSERT_EQ(HyperVSimStartRecording(trace.wstring().c_str()), S_OK);
    const auto recorded = onFreshThread([&] { recordedResult = call.call(&record); });
    ASSERT_EQ(HyperVSimStopRecording(), S_OK);
    std::vector<std::string> calls;
    std::ifstream file(trace);
    for (std::string line; std::getline(file, line);) {
        const auto document = nlohmann::json::parse(line);
        if (document.contains("method"))
            calls.push_back(document["method"].get<std::string>() + " " + document["hresult"].get<std::string>());
    }
    file.close();
    EXPECT_EQ(calls, (std::vector<std::string>{"ConnectServer 0x00000000", "SetBlanket 0x00000000",
                                               "OpenNamespace 0x8004100E"}));

    ASSERT_EQ(HyperVSimRegisterClassObjectsReplaying(trace.wstring().c_str()), S_OK);
    const auto replayed = onFreshThread([&] { replayedResult = call.call(&record); });
    EXPECT_EQ(HyperVSimReplayDiagnostic(nullptr, 0), 0u);
    ASSERT_EQ(HyperVSimRevokeClassObjects(), S_OK);
    std::filesystem::remove(trace);
    EXPECT_FALSE(recordedResult);
    EXPECT_FALSE(replayedResult);
    EXPECT_EQ(recorded, frame(call));
    EXPECT_EQ(replayed, recorded);
}

}  // namespace
