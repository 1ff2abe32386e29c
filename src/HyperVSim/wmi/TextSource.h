// IWbemObjectTextSrc: objects as CIM-XML (format 1, WMI_OBJ_TEXT_CIM_DTD_2_0) and back.
#pragma once

#include "wmi/ComObject.h"

namespace HyperVSim {

class TextSource final : public ComObject<IWbemObjectTextSrc> {
public:
    HRESULT STDMETHODCALLTYPE GetText(LONG lFlags, IWbemClassObject* pObj, ULONG uObjTextFormat, IWbemContext* pCtx,
                                      BSTR* strText) override;
    HRESULT STDMETHODCALLTYPE CreateFromText(LONG lFlags, BSTR strText, ULONG uObjTextFormat, IWbemContext* pCtx,
                                             IWbemClassObject** pNewObj) override;
};

}  // namespace HyperVSim
