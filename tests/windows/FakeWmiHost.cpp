#include "FakeWmiHost.h"

#include <oleauto.h>

#include <cwchar>

namespace VelmoraWine {

std::wstring bstrArgument(const wchar_t* text) {
    if (!text) return L"<null>";
    const bool prefixed = SysStringLen(const_cast<BSTR>(text)) == std::wcslen(text);
    return prefixed ? std::wstring(text) : std::wstring(text) + L" (not a BSTR)";
}

void FakeWmiHost::note(std::wstring call) {
    const std::lock_guard lock(mutex_);
    journal_.push_back(std::move(call));
}

std::vector<std::wstring> FakeWmiHost::journal() const {
    const std::lock_guard lock(mutex_);
    return journal_;
}

FakeWmiObjectLifetime::FakeWmiObjectLifetime(std::shared_ptr<FakeWmiHost> host) : host_(std::move(host)) {
    host_->objectCreated();
}

FakeWmiObjectLifetime::~FakeWmiObjectLifetime() {
    host_->objectDestroyed();
}

ULONG FakeWmiObjectLifetime::addReference() {
    return ++references_;
}

ULONG FakeWmiObjectLifetime::releaseReference() {
    const ULONG remaining = --references_;
    if (remaining == 0) delete this;
    return remaining;
}

}  // namespace VelmoraWine
