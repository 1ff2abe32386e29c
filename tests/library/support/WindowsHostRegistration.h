// The simulated host's class factories registered with the COM runtime for the life of this object, from a
// thread of its own that stays in the multithreaded apartment and keeps it alive.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace VelmoraTest {

class WindowsHostRegistration {
public:
    WindowsHostRegistration();
    ~WindowsHostRegistration();
    WindowsHostRegistration(const WindowsHostRegistration&) = delete;
    WindowsHostRegistration& operator=(const WindowsHostRegistration&) = delete;

    bool ok() const { return ok_; }

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    bool ok_ = false;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace VelmoraTest
