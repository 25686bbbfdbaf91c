// Writes result files on a thread of their own, so that the run goes on
// computing while the NetCDF library loads and the field files go to disk.
#pragma once
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace gruv {

//! Jobs run one after another, in the order they were posted, on one thread
//! started with the first job. The first job that throws ends the writing:
//! the jobs after it are dropped, and its exception comes back to the run
//! through rethrow_failure() or finish().
class BackgroundWriter {
public:
    BackgroundWriter() = default;
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    //! Queues a job; it must own what it writes.
    void post(std::function<void()> job);
    //! Rethrows the exception of a failed job, if one has failed by now;
    //! does not wait.
    void rethrow_failure();
    //! Waits until every job posted so far has run, then rethrows the
    //! exception of a failed job.
    void finish();
    //! Waits as finish() does, without reporting a failure.
    void wait() noexcept;

private:
    void serve();

    std::mutex mutex_;
    std::condition_variable work_;  //!< a job was posted, or the writer ends
    std::condition_variable idle_;  //!< the queue has run empty
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;  //!< a job is being run
    bool ending_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace gruv
