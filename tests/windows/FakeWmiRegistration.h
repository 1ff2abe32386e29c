// Makes the fake service answer CLSID_WbemLocator for the whole process while the registration lives.
//
// Registered from a thread of the multithreaded apartment, the class object serves every MTA thread and
// every thread that joins the MTA later (as each Velmora call does); Wine's own WMI answers again once
// the registration is revoked. Nothing outside the process changes.
#pragma once

#include <windows.h>

#include <memory>

#include "FakeWmiHost.h"

namespace VelmoraWine {

class FakeWmiRegistration {
public:
    // The calling thread must be in the multithreaded apartment.
    explicit FakeWmiRegistration(const std::shared_ptr<FakeWmiHost>& host);
    FakeWmiRegistration(const FakeWmiRegistration&) = delete;
    FakeWmiRegistration& operator=(const FakeWmiRegistration&) = delete;
    ~FakeWmiRegistration();

    HRESULT registration() const { return registration_; }
    // CoRevokeClassObject's answer; later calls do nothing and return S_OK.
    HRESULT revoke();

private:
    HRESULT registration_ = E_FAIL;
    DWORD cookie_ = 0;
    bool registered_ = false;
};

}  // namespace VelmoraWine
