// The order of the point sweeps shared by the flow and heat solvers: layers,
// rows and columns as RICHTG gives them, each row a chain in which the new
// value of a node is carried to the next one in a register.
#pragma once
#include <cstddef>
#include <cstdint>

#include "flow/line_solver.hpp"
#include "state/node_array.hpp"

namespace gruv {

//! The neighbours off its row that every node of a row has.
struct RowNeighbours {
    bool ym, yp, zm, zp;
};

//! One row (J,K) of a point sweep, ascending or descending in I. The node
//! functor is called as node.template update<XM, XP>(o, I, r, vxm, vxp) with
//! XM, XP whether the node has its X neighbours and vxm, vxp their current
//! values (one of them the value the previous call returned); it returns the
//! value the node leaves.
template <class Value, class Node>
[[gnu::always_inline]] inline void point_row(Node& node, const Value* v, int32_t NX, int32_t J, int32_t K,
                                             RowNeighbours r, bool ascending) {
    const std::ptrdiff_t o1 = NodeArray<Value>::offset(1, J, K);  // node (1,J,K)
    if (NX == 1) {
        node.template update<false, false>(o1, 1, r, Value{}, Value{});
    } else if (ascending) {
        Value h = node.template update<false, true>(o1, 1, r, Value{}, v[o1 + 1]);
        for (int32_t I = 2; I < NX; ++I) {
            const std::ptrdiff_t o = o1 + (I - 1);
            h = node.template update<true, true>(o, I, r, h, v[o + 1]);
        }
        node.template update<true, false>(o1 + (NX - 1), NX, r, h, Value{});
    } else {
        const std::ptrdiff_t oN = o1 + (NX - 1);
        Value h = node.template update<true, false>(oN, NX, r, v[oN - 1], Value{});
        for (int32_t I = NX - 1; I > 1; --I) {
            const std::ptrdiff_t o = o1 + (I - 1);
            h = node.template update<true, true>(o, I, r, v[o - 1], h);
        }
        node.template update<false, true>(o1, 1, r, Value{}, h);
    }
}

//! One point sweep number L in sweep order M (RICHTG: 1 alternating, 0
//! ascending): layers, then rows (by the layer, or by L in a one-layer grid),
//! then the columns of each row (by the row). node.start_row(J, K) comes
//! before the updates of a row (see point_row).
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
            node.start_row(J, K);
            point_row(node, v, NX, J, K, RowNeighbours{J > 1, J < NY, K > 1, K < NZ}, IS > 0);
        }
    }
}

}  // namespace gruv
