// IWbemClassObject over a model object that it treats as its own copy: nothing it does reaches the repository.
#pragma once

#include <cstddef>

#include "wmi/ComObject.h"
#include "wmi/ObjectState.h"

namespace HyperVSim {

class ClassObject final : public ComObject<IWbemClassObject> {
public:
    explicit ClassObject(ObjectState state) : state_(std::move(state)) {}

    const ObjectState& state() const { return state_; }
    // The host's own object behind an interface pointer, or nullptr for a foreign object.
    static const ClassObject* of(IWbemClassObject* object);

    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** ppQualSet) override;
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR wszName, LONG lFlags, VARIANT* pVal, CIMTYPE* pType,
                                  LONG* plFlavor) override;
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR wszName, LONG lFlags, VARIANT* pVal, CIMTYPE Type) override;
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR wszName) override;
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR wszQualifierName, LONG lFlags, VARIANT* pQualifierVal,
                                       SAFEARRAY** pNames) override;
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG lEnumFlags) override;
    HRESULT STDMETHODCALLTYPE Next(LONG lFlags, BSTR* strName, VARIANT* pVal, CIMTYPE* pType,
                                   LONG* plFlavor) override;
    HRESULT STDMETHODCALLTYPE EndEnumeration() override;
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR wszProperty, IWbemQualifierSet** ppQualSet) override;
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** ppCopy) override;
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG lFlags, BSTR* pstrObjectText) override;
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG lFlags, IWbemClassObject** ppNewClass) override;
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG lFlags, IWbemClassObject** ppNewInstance) override;
    HRESULT STDMETHODCALLTYPE CompareTo(LONG lFlags, IWbemClassObject* pCompareTo) override;
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR wszName, BSTR* pstrClassName) override;
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR strAncestor) override;
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR wszName, LONG lFlags, IWbemClassObject** ppInSignature,
                                        IWbemClassObject** ppOutSignature) override;
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR wszName, LONG lFlags, IWbemClassObject* pInSignature,
                                        IWbemClassObject* pOutSignature) override;
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR wszName) override;
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG lEnumFlags) override;
    HRESULT STDMETHODCALLTYPE NextMethod(LONG lFlags, BSTR* pstrName, IWbemClassObject** ppInSignature,
                                         IWbemClassObject** ppOutSignature) override;
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override;
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR wszMethod, IWbemQualifierSet** ppQualSet) override;
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR wszMethodName, BSTR* pstrClassName) override;

private:
    // Fills the outputs of Get for one property (system or not); WBEM_E_NOT_FOUND when there is none.
    HRESULT deliver(std::wstring_view name, const Value* substitute, VARIANT* pVal, CIMTYPE* pType,
                    LONG* plFlavor) const;
    HRESULT signatures(const MethodDef& method, IWbemClassObject** ppIn, IWbemClassObject** ppOut) const;

    ObjectState state_;
    std::size_t nextProperty_ = 0;
    bool enumerating_ = false;
    std::size_t nextMethod_ = 0;
    bool enumeratingMethods_ = false;
};

}  // namespace HyperVSim
