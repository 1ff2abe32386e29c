/* Makes the simulated Hyper-V host the WMI service of the calling process on Windows. A C interface, so that a
 * program built with any compiler can use it, linked or through LoadLibrary and GetProcAddress:
 *
 *     HMODULE host = LoadLibraryW(L"HyperVSim.dll");
 *     HyperVSimRegisterFunction registerHost =
 *         (HyperVSimRegisterFunction)GetProcAddress(host, HYPERVSIM_REGISTER_NAME);
 *     if (!registerHost || registerHost() < 0) ...fail...
 *
 * From then on, until HyperVSimRevokeClassObjects, every thread of the process in the multithreaded apartment
 * or without COM that creates the WMI locator (CLSID_WbemLocator) or the object text source
 * (CLSID_WbemObjectTextSrc) gets the simulated host's; a thread in a single-threaded apartment still gets the
 * system's. The host starts as the default host: two switches, "Default Switch" and "External Switch", no
 * machines. */
#ifndef HYPERVSIM_REGISTRATION_H
#define HYPERVSIM_REGISTRATION_H

#ifdef __cplusplus
extern "C" {
#endif

/* Registers the host's class objects with the COM runtime (CoRegisterClassObject) from a thread of the host's
 * own that stays in the multithreaded apartment for as long as the registration lasts. Returns S_OK (0),
 * S_FALSE (1) when they are registered already, or the failing HRESULT (negative). */
long __stdcall HyperVSimRegisterClassObjects(void);

/* Revokes what HyperVSimRegisterClassObjects registered and ends its thread; a replay and a recording end as
 * well. Returns S_OK (0), or S_FALSE (1) when nothing was registered. Call it before unloading HyperVSim.dll. */
long __stdcall HyperVSimRevokeClassObjects(void);

/* As HyperVSimRegisterClassObjects, but the host answers every WMI call from the trace at `tracePath` (a file
 * that HyperVSimStartRecording wrote, on any host) instead of from its model: each call must be the one the
 * trace holds at its place and gets the recorded result and objects. A call the trace has no answer for fails
 * with WBEM_E_FAILED (0x80041001), and so does every later one; HyperVSimReplayDiagnostic says why. Returns as
 * HyperVSimRegisterClassObjects does, or 0x8007000D when the trace cannot be read (the reason goes to standard
 * error). HyperVSimRevokeClassObjects ends the replay. */
long __stdcall HyperVSimRegisterClassObjectsReplaying(const wchar_t* tracePath);

/* Why the replay had no answer for a call: the call, its arguments, its position and the call the trace holds
 * there. Copies as much as fits into `buffer` (`capacity` characters with the terminating zero) and returns the
 * length of the whole text in characters; 0 while every call had its answer. */
unsigned long __stdcall HyperVSimReplayDiagnostic(wchar_t* buffer, unsigned long capacity);

/* Records the WMI calls of this process into a trace file at `tracePath` (JSON lines): creates the WMI locator
 * registered now (the system's, or the simulated host's when HyperVSimRegisterClassObjects came first) and
 * registers a recording locator in its place, which passes every call on to it and writes the call, its
 * arguments, its result and the objects handed back. Like the host's registration it serves threads in the
 * multithreaded apartment and threads without COM. Returns S_OK, S_FALSE when recording already, or the
 * failing HRESULT (0x8007006E when the file cannot be written). */
long __stdcall HyperVSimStartRecording(const wchar_t* tracePath);

/* Ends the recording and closes the trace. Returns S_OK, S_FALSE when not recording, or E_FAIL when a call
 * could not be written to the trace. */
long __stdcall HyperVSimStopRecording(void);

typedef long(__stdcall* HyperVSimRegisterFunction)(void);
typedef long(__stdcall* HyperVSimRevokeFunction)(void);
typedef long(__stdcall* HyperVSimRegisterReplayingFunction)(const wchar_t* tracePath);
typedef unsigned long(__stdcall* HyperVSimReplayDiagnosticFunction)(wchar_t* buffer, unsigned long capacity);
typedef long(__stdcall* HyperVSimStartRecordingFunction)(const wchar_t* tracePath);
typedef long(__stdcall* HyperVSimStopRecordingFunction)(void);
#define HYPERVSIM_REGISTER_NAME "HyperVSimRegisterClassObjects"
#define HYPERVSIM_REVOKE_NAME "HyperVSimRevokeClassObjects"
#define HYPERVSIM_REGISTER_REPLAYING_NAME "HyperVSimRegisterClassObjectsReplaying"
#define HYPERVSIM_REPLAY_DIAGNOSTIC_NAME "HyperVSimReplayDiagnostic"
#define HYPERVSIM_START_RECORDING_NAME "HyperVSimStartRecording"
#define HYPERVSIM_STOP_RECORDING_NAME "HyperVSimStopRecording"

#ifdef __cplusplus
}
#endif

#endif
