// The order of the point sweeps shared by the flow and heat solvers: layers,
// rows and columns as RICHTG gives them, each row a chain in which the new
// value of a node is carried to the next one in a register; and the
// ascending sweeps in staggered bands of rows on the work team.
#pragma once
#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "flow/line_solver.hpp"
#include "parallel/work_team.hpp"
#include "state/node_array.hpp"

namespace gruv {

//! The neighbours off its row that every node of a row has.
struct RowNeighbours {
    bool ym, yp, zm, zp;
};

//! One row (J,K) of a point sweep, ascending or descending in I. The node
//! functor is called as node.template update<XM, XP>(o, I, J, K, r, vxm, vxp)
//! with XM, XP whether the node has its X neighbours and vxm, vxp their
//! current values (one of them the value the previous call returned); it
//! returns the value the node leaves.
template <class Value, class Node>
[[gnu::always_inline]] inline void point_row(Node& node, const Value* v, int32_t NX, int32_t J, int32_t K,
                                             RowNeighbours r, bool ascending) {
    const std::ptrdiff_t o1 = NodeArray<Value>::offset(1, J, K);  // node (1,J,K)
    if (NX == 1) {
        node.template update<false, false>(o1, 1, J, K, r, Value{}, Value{});
    } else if (ascending) {
        Value h = node.template update<false, true>(o1, 1, J, K, r, Value{}, v[o1 + 1]);
        for (int32_t I = 2; I < NX; ++I) {
            const std::ptrdiff_t o = o1 + (I - 1);
            h = node.template update<true, true>(o, I, J, K, r, h, v[o + 1]);
        }
        node.template update<true, false>(o1 + (NX - 1), NX, J, K, r, h, Value{});
    } else {
        const std::ptrdiff_t oN = o1 + (NX - 1);
        Value h = node.template update<true, false>(oN, NX, J, K, r, v[oN - 1], Value{});
        for (int32_t I = NX - 1; I > 1; --I) {
            const std::ptrdiff_t o = o1 + (I - 1);
            h = node.template update<true, true>(o, I, J, K, r, v[o - 1], h);
        }
        node.template update<false, true>(o1, 1, J, K, r, Value{}, h);
    }
}

//! One point sweep number L in sweep order M (RICHTG: 1 alternating, 0
//! ascending): layers, then rows (by the layer, or by L in a one-layer grid),
//! then the columns of each row (by the row); see point_row.
template <class Value, class Node>
void point_sweep_rows(Node& node, const Value* v, int32_t NX, int32_t NY, int32_t NZ, int32_t L, int32_t M) {
    int32_t KA, KE, KS;
    RICHTG(L, KA, KE, KS, NZ, M);
    for (int32_t nk = (KE - KA + KS) / KS, K = KA; nk > 0; --nk, K += KS) {
        int32_t JA, JE, JS;
        RICHTG(NZ == 1 ? L : K, JA, JE, JS, NY, M);
        for (int32_t nj = (JE - JA + JS) / JS, J = JA; nj > 0; --nj, J += JS) {
            int32_t IA, IE, IS;
            RICHTG(J, IA, IE, IS, NX, M);
            point_row(node, v, NX, J, K, RowNeighbours{J > 1, J < NY, K > 1, K < NZ}, IS > 0);
        }
    }
}

// ------------------------------------------------------- ascending sweeps
//
// In an ascending sweep a node reads the new values of the node before it
// in its row, of the node in the row before and of the node in the layer
// before, and the old values of the other three. The rows of a layer go in
// bands of kBandRows rows; inside a band, row q runs q columns behind the
// first, so that each node finds its row-before neighbour already new and
// its row-after neighbour still old, and the rows of a band, independent at
// every step, overlap in the processor. The bands, layer by layer, are
// dealt to the members of the work team in turn; a band waits before each
// step until the band before it in the layer has finished the column its
// first row needs, and the same band of the layer before has finished the
// same step. Every node thus reads exactly the values the ascending order
// gives it, whatever the timing.
//
// The sweep writes the new values into a second array and reads the new
// ones from there, the old ones from the model's array; the two arrays then
// change places. What else a node update may do is left out: the update is
// speculative and only notes whether it would have done more (a head moving
// through the top of its cell, a temperature in the freezing range); then
// the model's values are still those before the sweep, which is repeated in
// plain order.

constexpr int32_t kBandRows = 4;

//! What the ascending sweeps of a solve on the team keep between sweeps.
template <class Value>
struct AscendingSweeps {
    NodeArray<Value> next;                   //!< the new values of a sweep; outside the grid as the model's
    bool primed = false;                     //!< next holds the model's values outside the grid
    std::vector<std::atomic<int32_t>> done;  //!< steps each band has finished
    bool speculate = true;                   //!< false once a sweep of the solve needed the plain order
};

//! The run's AscendingSweeps, ready for a new solve. Its arrays are kept
//! from solve to solve (they are as large as the grid), so that a time step
//! does not ask the system for that memory again. One per process, as the
//! work team is: the first use of a thread-local object would wait for a
//! library the result files load meanwhile.
template <class Value>
AscendingSweeps<Value>& reused_ascending_sweeps() {
    static AscendingSweeps<Value> a;
    a.primed = false;
    a.speculate = true;
    return a;
}

//! Bands of rows of each layer.
inline int32_t bands_per_layer(int32_t NY) { return (NY + kBandRows - 1) / kBandRows; }

//! Waits until the band's step counter reaches target; seen is the value
//! this member saw last of it, so that the counter, which the other member
//! raises at every step, is read only when that value is not enough.
[[gnu::always_inline]] inline void await_step(const std::atomic<int32_t>& done, int32_t target, int32_t& seen) {
    if (seen < target) seen = wait_until_at_least(done, target);
}

//! The Rows rows of band u (layer u / nb + 1, rows from (u % nb) * kBandRows
//! + 1) with the node functor, reading the old values from v; the functor
//! writes the new ones to the second array and reads those of the rows
//! before from there. The functor comes and goes by value, so that its
//! members stay in registers.
template <int32_t Rows, class Value, class Node>
Node ascending_band(Node node, const Value* v, int32_t NX, int32_t NY, int32_t NZ, int32_t u,
                    std::vector<std::atomic<int32_t>>& done) {
    const int32_t nb = bands_per_layer(NY);
    const int32_t K = u / nb + 1, b = u % nb, J0 = b * kBandRows + 1;
    RowNeighbours r[Rows];
    std::ptrdiff_t o1[Rows];  // node (1, J0 + q, K)
    for (int32_t q = 0; q < Rows; ++q) {
        r[q] = RowNeighbours{J0 + q > 1, J0 + q < NY, K > 1, K < NZ};
        o1[q] = NodeArray<Value>::offset(1, J0 + q, K);
    }
    // The new value of each row's last node stays in a register for the
    // row's next node, as in point_row: the chain of each row does not pass
    // through memory. It is the value the update wrote to the second array.
    Value last[Rows] = {};
    auto one = [&](int32_t q, int32_t I) __attribute__((always_inline)) {
        const std::ptrdiff_t o = o1[q] + (I - 1);
        const int32_t J = J0 + q;
        if (NX == 1) {
            last[q] = node.template update<false, false>(o, I, J, K, r[q], Value{}, Value{});
        } else if (I == 1) {
            last[q] = node.template update<false, true>(o, I, J, K, r[q], Value{}, v[o + 1]);
        } else if (I == NX) {
            last[q] = node.template update<true, false>(o, I, J, K, r[q], last[q], Value{});
        } else {
            last[q] = node.template update<true, true>(o, I, J, K, r[q], last[q], v[o + 1]);
        }
    };
    auto& mine = done[static_cast<std::size_t>(u)];
    int32_t seen_before = 0, seen_below = 0;  // steps seen done by the band before and the band below
    for (int32_t s = 1; s <= NX + Rows - 1; ++s) {
        // The band before is full: its last row reaches column c at step
        // c + kBandRows - 1.
        if (b > 0) await_step(done[static_cast<std::size_t>(u - 1)], std::min(s, NX) + kBandRows - 1, seen_before);
        if (u >= nb) await_step(done[static_cast<std::size_t>(u - nb)], s, seen_below);
        if (s > Rows && s < NX) {  // every row inside the grid's X range
#pragma GCC unroll 8
            for (int32_t q = 0; q < Rows; ++q) {
                const int32_t I = s - q;
                const std::ptrdiff_t o = o1[q] + (I - 1);
                last[q] = node.template update<true, true>(o, I, J0 + q, K, r[q], last[q], v[o + 1]);
            }
        } else {
            for (int32_t q = 0; q < Rows; ++q)
                if (s - q >= 1 && s - q <= NX) one(q, s - q);
        }
        mine.store(s, std::memory_order_release);
    }
    return node;
}

//! ascending_band with Rows = rows (1..kBandRows).
template <int32_t Rows = kBandRows, class Value, class Node>
Node band_of_rows(int32_t rows, Node node, const Value* v, int32_t NX, int32_t NY, int32_t NZ,
                  int32_t u, std::vector<std::atomic<int32_t>>& done) {
    if constexpr (Rows > 1) {
        if (rows < Rows) return band_of_rows<Rows - 1>(rows, std::move(node), v, NX, NY, NZ, u, done);
    }
    return ascending_band<Rows>(std::move(node), v, NX, NY, NZ, u, done);
}

//! One ascending sweep of the model's values on the work team (see above).
//! make_node(v, w) gives a member its node functor, reading old values from
//! v and new ones from w and writing to w; the functor notes in a member
//! `more` whether an update would have done more. finish(node) takes in each
//! member's functor after the sweep. Returns false, with the values as before
//! the sweep, when a node would have done more: the caller then sweeps in
//! plain order, as for the rest of the solve.
template <class Value, class MakeNode, class Finish>
bool ascending_sweep_on_team(AscendingSweeps<Value>& a, NodeArray<Value>& values, int32_t NX, int32_t NY, int32_t NZ,
                             MakeNode&& make_node, Finish&& finish) {
    // On one processor too the bands are faster than the rows in plain
    // order: the rows of a band are independent chains that overlap.
    if (!a.speculate) return false;
    if (!a.primed) {
        std::copy(values.data(), values.data() + std::size_t{IX} * IY * IZ, a.next.data());
        a.primed = true;
    }
    const int32_t units = NZ * bands_per_layer(NY);
    if (a.done.size() < static_cast<std::size_t>(units))
        a.done = std::vector<std::atomic<int32_t>>(static_cast<std::size_t>(units));
    for (int32_t u = 0; u < units; ++u) a.done[static_cast<std::size_t>(u)].store(0, std::memory_order_relaxed);
    WorkTeam& team = WorkTeam::shared();
    const int members = team.members_now();
    const Value* v = values.data();
    Value* w = a.next.data();
    using Node = decltype(make_node(v, w));
    std::array<std::optional<Node>, WorkTeam::kMaxMembers> nodes;
    auto task = [&](int member) {
        std::optional<Node>& node = nodes[static_cast<std::size_t>(member)];
        node.emplace(make_node(v, w));
        const int32_t nb = bands_per_layer(NY);
        for (int32_t u = member; u < units; u += members) {
            const int32_t rows = std::min(kBandRows, NY - (u % nb) * kBandRows);
            node.emplace(band_of_rows(rows, *node, v, NX, NY, NZ, u, a.done));
        }
    };
    team.run(task, members);
    bool more = false;
    for (int n = 0; n < members; ++n) more = more || nodes[static_cast<std::size_t>(n)]->more;
    if (more) {
        a.speculate = false;
        return false;
    }
    values.swap(a.next);
    for (int n = 0; n < members; ++n) finish(*nodes[static_cast<std::size_t>(n)]);
    return true;
}

}  // namespace gruv
