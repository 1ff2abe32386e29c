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

#include "Console.h"
#include "LogRecord.h"
#include "Text.h"
#include "Win32.h"

namespace MsvcCaller {
namespace {

unsigned failures = 0;

void expect(bool passed, const char* what) {
    print(passed ? "ok     " : "FAILED ");
    print(what);
    print("\n");
    if (!passed) ++failures;
}

[[noreturn]] void finish() {
    print(failures ? "MSVC-ABI caller: FAILED\n" : "MSVC-ABI caller: all checks passed\n");
    ExitProcess(failures ? 1 : 0);
}

// The lines every export logs before its work: the banner, the state-change request of startVM and stopVM,
// COM, the connection and the namespace.
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
        if (line >= received.count() || received[line].level != Velmora::Info || !same(received[line].text, text))
            return false;
        ++line;
    }
    return true;
}

bool levelsAreKnown() {
    for (unsigned i = 0; i < received.count(); ++i)
        if (received[i].level < Velmora::Info || received[i].level > Velmora::Error) return false;
    return !received.overflowed();
}

// Checks the lines of a call that ran on a Hyper-V host: its frame, known levels, no error (or exactly one,
// beginning with `allowedError`) and the warnings counted.
void expectLines(const char* banner, bool requestsStateChange, const char* allowedError = nullptr,
                 unsigned warnings = 0) {
    bool passed = beginsWithFrame(banner, requestsStateChange) && levelsAreKnown() &&
                  received.countOfLevel(Velmora::Warning) == warnings;
    const unsigned errors = received.countOfLevel(Velmora::Error);
    if (allowedError) {
        passed = passed && errors == 1;
        for (unsigned i = 0; i < received.count(); ++i)
            if (received[i].level == Velmora::Error) passed = passed && startsWith(received[i].text, allowedError);
    } else {
        passed = passed && errors == 0;
    }
    print("       ");
    print(banner);
    print(": ");
    printNumber(received.count());
    print(" lines\n");
    expect(passed, "  its log lines: the frame, then its work with the documented levels");
    if (!passed) received.printAll();
}

Win32::Procedure procedureOf(const wchar_t* library, const char* name) {
    const Win32::Module module = LoadLibraryW(library);
    return module ? GetProcAddress(module, name) : nullptr;
}

// Registers a simulated host through a C entry point of `library` named `entry`.
bool registerHost(const wchar_t* library, const char* entry) {
    const auto registerClassObjects = reinterpret_cast<HyperVSimRegisterFunction>(procedureOf(library, entry));
    return registerClassObjects && registerClassObjects() == 0;
}

