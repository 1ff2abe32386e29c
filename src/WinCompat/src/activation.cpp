// Object creation: the classes registered with CoRegisterClassObject, then the built-in classes served by
// the simulated host (libHyperVSim.so beside this library, asked through its DllGetClassObject).
#include <dlfcn.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "WinCompat/wbemcli.h"
#include "internal.h"

namespace {

struct Registration {
    DWORD cookie = 0;
    CLSID clsid{};
    IUnknown* factory = nullptr;  // one reference held while registered
    DWORD context = 0;
    DWORD flags = 0;
    int apartment = COINIT_MULTITHREADED;
    std::thread::id thread;  // the registering thread; an STA registration serves that thread only
    bool used = false;       // REGCLS_SINGLEUSE: served one activation already
};

struct ClassTable {
    std::mutex mutex;
    std::vector<Registration> registrations;
    DWORD nextCookie = 1;
};
ClassTable& classTable() {
    static ClassTable table;
    return table;
}

// A registered class object that serves the calling thread, with a reference for the caller; or null.
IUnknown* registeredFactory(REFCLSID rclsid, DWORD context) {
    const int apartment = WinCompat::detail::threadApartment();
    const std::thread::id self = std::this_thread::get_id();
    ClassTable& table = classTable();
    std::lock_guard lock(table.mutex);
    for (auto it = table.registrations.rbegin(); it != table.registrations.rend(); ++it) {
        if (!IsEqualGUID(it->clsid, rclsid) || (it->context & context) == 0 || it->used) continue;
        if (it->apartment == COINIT_APARTMENTTHREADED ? it->thread != self : apartment != COINIT_MULTITHREADED)
            continue;
        if (it->flags == REGCLS_SINGLEUSE) it->used = true;
        it->factory->AddRef();
        return it->factory;
    }
    return nullptr;
}

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

int anchor;  // an address inside this library, to find its directory

// DllGetClassObject of the simulated host, loaded once and kept loaded; null when it is not there.
GetClassObjectFunction hostClassObjectEntry() {
    static std::once_flag once;
    static GetClassObjectFunction entry = nullptr;
    std::call_once(once, [] {
        Dl_info info{};
        if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return;
        std::string path = info.dli_fname;
        const std::size_t slash = path.find_last_of('/');
        path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "libHyperVSim.so";
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return;
        void* symbol = dlsym(handle, "DllGetClassObject");
        if (symbol == nullptr) return;
        entry = reinterpret_cast<GetClassObjectFunction>(symbol);
    });
    return entry;
}

bool isBuiltInClass(REFCLSID rclsid) {
    return IsEqualGUID(rclsid, CLSID_WbemLocator) || IsEqualGUID(rclsid, CLSID_WbemObjectTextSrc);
}

}  // namespace

WINCOMPAT_API HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD flags,
                                            LPDWORD lpdwRegister) {
    if (pUnk == nullptr || lpdwRegister == nullptr) return E_INVALIDARG;
    *lpdwRegister = 0;
    if (flags > REGCLS_MULTI_SEPARATE) return E_INVALIDARG;
    const int apartment = WinCompat::detail::threadApartment();
    if (apartment < 0) return CO_E_NOTINITIALIZED;
    pUnk->AddRef();
    ClassTable& table = classTable();
    std::lock_guard lock(table.mutex);
    Registration entry;
    entry.cookie = table.nextCookie++;
    entry.clsid = rclsid;
    entry.factory = pUnk;
    entry.context = dwClsContext;
    entry.flags = flags;
    entry.apartment = apartment;
    entry.thread = std::this_thread::get_id();
    table.registrations.push_back(entry);
    WinCompat::detail::objectCreated();
    *lpdwRegister = entry.cookie;
    return S_OK;
}

WINCOMPAT_API HRESULT CoRevokeClassObject(DWORD dwRegister) {
    IUnknown* factory = nullptr;
    {
        ClassTable& table = classTable();
        std::lock_guard lock(table.mutex);
        for (auto it = table.registrations.begin(); it != table.registrations.end(); ++it) {
            if (it->cookie != dwRegister) continue;
            factory = it->factory;
            table.registrations.erase(it);
            break;
        }
    }
    if (factory == nullptr) return CO_E_OBJNOTREG;
    WinCompat::detail::objectDestroyed();
    factory->Release();  // outside the lock: the factory may call back into COM
    return S_OK;
}

WINCOMPAT_API HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                       LPVOID* ppv) {
    HRESULT fault = S_OK;
    if (WinCompat::detail::faultFires("CoCreateInstance", fault)) return fault;
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (WinCompat::detail::threadInitDepth() == 0) return CO_E_NOTINITIALIZED;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;

    IUnknown* object = registeredFactory(rclsid, dwClsContext);
    if (object == nullptr) {
        if (!isBuiltInClass(rclsid) || (dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
        GetClassObjectFunction entry = hostClassObjectEntry();
        if (entry == nullptr) return REGDB_E_CLASSNOTREG;
        const HRESULT hr = entry(rclsid, IID_IClassFactory, reinterpret_cast<void**>(&object));
        if (FAILED(hr)) return hr;
        if (object == nullptr) return REGDB_E_CLASSNOTREG;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
    object->Release();
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}
