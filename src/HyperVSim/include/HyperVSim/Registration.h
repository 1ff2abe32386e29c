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

/* Revokes what HyperVSimRegisterClassObjects registered and ends its thread. Returns S_OK (0), or S_FALSE (1)
 * when nothing was registered. Call it before unloading HyperVSim.dll. */
long __stdcall HyperVSimRevokeClassObjects(void);

typedef long(__stdcall* HyperVSimRegisterFunction)(void);
typedef long(__stdcall* HyperVSimRevokeFunction)(void);
#define HYPERVSIM_REGISTER_NAME "HyperVSimRegisterClassObjects"
#define HYPERVSIM_REVOKE_NAME "HyperVSimRevokeClassObjects"

#ifdef __cplusplus
}
#endif

#endif
