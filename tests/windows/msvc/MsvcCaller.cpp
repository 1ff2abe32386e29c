// A program as Microsoft's compiler builds it (clang for the MSVC ABI, linked by lld-link against Velmora.lib,
// no C or C++ runtime) that calls Velmora.dll's seven exports with a log callback of its own. Run under Wine
// with one argument:
//   simulated-host  registers the simulated host from HyperVSim.dll (LoadLibrary and its C entry point) and
//                   takes a machine through its whole life, checking results, log lines and out-parameters;
//   wine-wmi        runs against Wine's own WMI, which has no Hyper-V namespace: each export logs its frame up
//                   to opening the namespace and returns false;
//   throw           registers a simulated host whose AddResourceSettings hands back a text where an array of
//                   paths belongs, so that createVM raises Velmora::HResultError into this program, which has
//                   no way to catch a MinGW C++ exception: the process must end inside the call.
// Prints one line per check and exits 0 when all passed.
#include <HyperVSim/Registration.h>
#include <Velmora/Velmora.h>

#include <cstddef>
#include <cstdint>

// The few Windows functions used, declared by hand: there is no Windows SDK for this ABI here (MinGW has its
// headers only in its own dialect); the import library is made from kernel32.def.
extern "C" {
__declspec(dllimport) void* __stdcall LoadLibraryW(const wchar_t* name);
__declspec(dllimport) HyperVSimRegisterFunction __stdcall GetProcAddress(void* module, const char* name);
__declspec(dllimport) void* __stdcall GetStdHandle(std::uint32_t which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, std::uint32_t size,
                                              std::uint32_t* written, void* overlapped);
[[noreturn]] __declspec(dllimport) void __stdcall ExitProcess(std::uint32_t code);
__declspec(dllimport) wchar_t* __stdcall GetCommandLineW();
__declspec(dllimport) void* __stdcall CreateFileW(const wchar_t* name, std::uint32_t access, std::uint32_t share,
                                                  void* security, std::uint32_t disposition,
                                                  std::uint32_t attributes, void* templateFile);
__declspec(dllimport) int __stdcall CloseHandle(void* object);
__declspec(dllimport) int __stdcall DeleteFileW(const wchar_t* name);
__declspec(dllimport) std::uint32_t
    __stdcall GetFullPathNameW(const wchar_t* name, std::uint32_t size, wchar_t* buffer, wchar_t** filePart);
}

