#include "com/ApartmentThread.h"

namespace HyperVSim {

ApartmentThread::ApartmentThread() : thread_([this] { loop(); }) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
}

ApartmentThread::~ApartmentThread() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

HRESULT ApartmentThread::run(const std::function<HRESULT()>& task) {
    std::unique_lock lock(mutex_);
    if (FAILED(started_)) return started_;
    // One task at a time: a second caller waits until the thread has taken the first.
    changed_.wait(lock, [this] { return job_ == nullptr; });
    Job job{task};
    job_ = &job;
    changed_.notify_all();
    changed_.wait(lock, [&job] { return job.done; });
    return job.result;
}

void ApartmentThread::loop() {
    const HRESULT started = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock lock(mutex_);
    started_ = started;
    ready_ = true;
    changed_.notify_all();
    while (SUCCEEDED(started)) {
        changed_.wait(lock, [this] { return stop_ || job_ != nullptr; });
        if (!job_) break;
        Job& job = *job_;
        job_ = nullptr;
        lock.unlock();
        const HRESULT result = job.task();
        lock.lock();
        job.result = result;
        job.done = true;
        changed_.notify_all();
    }
    lock.unlock();
    if (SUCCEEDED(started)) ::CoUninitialize();
}

}  // namespace HyperVSim
