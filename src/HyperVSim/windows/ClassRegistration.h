// The host's WMI locator and object text source registered with the COM runtime for the life of this object,
// from a thread of its own in the multithreaded apartment (com/ApartmentThread.h).
#pragma once

#include "com/ApartmentThread.h"
#include "platform.h"

namespace HyperVSim {

class ClassRegistration {
public:
    // Returns once both classes are registered or one of them failed (see result()).
    ClassRegistration();
    ~ClassRegistration();
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;

    // S_OK, or the first failure of initialising COM or registering a class.
    HRESULT result() const { return result_; }

    // Takes the locator's registration back, and makes it again, while the text source stays: the COM
    // runtime of Wine keeps the first registration of a class and ignores later ones, so a recording locator
    // can take the place of this one only while it is withdrawn.
    HRESULT withdrawLocator();
    HRESULT restoreLocator();

private:
    ApartmentThread thread_;
    DWORD locator_ = 0;
    DWORD textSource_ = 0;
    HRESULT result_ = E_FAIL;
};

}  // namespace HyperVSim
