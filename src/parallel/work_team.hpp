// A team of threads that the solvers and set-ups share for work that splits
// into parts: the calling thread and the helpers of the team each run one
// part of a task at a time. The team is made once per process; helpers wait
// between tasks without using the processor.
#pragma once
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace gruv {

class WorkTeam {
public:
    //! Largest team: the machines the program runs on have two processors.
    static constexpr int kMaxMembers = 2;

    //! A team of the given members (1..kMaxMembers), the calling thread included.
    explicit WorkTeam(int members);
    ~WorkTeam();
    WorkTeam(const WorkTeam&) = delete;
    WorkTeam& operator=(const WorkTeam&) = delete;

    //! The team of the process, made on first use (default_members).
    static WorkTeam& shared();
    //! Two members where the process may use two processors or more and the
    //! load of the machine leaves one free, else one; the environment
    //! variable GRUV_THREADS (1 or 2) sets the number instead.
    static int default_members();

    //! Members of the team, the calling thread included.
    int members() const { return static_cast<int>(helpers_.size()) + 1; }
    //! Members a task whose members wait for each other (the bands of the
    //! ascending sweeps) is to use now: all, or the calling thread alone
    //! while work outside the team goes on (see OutsideWork). Three busy
    //! threads on two processors would leave one member without a processor
    //! for a while and the other waiting for it. Tasks of independent parts
    //! take members().
    int members_now() const { return outside_work_.load(std::memory_order_relaxed) > 0 ? 1 : members(); }

    //! Runs task(member) on members 0..members-1 (0 is the calling thread;
    //! members is 1 or members(), as members_now() gave it) and returns when
    //! all have finished. The task must not throw. Only the run's own thread
    //! gives the team tasks.
    template <class Task>
    void run(Task& task, int members) {
        if (members <= 1 || helpers_.empty()) {
            task(0);
            return;
        }
        run_erased([](void* t, int member) { (*static_cast<Task*>(t))(member); }, &task);
    }
    //! run on every member.
    template <class Task>
    void run(Task& task) {
        run(task, members());
    }

private:
    friend class OutsideWork;
    void run_erased(void (*call)(void*, int), void* task);
    void serve(int member);

    std::vector<std::thread> helpers_;
    std::atomic<uint32_t> round_{0};  //!< raised to start a task on the helpers
    std::atomic<int> busy_{0};        //!< helpers still at work on the current task
    std::atomic<bool> stop_{false};   //!< set when the team ends
    void (*call_)(void*, int) = nullptr;
    void* task_ = nullptr;
    static inline std::atomic<int> outside_work_{0};  //!< OutsideWork objects alive in the process
};

//! Marks, for as long as it lives, work of a thread outside the team that
//! wants a processor of its own (the writer of the result files): the
//! team's tasks started meanwhile run on the calling thread alone.
class OutsideWork {
public:
    OutsideWork() { WorkTeam::outside_work_.fetch_add(1, std::memory_order_relaxed); }
    ~OutsideWork() { WorkTeam::outside_work_.fetch_sub(1, std::memory_order_relaxed); }
    OutsideWork(const OutsideWork&) = delete;
    OutsideWork& operator=(const OutsideWork&) = delete;
};

//! Calls rows(first, last) for runs [first, last) of the row numbers
//! 0..NY*NZ-1 of a grid of NX x NY x NZ nodes (row r is J = r % NY + 1,
//! K = r / NY + 1), the runs together covering every row once, one run per
//! member of the team. A grid too small to repay a second member is done
//! in one run by the calling thread. The rows must be independent.
template <class Rows>
void for_row_runs(int32_t NX, int32_t NY, int32_t NZ, Rows&& rows) {
    const int32_t count = NY * NZ;
    WorkTeam& team = WorkTeam::shared();
    const int members = NX * count < 4096 ? 1 : team.members();
    auto task = [&](int member) {
        rows(static_cast<int32_t>(int64_t{count} * member / members),
             static_cast<int32_t>(int64_t{count} * (member + 1) / members));
    };
    team.run(task, members);
}

//! Calls row(J, K) once for every row of the grid (see for_row_runs).
template <class Row>
void for_each_row(int32_t NX, int32_t NY, int32_t NZ, Row&& row) {
    for_row_runs(NX, NY, NZ, [&](int32_t first, int32_t last) {
        for (int32_t r = first; r < last; ++r) row(r % NY + 1, r / NY + 1);
    });
}

//! Waits until the counter reaches at least target, which another member
//! raises in short steps: spinning briefly, then yielding the processor
//! between looks, so that a member without a processor of its own gets one.
//! Returns the value seen last, at least target.
int32_t wait_until_at_least(const std::atomic<int32_t>& counter, int32_t target);

}  // namespace gruv
