// Writes result files on a thread of their own, so that the run goes on
// computing while the NetCDF library loads and the field files go to disk.
#include "results/background_writer.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

#include "parallel/work_team.hpp"

namespace gruv {

BackgroundWriter::~BackgroundWriter() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    work_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void BackgroundWriter::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (failure_) return;  // the writing has ended with a failure
        jobs_.push_back(std::move(job));
        if (!thread_.joinable()) thread_ = std::thread([this] { serve(); });
    }
    work_.notify_one();
}

void BackgroundWriter::rethrow_failure() {
    std::lock_guard lock(mutex_);
    if (failure_) std::rethrow_exception(failure_);
}

void BackgroundWriter::wait() noexcept {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

void BackgroundWriter::finish() {
    wait();
    rethrow_failure();
}

void BackgroundWriter::serve() {
    // The writer takes what processor time the run's own threads leave: on
    // Linux the nice value is the thread's own. The run waits for it only
    // at its end and before it asks the user something, when it computes
    // nothing itself.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return !jobs_.empty() || ending_; });
        // Posted jobs run to the end even when the writer is ending: the
        // owner waits for them before it lets the writer go.
        if (jobs_.empty()) return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        std::exception_ptr failed;
        try {
            const OutsideWork busy;  // the run's tasks leave this thread a processor
            job();
        } catch (...) {
            failed = std::current_exception();
        }
        job = nullptr;  // what the job owned goes on this thread
        lock.lock();
        running_ = false;
        if (failed) {
            failure_ = failed;
            jobs_.clear();
        }
        if (jobs_.empty()) idle_.notify_all();
    }
}

}  // namespace gruv
