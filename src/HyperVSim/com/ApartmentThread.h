// A thread of the host's own in the multithreaded apartment, for registrations of class objects with the COM
// runtime: a registration made from that apartment serves every thread in it and every thread without COM, and
// lasts only while the thread that made it stays there. Tasks given to run() execute on the thread; it leaves
// the apartment when the object is destroyed.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform.h"

namespace HyperVSim {

class ApartmentThread {
public:
    // Returns once the thread has joined the apartment (see started()).
    ApartmentThread();
    ~ApartmentThread();
    ApartmentThread(const ApartmentThread&) = delete;
    ApartmentThread& operator=(const ApartmentThread&) = delete;

    // What CoInitializeEx answered on the thread; nothing runs there when it failed.
    HRESULT started() const { return started_; }

    // Runs `task` on the thread and returns what it returned; the result of joining when that failed.
    HRESULT run(const std::function<HRESULT()>& task);

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    bool stop_ = false;
    HRESULT started_ = E_FAIL;
    struct Job {
        const std::function<HRESULT()>& task;
        HRESULT result = S_OK;
        bool done = false;
    };
    Job* job_ = nullptr;  // the task waiting for the thread, if any
    std::thread thread_;
};

}  // namespace HyperVSim
