// The simulated Hyper-V host's control interface: seed and reset the host, inject faults into its WMI
// calls, read the call journal and the live-object count, inspect machines, and back the host by a state
// file. Tests, benchmarks and the command use it; the library never does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "HyperVSim/Trace.h"

#if defined(_WIN32)
#define HYPERVSIM_API
#else
#define HYPERVSIM_API __attribute__((visibility("default")))
#endif

namespace HyperVSim {

// The name of the simulated host: the server part of every full object path.
inline constexpr const wchar_t* hostName = L"HVSIM01";

// A VT_BSTR value whose string pointer is null.
struct NullString {
    bool operator==(const NullString&) const = default;
};

// A property value as the host delivers it from IWbemClassObject::Get, whatever the class schema says:
// monostate = VT_NULL, NullString = VT_BSTR holding a null string, wstring = VT_BSTR, int32_t = VT_I4,
// int16_t = VT_I2, bool = VT_BOOL, vector = VT_ARRAY | VT_BSTR.
using Value = std::variant<std::monostate, NullString, std::wstring, std::int32_t, std::int16_t, bool,
                           std::vector<std::wstring>>;

// A fault rule. A call matches when its operation is `operation` and, if `argument` is not empty, its main
// argument equals `argument` (case-insensitively). Main arguments: ConnectServer and OpenNamespace the
// namespace; GetObject the path; ExecQuery the query text; Next the query text of its enumerator; Get and
// Put the property name; GetMethod the method name; SpawnInstance the class name; ExecMethod the method
// name; GetCallStatus and GetResultObject the method name; GetText the class name of the object;
// SetBlanket nothing; CreateInstance "WbemLocator" or "WbemObjectTextSrc".
// The rule fires on the `occurrence`-th matching call (1-based) or, with 0, on every matching call.
struct Fault {
    enum class Kind {
        Fail,          // the call returns `result` and hands out nothing; a positive `result` on Get
                       // delivers the value and returns `result` instead of S_OK
        NoObject,      // the call succeeds but its out object is null (for ExecMethod: the call result;
                       // for GetResultObject: the output parameters; for Next: it reports one object
                       // returned and gives none)
        NoOutParams,   // ExecMethod succeeds, runs the method, but hands back no output-parameter object
        CallStatus,    // GetCallStatus succeeds and reports `result` as the call status
        ReturnValue,   // ExecMethod: the method is not run; its ReturnValue is `result`
        DeliverValue,  // Get (of the property `argument`, or of an output parameter named in
                       // `parameter` for ExecMethod) delivers `value` instead of the real value
        OmitOutput,    // ExecMethod: the output parameter named `parameter` is absent (Get fails with
                       // WBEM_E_NOT_FOUND)
    };
    std::string operation;
    std::wstring argument;
    unsigned occurrence = 1;
    Kind kind = Kind::Fail;
    std::int32_t result = 0;
    std::wstring parameter;
    Value value;
};

// One call that reached the host.
struct JournalEntry {
    std::string operation;  // as in Fault::operation
    std::wstring argument;  // the main argument, as in Fault::argument
    std::int32_t result = 0;
    bool operator==(const JournalEntry&) const = default;
};

struct DriveView {
    std::wstring path;     // the drive's settings object path
    std::wstring address;  // AddressOnParent
    std::wstring image;    // HostResource[0] of the virtual hard disk in it, empty when none
};

struct ControllerView {
    enum class Kind { Ide, Scsi } kind = Kind::Ide;
    std::wstring path;
    std::wstring address;  // "0", "1" for IDE controllers
    std::vector<DriveView> drives;
};

struct AdapterView {
    std::wstring path;
    std::wstring name;                      // ElementName
    std::vector<std::wstring> identifiers;  // VirtualSystemIdentifiers
    bool staticMacAddress = false;
    std::vector<std::wstring> switches;  // HostResource[0] of each connection whose Parent is this adapter
};

struct MachineView {
    std::wstring path;  // full path of its Msvm_ComputerSystem
    std::wstring id;    // Name: upper-case GUID without braces
    std::wstring name;  // ElementName
    int generation = 0;
    std::wstring configurationDataRoot;
    int enabledState = 0;         // 2 running, 3 off, 10 starting, 4 stopping
    std::uint64_t memoryMiB = 0;  // VirtualQuantity of its memory settings
    std::uint64_t memoryReservation = 0, memoryLimit = 0, maxMemoryBlocksPerNumaNode = 0;
    std::uint64_t processors = 0, processorReservation = 0, processorLimit = 0, maxProcessorsPerNumaNode = 0;
    std::uint32_t processorWeight = 0;
    std::vector<AdapterView> adapters;
    std::vector<ControllerView> controllers;  // IDE by address, then SCSI in order of addition
};

struct SwitchView {
    std::wstring path;
    std::wstring name;
};

// How the next RequestStateChange that starts or turns off a machine goes. By default a change is done
// before the method returns; with a plan the machine stays starting (EnabledState 10) or stopping (4) for
// `milliseconds` while its job runs, and with `fails` the job ends in an exception and the machine goes
// back to the state it was in.
struct StateChangePlan {
    std::uint32_t milliseconds = 0;
    bool fails = false;
    bool operator==(const StateChangePlan&) const = default;
};

// A problem with the state file: it names the file and says what is wrong.
class StateFileError : public std::runtime_error {
public:
    enum class Kind {
        Inaccessible,  // the file system refuses: permissions, a missing folder, a full disk
        Unreadable,    // the file is there but holds no state this host can read: damaged, empty, foreign, newer
    };
    explicit StateFileError(const std::string& message, Kind kind = Kind::Inaccessible)
        : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

enum class StateFileAccess {
    ReadWrite,
    // For a process that only reads the host: a missing file is not made, a lock file that cannot be opened
    // is done without (writers replace the file whole, so a reader always reads one whole state), and a
    // change of the host fails with StateFileError.
    ReadOnly,
};

class HYPERVSIM_API Control {
public:
    // Puts the default seed in place (host system, management service, two switches, host memory, pools
    // with their capabilities and templates), clears faults and the journal. Deterministic: the same seed
    // gives the same paths and GUIDs every time.
    static void reset();

