// The host's WMI locator and object text source registered with the COM runtime for the life of this object.
// A registration made from the multithreaded apartment serves every thread in it and every thread without COM,
// and lasts only while the thread that made it stays in that apartment: so it is made from a thread of its
// own, which waits until the object is destroyed.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

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

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    bool stop_ = false;
    HRESULT result_ = E_FAIL;
    std::thread thread_;
};

}  // namespace HyperVSim
