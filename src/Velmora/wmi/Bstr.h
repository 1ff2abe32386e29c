// Owner of one BSTR. A null BSTR is the empty string. Allocation failures raise HResultError at once, so
// no caller can forget to check.
#pragma once

#include <utility>

#include "HResultError.h"
#include "platform.h"

namespace Velmora {

class Bstr {
public:
    Bstr() = default;
    // A copy of `text` up to its first zero; a null `text` gives a null string.
    explicit Bstr(const wchar_t* text) : str_(text ? allocate(text) : nullptr) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : str_(std::exchange(other.str_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        std::swap(str_, other.str_);
        return *this;
    }
    ~Bstr() { SysFreeString(str_); }

    static Bstr adopt(BSTR str) {
        Bstr result;
        result.str_ = str;
        return result;
    }

    BSTR get() const { return str_; }
    BSTR* put() {
        SysFreeString(std::exchange(str_, nullptr));
        return &str_;
    }
    BSTR release() { return std::exchange(str_, nullptr); }
    UINT length() const { return SysStringLen(str_); }
    bool empty() const { return length() == 0; }

    // Appends `tail`; when the platform cannot join the two the text stays as it was (callers go on with
    // what they have, and whatever uses the text reports the problem).
    bool append(BSTR tail) {
        BSTR joined = nullptr;
        if (FAILED(VarBstrCat(str_, tail, &joined))) return false;
        SysFreeString(std::exchange(str_, joined));
        return true;
    }
    bool append(const Bstr& tail) { return append(tail.get()); }

private:
    static BSTR allocate(const wchar_t* text) {
        BSTR str = SysAllocString(text);
        if (!str) throw HResultError(E_OUTOFMEMORY);
        return str;
    }

    BSTR str_ = nullptr;
};

}  // namespace Velmora
