#include "trace/Recorder.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

#include "HyperVSim/Trace.h"
#include "com/ApartmentThread.h"
#include "trace/RecordingObjects.h"
#include "trace/TraceFile.h"

namespace HyperVSim {
namespace {

constexpr HRESULT classAlreadyRegistered = static_cast<HRESULT>(0x800401FC);  // CO_E_OBJISREG
constexpr HRESULT fileUnusable = static_cast<HRESULT>(0x8007006E);            // HRESULT of ERROR_OPEN_FAILED

// The class object registered in the locator's place. Each locator it makes wraps the one locator that was
// registered before it, which a CoCreateInstance could not reach any more.
class RecordingFactory final : public IClassFactory {
public:
    void use(Recording recording, ComRef<IWbemLocator> real) {
        std::lock_guard lock(mutex_);
        recording_ = std::move(recording);
        real_ = std::move(real);
    }
    void release() { use(nullptr, nullptr); }
    long made() const { return made_.load(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // Lives as long as the library.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter) return CLASS_E_NOAGGREGATION;
        Recording recording;
        ComRef<IWbemLocator> real;
        {
            std::lock_guard lock(mutex_);
            recording = recording_;
            real = real_;
        }
        if (!recording) return CLASS_E_CLASSNOTAVAILABLE;
        ++made_;
        auto locator = makeObject<RecordingLocator>(std::move(recording), std::move(real));
        return locator->QueryInterface(riid, ppvObject);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::mutex mutex_;
    Recording recording_;
    ComRef<IWbemLocator> real_;
    std::atomic<long> made_{0};
};

RecordingFactory factory;

struct ActiveRecording {
    Recording recording;
    LocatorHandover handover;
    bool withdrawn = false;
    DWORD cookie = 0;
    // Last: the apartment thread must outlive nothing above, and everything COM is released on it.
    std::unique_ptr<ApartmentThread> thread;
};

std::mutex recorderMutex;
std::unique_ptr<ActiveRecording> active;

template <class T>
HRESULT create(REFCLSID id, ComRef<T>& object) {
    return ::CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, interfaceId<T>(),
                              reinterpret_cast<void**>(object.put()));
}

// Registers the factory and checks that CoCreateInstance of the locator now reaches it.
RecorderResult registerFactory(ActiveRecording& recording) {
    DWORD cookie = 0;
    HRESULT hr =
        ::CoRegisterClassObject(CLSID_WbemLocator, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (FAILED(hr)) return {hr, "cannot register the recording locator: " + hresultText(hr)};
    recording.cookie = cookie;
    const long before = factory.made();
    ComRef<IWbemLocator> probe;
    hr = create(CLSID_WbemLocator, probe);
    // Other threads may create locators through it meanwhile; none come through it while it is shadowed.
    if (SUCCEEDED(hr) && factory.made() > before) return {};
    return {classAlreadyRegistered,
            "another registration of the WMI locator in this process comes before the recording locator"};
}

// Undoes what start did, in reverse order, on the apartment thread.
void dismantle(ActiveRecording& recording) {
    recording.thread->run([&recording] {
        if (recording.cookie) ::CoRevokeClassObject(recording.cookie);
        recording.cookie = 0;
        factory.release();
        if (recording.withdrawn && recording.handover.restore) recording.handover.restore();
        recording.withdrawn = false;
        return S_OK;
    });
}

}  // namespace

RecorderResult startRecording(const std::filesystem::path& path, LocatorHandover handover) {
    std::lock_guard lock(recorderMutex);
    if (active) return {S_FALSE, "already recording"};
    auto recording = std::make_unique<ActiveRecording>();
    recording->handover = std::move(handover);
    recording->thread = std::make_unique<ApartmentThread>();
    RecorderResult result;
    const HRESULT hr = recording->thread->run([&] {
        ComRef<IWbemLocator> real;
        HRESULT created = create(CLSID_WbemLocator, real);
        if (FAILED(created)) {
            result = {created, "cannot create the WMI locator to record: " + hresultText(created)};
            return created;
        }
        // Wine has no object text source; objects are then written by reading them.
        ComRef<IWbemObjectTextSrc> textSource;
        create(CLSID_WbemObjectTextSrc, textSource);
        try {
            recording->recording = std::make_shared<RecordingSession>(path, std::move(textSource));
        } catch (const TraceError& error) {
            result = {fileUnusable, error.what()};
            return fileUnusable;
        }
        factory.use(recording->recording, std::move(real));
        if (recording->handover.withdraw) {
            const HRESULT withdrawn = recording->handover.withdraw();
            if (FAILED(withdrawn)) {
                result = {withdrawn, "cannot withdraw the simulated host's locator: " + hresultText(withdrawn)};
                return withdrawn;
            }
            recording->withdrawn = true;
        }
        result = registerFactory(*recording);
        return result.result;
    });
    if (FAILED(hr)) {
        if (result.message.empty()) result = {hr, "cannot start a thread in the multithreaded apartment"};
        dismantle(*recording);
        if (recording->recording) recording->recording->close();
        return result;
    }
    active = std::move(recording);
    return {};
}

RecorderResult stopRecording() {
    std::lock_guard lock(recorderMutex);
    if (!active) return {S_FALSE, "not recording"};
    dismantle(*active);
    const bool complete = active->recording->close();
    active.reset();
    if (!complete) return {E_FAIL, "a call could not be written to the trace"};
    return {};
}

}  // namespace HyperVSim