// (path, name) pairs of a switch list: how many there are, and whether the names and paths are those of the
// simulated host's default switches.
bool listsTheDefaultSwitches(const Velmora::NetworksList& list) {
    const wchar_t* expectedNames[] = {L"Default Switch", L"External Switch"};
    const wchar_t* entry = list.entries;
    for (const wchar_t* name : expectedNames) {
        if (!startsWith(entry, L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.")) return false;
        entry += lengthOf(entry) + 1;
        if (!same(entry, name)) return false;
        entry += lengthOf(entry) + 1;
    }
    return *entry == 0;
}

// An empty image file in the working folder, by its full path.
bool makeImage(wchar_t (&path)[512]) {
    const wchar_t* name = L"msvc-caller-disk.vhdx";
    if (GetFullPathNameW(name, 512, path, nullptr) - 1 >= 511) return false;
    const Win32::Handle file =
        CreateFileW(path, Win32::genericWrite, 0, nullptr, Win32::createAlways, Win32::normalFile, nullptr);
    return file != Win32::invalidHandle && CloseHandle(file);
}

Velmora::NetworksList switches;
Velmora::CreatedVM created;
wchar_t imagePath[512];

void lifecycleOnTheSimulatedHost() {
    expect(registerHost(L"HyperVSim.dll", HYPERVSIM_REGISTER_NAME),
           "HyperVSim.dll registers the simulated host through " HYPERVSIM_REGISTER_NAME);
    // COM asks DllCanUnloadNow before it unloads an in-process server: S_FALSE while it is in use.
    const auto canUnloadNow =
        reinterpret_cast<long(__stdcall*)()>(procedureOf(L"HyperVSim.dll", "DllCanUnloadNow"));
    expect(canUnloadNow && canUnloadNow() == 1, "  DllCanUnloadNow answers S_FALSE while the host is registered");
    expect(makeImage(imagePath), "an image file to attach");

    received.clear();
    expect(Velmora::retrieveAvailableNetworkAdapters(&recordLine, switches),
           "retrieveAvailableNetworkAdapters returns true");
    expectLines("Get available network adapters", false);
    expect(listsTheDefaultSwitches(switches), "  it lists the host's two switches: path, name, path, name, end");
    print("       first switch: ");
    printWide(switches.entries);
    print("\n");

    // Out-parameters start as a value the library would never hand back, so that an unwritten one shows.
    constexpr std::uint64_t unwritten = ~0ull;
    std::uint64_t memoryBefore = unwritten;
    received.clear();
    expect(Velmora::retrieveUsedMemory(&recordLine, memoryBefore), "retrieveUsedMemory returns true");
    expectLines("Get used memory", false);
    // The host's own memory does not count: only that of running machines, of which there is none yet.
    expect(memoryBefore == 0, "  no memory is in use");

    const wchar_t* networks[] = {switches.entries};
    constexpr std::uint64_t machineMemory = 3ull << 30;
    const Velmora::VMSettings settings{L"msvc-01", 2, machineMemory, L"", {2, 0, 100, 100}, networks, 1};
    received.clear();
    expect(Velmora::createVM(&recordLine, settings, created), "createVM returns true");
    expectLines("Create VM", false);
    print("       machine: ");
    printWide(created.vmPath);
    print("\n");
    expect(startsWith(created.vmPath, L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem."),
           "  it hands back the new machine's path");

    const wchar_t* images[] = {imagePath};
    received.clear();
    expect(Velmora::setDiskImages(&recordLine, created.vmPath, 2, images, 1), "setDiskImages returns true");
    // A new generation 2 machine has no SCSI controller yet: the search for one ends with this line.
    expectLines("Set disk images", false, "Query returned no objects!");

    received.clear();
    expect(Velmora::startVM(&recordLine, created.vmPath), "startVM returns true");
    expectLines("Starting VM", true);

    std::uint64_t memoryRunning = unwritten;
    received.clear();
    expect(Velmora::retrieveUsedMemory(&recordLine, memoryRunning), "retrieveUsedMemory returns true");
    print("       used memory: ");
    printNumber(memoryRunning);
    print(" bytes\n");
    expect(memoryRunning == machineMemory, "  the running machine's 3 GiB are in use");

    received.clear();
    expect(Velmora::stopVM(&recordLine, created.vmPath), "stopVM returns true");
    expectLines("Stopping VM", true);

    received.clear();
    expect(Velmora::deleteVM(&recordLine, created.vmPath), "deleteVM returns true");
    expectLines("Delete VM", false);

    std::uint64_t memoryAfter = unwritten;
    received.clear();
    expect(Velmora::retrieveUsedMemory(&recordLine, memoryAfter) && memoryAfter == 0,
           "retrieveUsedMemory returns true and no memory is in use");

    received.clear();
    expect(Velmora::stopVM(&recordLine, created.vmPath), "stopVM of the deleted machine returns true");
    expectLines("Stopping VM", true, "Could not get object: ", 1);

    received.clear();
    expect(!Velmora::startVM(&recordLine, created.vmPath), "startVM of the deleted machine returns false");
    expect(beginsWithFrame("Starting VM", true) && levelsAreKnown() && received.count() > 0 &&
               received[received.count() - 1].level == Velmora::Error,
           "  its last line is an error");

    const auto revoke =
        reinterpret_cast<HyperVSimRevokeFunction>(procedureOf(L"HyperVSim.dll", HYPERVSIM_REVOKE_NAME));
    expect(revoke && revoke() == 0, "HyperVSim.dll revokes the registration");
    expect(canUnloadNow && canUnloadNow() == 0, "  DllCanUnloadNow answers S_OK once every object is released");
    expect(DeleteFileW(imagePath) != 0, "the image file is removed");
}

// The lines and result of an export against Wine's WMI: its frame, then the missing namespace at Error; false.
void expectMissingNamespace(const char* banner, bool requestsStateChange, bool result) {
    const unsigned count = received.count();
    const bool passed = !result && beginsWithFrame(banner, requestsStateChange) && levelsAreKnown() &&
                        count == (requestsStateChange ? 7u : 6u) && received[count - 1].level == Velmora::Error &&
                        same(received[count - 1].text, "Failed to open namespace, err=-2147217394");
    print("       ");
    print(banner);
    print("\n");
    expect(passed, "  returns false after its frame and the missing namespace");
    if (!passed) received.printAll();
}

void framesAgainstWineWmi() {
    const wchar_t* machine =
        L"\\\\WINE\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
        L"Name=\"7F2B1C4A-3D5E-4F60-8A9B-0C1D2E3F4A5B\"";
    const wchar_t* networks[] = {L"\\\\WINE\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.Name=\"S1\""};
    const wchar_t* images[] = {L"C:\\vms\\disk.vhdx"};
    const Velmora::VMSettings settings{L"wine-vm", 2, 1ull << 30, L"C:\\vms", {1, 0, 100, 100}, networks, 1};

    received.clear();
    bool result = Velmora::createVM(&recordLine, settings, created);
    expectMissingNamespace("Create VM", false, result);
    received.clear();
    result = Velmora::deleteVM(&recordLine, machine);
    expectMissingNamespace("Delete VM", false, result);
    received.clear();
    result = Velmora::startVM(&recordLine, machine);
    expectMissingNamespace("Starting VM", true, result);
    received.clear();
    result = Velmora::stopVM(&recordLine, machine);
    expectMissingNamespace("Stopping VM", true, result);
    received.clear();
    result = Velmora::setDiskImages(&recordLine, machine, 2, images, 1);
    expectMissingNamespace("Set disk images", false, result);
    received.clear();
    result = Velmora::retrieveAvailableNetworkAdapters(&recordLine, switches);
    expectMissingNamespace("Get available network adapters", false, result);
    std::uint64_t memory = 0;
    received.clear();
    result = Velmora::retrieveUsedMemory(&recordLine, memory);
    expectMissingNamespace("Get used memory", false, result);
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

// The one argument after the program's name (which may be quoted).
const wchar_t* argument() {
    const wchar_t* text = GetCommandLineW();
    if (*text == L'"') {
        ++text;
        while (*text && *text != L'"') ++text;
        if (*text) ++text;
    } else {
        while (*text && *text != L' ' && *text != L'\t') ++text;
    }
    while (*text == L' ' || *text == L'\t') ++text;
    return text;
}

}  // namespace
}  // namespace MsvcCaller

extern "C" [[noreturn]] void msvcCallerEntry() {
    using namespace MsvcCaller;
    const wchar_t* mode = argument();
    if (same(mode, L"simulated-host"))
        lifecycleOnTheSimulatedHost();
    else if (same(mode, L"wine-wmi"))
        framesAgainstWineWmi();
    else if (same(mode, L"throw"))
        exceptionThroughThisProgram();
    else
        expect(false, "one argument: simulated-host, wine-wmi or throw");
    finish();
}