namespace {

template <class Char>
std::size_t lengthOf(const Char* text) {
    std::size_t length = 0;
    while (text[length]) ++length;
    return length;
}

template <class Char>
bool startsWith(const Char* text, const Char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (*text != *prefix) return false;
    return true;
}

template <class Char>
bool same(const Char* a, const Char* b) {
    return startsWith(a, b) && a[lengthOf(b)] == 0;
}

void print(const char* text) {
    std::uint32_t written = 0;
    WriteFile(GetStdHandle(static_cast<std::uint32_t>(-11)), text, static_cast<std::uint32_t>(lengthOf(text)),
              &written, nullptr);
}

// The lines since the last check with their levels, in static storage (zero-initialised: no constructors run at
// start-up). An overflow counts as a failed check.
constexpr unsigned maxLines = 512;
struct {
    int levels[maxLines];
    const char* texts[maxLines];
    char characters[64 * 1024];
    unsigned count;
    std::size_t used;
    bool overflowed;
} received;

void recordLine(Velmora::LoggingLevel level, const char* text) {
    const std::size_t size = lengthOf(text) + 1;
    if (received.count == maxLines || received.used + size > sizeof received.characters) {
        received.overflowed = true;
        return;
    }
    char* copy = received.characters + received.used;
    for (std::size_t i = 0; i < size; ++i) copy[i] = text[i];
    received.used += size;
    received.levels[received.count] = level;
    received.texts[received.count++] = copy;
}

unsigned linesAt(int level) {
    unsigned found = 0;
    for (unsigned i = 0; i < received.count; ++i) found += received.levels[i] == level;
    return found;
}

unsigned failures = 0;

void expect(bool passed, const char* what, bool keepLines = false) {
    print(passed ? "ok     " : "FAILED ");
    print(what);
    print("\n");
    failures += passed ? 0 : 1;
    for (unsigned i = 0; !passed && i < received.count; ++i) {
        print("    ");
        char level[3] = {};
        level[0] = static_cast<char>('0' + received.levels[i] % 10);
        level[1] = ' ';
        print(level);
        print(received.texts[i]);
        print("\n");
    }
    // The next check is of the lines that come after this one.
    if (keepLines) return;
    received.count = 0;
    received.used = 0;
    received.overflowed = false;
}

// The lines every export logs before its work, all at Info: the banner, the state-change request of startVM and
// stopVM, COM, the connection and the namespace; and no level outside the three.
bool beginsWithFrame(const char* banner, bool requestsStateChange) {
    const char* frame[] = {banner,
                           requestsStateChange ? "Request VM state change" : nullptr,
                           "Initializing COM",
                           "Connect to the server",
                           "Connect to the server - OK",
                           "Open namespace: virtualization\\v2"};
    unsigned line = 0;
    for (const char* text : frame) {
        if (!text) continue;
        if (line >= received.count || received.levels[line] != Velmora::Info || !same(received.texts[line], text))
            return false;
        ++line;
    }
    for (unsigned i = 0; i < received.count; ++i)
        if (received.levels[i] < Velmora::Info || received.levels[i] > Velmora::Error) return false;
    return !received.overflowed;
}

// A call that ran on a Hyper-V host: its result, its frame, the warnings counted, and no error (or exactly one,
// beginning with `allowedError`).
void expectCall(bool result, const char* what, const char* banner, bool requestsStateChange,
                const char* allowedError = nullptr, unsigned warnings = 0) {
    bool passed = beginsWithFrame(banner, requestsStateChange) && linesAt(Velmora::Warning) == warnings &&
                  linesAt(Velmora::Error) == (allowedError ? 1u : 0u);
    for (unsigned i = 0; i < received.count; ++i)
        if (received.levels[i] == Velmora::Error)
            passed = passed && allowedError && startsWith(received.texts[i], allowedError);
    expect(result, what, true);
    expect(passed, "  its log lines: the frame, then its work with the documented levels");
}

HyperVSimRegisterFunction procedureOf(const wchar_t* library, const char* name) {
    void* const module = LoadLibraryW(library);
    return module ? GetProcAddress(module, name) : nullptr;
}

// Registers a simulated host through a C entry point of `library` named `entry`.
bool registerHost(const wchar_t* library, const char* entry) {
    const auto registerClassObjects = procedureOf(library, entry);
    return registerClassObjects && registerClassObjects() == 0;
}

// (path, name) pairs of a switch list: those of the simulated host's two default switches, then the end.
bool listsTheDefaultSwitches(const Velmora::NetworksList& list) {
    const wchar_t* entry = list.entries;
    const wchar_t* names[] = {L"Default Switch", L"External Switch"};
    for (const wchar_t* name : names) {
        if (!startsWith(entry, L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.")) return false;
        entry += lengthOf(entry) + 1;
        if (!same(entry, name)) return false;
        entry += lengthOf(entry) + 1;
    }
    return *entry == 0;
}

Velmora::NetworksList switches;
Velmora::CreatedVM created;
wchar_t imagePath[512];

void lifecycleOnTheSimulatedHost() {
    expect(registerHost(L"HyperVSim.dll", HYPERVSIM_REGISTER_NAME),
           "HyperVSim.dll registers the simulated host through " HYPERVSIM_REGISTER_NAME);
    // COM asks DllCanUnloadNow before it unloads an in-process server: S_FALSE while it is in use.
    const auto canUnloadNow = procedureOf(L"HyperVSim.dll", "DllCanUnloadNow");
    expect(canUnloadNow && canUnloadNow() == 1, "  DllCanUnloadNow answers S_FALSE while the host is registered");
    const bool named = GetFullPathNameW(L"msvc-caller-disk.vhdx", 512, imagePath, nullptr) - 1 < 511;
    void* const file = named ? CreateFileW(imagePath, 0x40000000u, 0, nullptr, 2, 0x80, nullptr) : nullptr;
    expect(named && file != reinterpret_cast<void*>(static_cast<std::intptr_t>(-1)) && CloseHandle(file),
           "an image file to attach");

    expectCall(Velmora::retrieveAvailableNetworkAdapters(&recordLine, switches),
               "retrieveAvailableNetworkAdapters returns true", "Get available network adapters", false);
    expect(listsTheDefaultSwitches(switches), "  it lists the host's two switches: path, name, path, name, end");

    // Out-parameters start as a value the library would never hand back, so that an unwritten one shows. The
    // host's own memory does not count: only that of running machines, of which there is none yet.
    std::uint64_t memory = ~0ull;
    expectCall(Velmora::retrieveUsedMemory(&recordLine, memory), "retrieveUsedMemory returns true",
               "Get used memory", false);
    expect(memory == 0, "  no memory is in use");

    const wchar_t* networks[] = {switches.entries};
    const Velmora::VMSettings settings{L"msvc-01", 2, 3ull << 30, L"", {2, 0, 100, 100}, networks, 1};
    expectCall(Velmora::createVM(&recordLine, settings, created), "createVM returns true", "Create VM", false);
    expect(startsWith(created.vmPath, L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem."),
           "  it hands back the new machine's path");

    const wchar_t* images[] = {imagePath};
    // A new generation 2 machine has no SCSI controller yet: the search for one ends with this line.
    expectCall(Velmora::setDiskImages(&recordLine, created.vmPath, 2, images, 1), "setDiskImages returns true",
               "Set disk images", false, "Query returned no objects!");
    expectCall(Velmora::startVM(&recordLine, created.vmPath), "startVM returns true", "Starting VM", true);

    memory = ~0ull;
    expect(Velmora::retrieveUsedMemory(&recordLine, memory) && memory == 3ull << 30,
           "retrieveUsedMemory: the running machine's 3 GiB are in use");
    expectCall(Velmora::stopVM(&recordLine, created.vmPath), "stopVM returns true", "Stopping VM", true);
    expectCall(Velmora::deleteVM(&recordLine, created.vmPath), "deleteVM returns true", "Delete VM", false);
    memory = ~0ull;
    expect(Velmora::retrieveUsedMemory(&recordLine, memory) && memory == 0,
           "retrieveUsedMemory returns true and no memory is in use");

    expectCall(Velmora::stopVM(&recordLine, created.vmPath), "stopVM of the deleted machine returns true",
               "Stopping VM", true, "Could not get object: ", 1);
    expect(!Velmora::startVM(&recordLine, created.vmPath) && beginsWithFrame("Starting VM", true) &&
               received.count > 0 && received.levels[received.count - 1] == Velmora::Error,
           "startVM of the deleted machine returns false; its last line is an error");

    const auto revoke = procedureOf(L"HyperVSim.dll", HYPERVSIM_REVOKE_NAME);
    expect(revoke && revoke() == 0, "HyperVSim.dll revokes the registration");
    expect(canUnloadNow && canUnloadNow() == 0, "  DllCanUnloadNow answers S_OK once every object is released");
    expect(DeleteFileW(imagePath) != 0, "the image file is removed");
}

const wchar_t* const machine =
    L"\\\\WINE\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    L"Name=\"7F2B1C4A-3D5E-4F60-8A9B-0C1D2E3F4A5B\"";

// Each export against Wine's WMI: its frame, then the missing namespace at Error, and false.
void framesAgainstWineWmi() {
    struct Export {
        const char* banner;
        bool requestsStateChange;
        bool (*call)();
    };
    static const Export exports[] = {
        {"Create VM", false,
         [] {
             const wchar_t* networks[] = {
                 L"\\\\WINE\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.Name=\"S1\""};
             const Velmora::VMSettings settings{L"wine-vm",       2,        1ull << 30, L"C:\\vms",
                                                {1, 0, 100, 100}, networks, 1};
             return Velmora::createVM(&recordLine, settings, created);
         }},
        {"Delete VM", false, [] { return Velmora::deleteVM(&recordLine, machine); }},
        {"Starting VM", true, [] { return Velmora::startVM(&recordLine, machine); }},
        {"Stopping VM", true, [] { return Velmora::stopVM(&recordLine, machine); }},
        {"Set disk images", false,
         [] {
             const wchar_t* images[] = {L"C:\\vms\\disk.vhdx"};
             return Velmora::setDiskImages(&recordLine, machine, 2, images, 1);
         }},
        {"Get available network adapters", false,
         [] { return Velmora::retrieveAvailableNetworkAdapters(&recordLine, switches); }},
        {"Get used memory", false,
         [] {
             std::uint64_t memory = 0;
             return Velmora::retrieveUsedMemory(&recordLine, memory);
         }},
    };
    for (const Export& call : exports) {
        const bool result = call.call();
        const unsigned count = received.count;
        print("       ");
        print(call.banner);
        print("\n");
        expect(!result && beginsWithFrame(call.banner, call.requestsStateChange) &&
                   count == (call.requestsStateChange ? 7u : 6u) && received.levels[count - 1] == Velmora::Error &&
                   same(received.texts[count - 1], "Failed to open namespace, err=-2147217394"),
               "  returns false after its frame and the missing namespace");
    }
}

// createVM on a host that hands back a malformed result: the DLL raises HResultError, which no frame of this
// program can catch. Reaching the line after the call would mean the exception was lost.
void exceptionThroughThisProgram() {
    expect(registerHost(L"velmora_throwing_host.dll", "registerThrowingHost"),
           "velmora_throwing_host.dll registers its simulated host");
    expect(Velmora::retrieveAvailableNetworkAdapters(&recordLine, switches), "retrieveAvailableNetworkAdapters");
    const wchar_t* networks[] = {switches.entries};
    const Velmora::VMSettings settings{L"msvc-throw", 2, 1ull << 30, L"", {1, 0, 100, 100}, networks, 1};
    print("calling createVM\n");
    const bool result = Velmora::createVM(&recordLine, settings, created);
    print(result ? "createVM returned true\n" : "createVM returned false\n");
    expect(false, "the exception ends the process inside createVM");
}

// The one argument, after the program's name (which may be quoted, with blanks) and a blank.
const wchar_t* argument() {
    const wchar_t* mode = GetCommandLineW();
    for (const wchar_t* text = mode; *text; ++text)
        if (*text == L' ') mode = text + 1;
    return mode;
}

}  // namespace

extern "C" [[noreturn]] void msvcCallerEntry() {
    const wchar_t* mode = argument();
    if (same(mode, L"simulated-host"))
        lifecycleOnTheSimulatedHost();
    else if (same(mode, L"wine-wmi"))
        framesAgainstWineWmi();
    else if (same(mode, L"throw"))
        exceptionThroughThisProgram();
    else
        expect(false, "one argument: simulated-host, wine-wmi or throw");
    print(failures ? "MSVC-ABI caller: FAILED\n" : "MSVC-ABI caller: all checks passed\n");
    ExitProcess(failures ? 1 : 0);
}
