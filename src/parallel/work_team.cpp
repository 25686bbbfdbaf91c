// The team of threads shared by the solvers and set-ups (see work_team.hpp).
#include "parallel/work_team.hpp"

#include <sched.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace gruv {

WorkTeam::WorkTeam(int members) {
    members = std::clamp(members, 1, kMaxMembers);
    for (int m = 1; m < members; ++m) helpers_.emplace_back([this, m] { serve(m); });
}

WorkTeam::~WorkTeam() {
    stop_.store(true, std::memory_order_release);
    round_.fetch_add(1, std::memory_order_release);
    round_.notify_all();
    for (std::thread& t : helpers_) t.join();
}

int WorkTeam::default_members() {
    if (const char* env = std::getenv("GRUV_THREADS")) {
        const std::string_view v = env;
        if (v == "1") return 1;
        if (v == "2") return 2;
    }
    // The processors this process may run on: a run that a batch system
    // binds to one processor works alone.
    int processors = static_cast<int>(std::thread::hardware_concurrency());
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) processors = CPU_COUNT(&set);
    if (processors < 2) return 1;
    // Nor does a second thread help where the processors are busy already,
    // as when a study runs many decks side by side: the members would wait
    // for each other's turn on a processor.
    double load = 0.0;
    if (getloadavg(&load, 1) == 1 && load > static_cast<double>(processors) - 0.5) return 1;
    return 2;
}

WorkTeam& WorkTeam::shared() {
    static WorkTeam team(default_members());
    return team;
}

void WorkTeam::run_erased(void (*call)(void*, int), void* task) {
    call_ = call;
    task_ = task;
    busy_.store(static_cast<int>(helpers_.size()), std::memory_order_relaxed);
    round_.fetch_add(1, std::memory_order_release);
    round_.notify_all();
    call(task, 0);
    for (int b = busy_.load(std::memory_order_acquire); b != 0; b = busy_.load(std::memory_order_acquire))
        busy_.wait(b, std::memory_order_acquire);
}

void WorkTeam::serve(int member) {
    uint32_t seen = 0;
    for (;;) {
        round_.wait(seen, std::memory_order_acquire);
        seen = round_.load(std::memory_order_acquire);
        if (stop_.load(std::memory_order_acquire)) return;
        call_(task_, member);
        if (busy_.fetch_sub(1, std::memory_order_acq_rel) == 1) busy_.notify_all();
    }
}

int32_t wait_until_at_least(const std::atomic<int32_t>& counter, int32_t target) {
    int32_t seen;
    for (int spin = 0; (seen = counter.load(std::memory_order_acquire)) < target; ++spin) {
        if (spin < 256) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        } else {
            std::this_thread::yield();  // the other member may be waiting for a processor
        }
    }
    return seen;
}

}  // namespace gruv
