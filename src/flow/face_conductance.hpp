// The conductance of one face of a node, as KONKOF forms it for all six:
// flow area times interface conductivity over the node distance, 0 toward a
// neighbour outside the grid. Shared by the flow set-up and the heat
// re-assembly, which refreshes single faces.
#pragma once
#include <cstdint>

#include "state/model.hpp"

namespace gruv {

//! AKO(L) of node (I,J,K), faces L = 1..6 in the order -X, +X, -Y, +Y, -Z, +Z,
//! from the interface conductivities KFMX..KFMZ.
template <int L>
[[gnu::always_inline]] inline float face_conductance(const Model& m, int32_t I, int32_t J, int32_t K) {
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& p = m.phys;
    if constexpr (L == 1) return I > 1 ? p.KFMX(I - 1, J, K) * g.ZBRY(J) * g.ZBRZ(K) / g.KABX(I - 1) : 0.0f;
    if constexpr (L == 2) return I < d.NX ? p.KFMX(I, J, K) * g.ZBRY(J) * g.ZBRZ(K) / g.KABX(I) : 0.0f;
    if constexpr (L == 3) return J > 1 ? p.KFMY(I, J - 1, K) * g.ZBRX(I) * g.ZBRZ(K) / g.KABY(J - 1) : 0.0f;
    if constexpr (L == 4) return J < d.NY ? p.KFMY(I, J, K) * g.ZBRX(I) * g.ZBRZ(K) / g.KABY(J) : 0.0f;
    if constexpr (L == 5) return K > 1 ? p.KFMZ(I, J, K - 1) * g.ZBRX(I) * g.ZBRY(J) / g.KABZ(K - 1) : 0.0f;
    if constexpr (L == 6) return K < d.NZ ? p.KFMZ(I, J, K) * g.ZBRX(I) * g.ZBRY(J) / g.KABZ(K) : 0.0f;
}

//! face_conductance for a face number known only at run time.
inline float face_conductance(const Model& m, int32_t I, int32_t J, int32_t K, int32_t l) {
    switch (l) {
        case 1: return face_conductance<1>(m, I, J, K);
        case 2: return face_conductance<2>(m, I, J, K);
        case 3: return face_conductance<3>(m, I, J, K);
        case 4: return face_conductance<4>(m, I, J, K);
        case 5: return face_conductance<5>(m, I, J, K);
        default: return face_conductance<6>(m, I, J, K);
    }
}

}  // namespace gruv
