// What the tests use to talk to the simulated host the way a client does: owners for the platform's
// resources and a few calls that read objects and properties.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <HyperVSim/Control.h>
#include <WinCompat/wbemidl.h>
#include <WinCompat/windows.h>

namespace HyperVSimTest {

constexpr HRESULT wbem(WBEMSTATUS code) {
    return static_cast<HRESULT>(static_cast<unsigned long>(code));
}

template <class T>
class Ref {
public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        reset();
        ptr_ = std::exchange(other.ptr_, nullptr);
        return *this;
    }
    ~Ref() { reset(); }
    void reset() {
        if (ptr_) ptr_->Release();
        ptr_ = nullptr;
    }
    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    T** out() {
        reset();
        return &ptr_;
    }
    explicit operator bool() const { return ptr_ != nullptr; }

private:
    T* ptr_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : value_(SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR get() const { return value_; }

private:
    BSTR value_;
};

class Var {
public:
    Var() { VariantInit(&value_); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(&value_); }
    VARIANT* get() { return &value_; }
    VARIANT* operator->() { return &value_; }
    static Var i4(LONG number) {
        Var v;
        v->vt = VT_I4;
        v->lVal = number;
        return v;
    }
    static Var i2(SHORT number) {
        Var v;
        v->vt = VT_I2;
        v->iVal = number;
        return v;
    }
    static Var text(const std::wstring& s) {
        Var v;
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(s.c_str());
        return v;
    }
    static Var boolean(bool flag) {
        Var v;
        v->vt = VT_BOOL;
        v->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static Var texts(const std::vector<std::wstring>& items) {
        Var v;
        v->vt = VT_ARRAY | VT_BSTR;
        v->parray = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(items.size()));
        for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
            BSTR item = SysAllocString(items[static_cast<std::size_t>(i)].c_str());
            SafeArrayPutElement(v->parray, &i, item);
            SysFreeString(item);
        }
        return v;
    }
    Var(Var&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }

private:
    VARIANT value_;
};

inline Ref<IWbemLocator> locator() {
    Ref<IWbemLocator> result;
    EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_ALL, IID_IWbemLocator,
                               reinterpret_cast<void**>(result.out())),
              S_OK);
    return result;
}

inline HRESULT connect(const std::wstring& resource, Ref<IWbemServices>& services) {
    auto wmi = locator();
    if (!wmi) return E_FAIL;
    Bstr name(resource);
    return wmi->ConnectServer(name.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.out());
}

inline HRESULT open(IWbemServices* parent, const std::wstring& name, Ref<IWbemServices>& child) {
    Bstr text(name);
    return parent->OpenNamespace(text.get(), 0, nullptr, child.out(), nullptr);
}

// The Hyper-V namespace, reached as the library reaches it.
inline Ref<IWbemServices> hyperV() {
    Ref<IWbemServices> root, child;
    EXPECT_EQ(connect(L"root", root), S_OK);
    if (root) {
        EXPECT_EQ(open(root.get(), L"virtualization\\v2", child), S_OK);
    }
    return child;
}

inline HRESULT execQuery(IWbemServices* services, const std::wstring& text, Ref<IEnumWbemClassObject>& result,
                         LONG flags = WBEM_FLAG_RETURN_IMMEDIATELY) {
    Bstr language(L"WQL"), query(text);
    return services->ExecQuery(language.get(), query.get(), flags, nullptr, result.out());
}

// Every object of a query, one Next at a time; fails the test on an error.
inline std::vector<Ref<IWbemClassObject>> queryAll(IWbemServices* services, const std::wstring& text) {
    std::vector<Ref<IWbemClassObject>> objects;
    Ref<IEnumWbemClassObject> enumerator;
    const HRESULT hr = execQuery(services, text, enumerator);
    EXPECT_EQ(hr, S_OK) << "query: " << std::string(text.begin(), text.end());
    if (hr != S_OK) return objects;
    for (;;) {
        Ref<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT next = enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.out(), &returned);
        if (returned == 0) {
            EXPECT_EQ(next, wbem(WBEM_S_FALSE));
            break;
        }
        EXPECT_EQ(next, S_OK);
        objects.push_back(std::move(object));
    }
    return objects;
}

inline HRESULT getObject(IWbemServices* services, const std::wstring& path, Ref<IWbemClassObject>& object) {
    Bstr text(path);
    return services->GetObject(text.get(), 0, nullptr, object.out(), nullptr);
}

// A string property, failing the test when it is not VT_BSTR.
inline std::wstring text(IWbemClassObject* object, const std::wstring& name) {
    Var value;
    EXPECT_EQ(object->Get(name.c_str(), 0, value.get(), nullptr, nullptr), S_OK) << "property ";
    EXPECT_EQ(value->vt, VT_BSTR);
    if (value->vt != VT_BSTR || !value->bstrVal) return {};
    return value->bstrVal;
}

inline LONG i4(IWbemClassObject* object, const std::wstring& name) {
    Var value;
    EXPECT_EQ(object->Get(name.c_str(), 0, value.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(value->vt, VT_I4);
    return value->vt == VT_I4 ? value->lVal : -1;
}

inline VARTYPE typeOf(IWbemClassObject* object, const std::wstring& name) {
    Var value;
    if (object->Get(name.c_str(), 0, value.get(), nullptr, nullptr) != S_OK) return static_cast<VARTYPE>(0xFFFF);
    return value->vt;
}

// Runs each test with COM on the thread, a freshly seeded host and the Hyper-V namespace at hand; at the
// end every COM object the host handed out must be gone.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(CoInitializeEx(nullptr, COINIT_MULTITHREADED), 0);
        HyperVSim::Control::reset();
        services = hyperV();
        ASSERT_TRUE(services);
    }
    void TearDown() override {
        services.reset();
        HyperVSim::Control::reset();
        EXPECT_EQ(HyperVSim::Control::liveObjects(), 0);
        CoUninitialize();
    }

    Ref<IWbemServices> services;
};

}  // namespace HyperVSimTest