    // Whether a References query from a pool's allocation capabilities yields the Default template first
    // (as after reset) or last.
    static void setDefaultTemplateFirst(bool first);

    static std::wstring addSwitch(const std::wstring& name);  // returns its full path
    static void removeAllSwitches();
    static std::vector<SwitchView> switches();

    // Adds an Msvm_Memory instance whose properties deliver exactly these values (others are VT_NULL).
    static void addMemory(const std::map<std::wstring, Value>& properties);
    static void removeAllMemory();

    // The next start or turn-off of any machine follows `plan`; the plan is used up by that change.
    static void planNextStateChange(const StateChangePlan& plan);

    // Defines a machine as DefineSystem would; returns its full path.
    static std::wstring defineMachine(const std::wstring& name, int generation);
    // Adds a checkpoint of the machine at `machinePath`: a second Msvm_VirtualSystemSettingData (a copy of the
    // machine's own, of type "Microsoft:Hyper-V:Snapshot:Realized") that the machine's associators list
    // before its own settings. Returns the checkpoint's full path; throws std::invalid_argument when the path
    // names no machine.
    static std::wstring addCheckpoint(const std::wstring& machinePath);
    static std::vector<MachineView> machines();
    static std::optional<MachineView> machine(const std::wstring& path);

    static void injectFault(const Fault& fault);
    static void clearFaults();

    // The newest calls (at most 65,536) since the journal was last cleared, while it was on.
    static std::vector<JournalEntry> journal();
    // How many calls of each operation (as in Fault::operation) the journal saw since it was last cleared,
    // while it was on; exact also when journal() has dropped entries.
    static std::map<std::string, std::size_t> journalCounts();
    static void clearJournal();
    static void enableJournal(bool enabled);

    // COM objects of the host (services, objects, enumerators, call results, text sources) alive now.
    static long liveObjects();

    // Backs the host by a state file: loads it (or writes the current host into it when it does not exist)
    // and from then on writes every accepted change before the method call returns. Throws StateFileError.
    static void openStateFile(const std::string& path, StateFileAccess access = StateFileAccess::ReadWrite);
    static void closeStateFile();

    // Traces of WMI calls (docs/traces.md); paths are UTF-8. record() puts a recording WMI locator in the
    // place of the locator registered now (the system's, or the host's own), which passes every call of the
    // process on to it and writes each to the trace at `path`, until stopRecording(). Both throw TraceError.
    static void record(const std::string& path);
    static void stopRecording();
    // From now on the host's WMI locator answers every call from the trace at `path` instead of the model, in
    // order, until stopReplay(). Throws TraceError for a trace that cannot be read.
    static void replay(const std::string& path);
    static void stopReplay();
    // Why a call of the current (or last) replay had no answer: the call, its arguments, its position and the
    // call the trace holds there. Empty while every call had its answer.
    static std::wstring replayDiagnostic();
    // Replays the calls of a trace against the model as it is now (which they change) and lists the calls it
    // answers differently from the recorded host; GUIDs, the host's name in paths and time stamps may differ.
    static std::vector<TraceDifference> diffTrace(const std::string& path);
};

}  // namespace HyperVSim
