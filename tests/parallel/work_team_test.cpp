// The work team: every member runs its part of a task, again and again; a
// member waits for another's counter; the rows of a grid are each done once.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "parallel/work_team.hpp"

namespace gruv {
namespace {

TEST(WorkTeam, EveryMemberRunsEveryTaskAndWaitsForTheOther) {
    for (int members : {1, 2}) {
        WorkTeam team(members);
        ASSERT_EQ(team.members(), members);
        // Member 1 can only go on when member 0 has counted past it: a
        // handshake in ten rounds, run many times over.
        for (int task = 0; task < 200; ++task) {
            std::atomic<int32_t> counter[2] = {0, 0};
            std::vector<int> order;
            auto work = [&](int member) {
                for (int32_t round = 1; round <= 10; ++round) {
                    if (member == 1) wait_until_at_least(counter[0], round);
                    counter[member].store(round, std::memory_order_release);
                }
            };
            team.run(work);
            EXPECT_EQ(counter[0].load(), 10);
            EXPECT_EQ(counter[1].load(), members == 2 ? 10 : 0);
        }
    }
}

TEST(WorkTeam, WorkOutsideTheTeamLeavesTasksToTheCallingThread) {
    WorkTeam team(2);
    const std::thread::id caller = std::this_thread::get_id();
    for (int round = 0; round < 3; ++round) {
        std::optional<OutsideWork> outside;
        if (round == 1) outside.emplace();
        const int members = team.members_now();
        EXPECT_EQ(members, round == 1 ? 1 : 2);
        std::array<std::thread::id, 2> ran{};
        auto work = [&](int member) { ran[static_cast<std::size_t>(member)] = std::this_thread::get_id(); };
        team.run(work, members);
        EXPECT_EQ(ran[0], caller);
        EXPECT_EQ(ran[1] != std::thread::id{} && ran[1] != caller, members == 2);
    }
}

TEST(WorkTeam, EveryRowOfAGridOnce) {
    // Grids below and above the size worth a second member.
    for (const auto& size : {std::array<int32_t, 3>{5, 4, 3}, std::array<int32_t, 3>{100, 100, 10},
                             std::array<int32_t, 3>{100, 7, 1}, std::array<int32_t, 3>{60, 1, 1}}) {
        const int32_t nx = size[0], ny = size[1], nz = size[2];
        std::vector<std::atomic<int>> done(static_cast<std::size_t>(ny * nz));
        for_each_row(nx, ny, nz, [&](int32_t J, int32_t K) {
            ASSERT_TRUE(J >= 1 && J <= ny && K >= 1 && K <= nz);
            done[static_cast<std::size_t>((J - 1) + ny * (K - 1))].fetch_add(1);
        });
        for (const auto& d : done) EXPECT_EQ(d.load(), 1) << nx << "x" << ny << "x" << nz;
    }
}

}  // namespace
}  // namespace gruv
