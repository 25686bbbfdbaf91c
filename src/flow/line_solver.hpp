// Kernels shared by the flow and heat solvers: the sweep order and the
// tridiagonal solve of one grid line.
#pragma once
#include <array>
#include <cstdint>
#include <cstdlib>

#include "state/model.hpp"

namespace gruv {

//! RICHTG: start A, end E and step S of a loop over 1..N for sweep number L;
//! M = 1 alternates the direction with L (odd ascending, even descending),
//! M = 0 always ascends.
inline void RICHTG(int32_t L, int32_t& A, int32_t& E, int32_t& S, int32_t N, int32_t M) {
    const int32_t d = std::abs(M - 1);
    const int32_t p = (L + 1) % 2;
    const int32_t q = (N - 1) * p;
    A = (q + 1) * M + d;
    E = (N - q) * M + d * N;
    S = M * (L % 2 - p) + d;
}

//! THOMAS: solves TDA(i)*x(i-1) + TDB(i)*x(i) + TDC(i)*x(i+1) = TDR(i),
//! i = 1..N, into TDX. A zero pivot leaves that node at its current value.
inline void THOMAS(IADI& t, int32_t N) {
    std::array<double, MAXLIN + 1> P;  // elimination factors, P(0) = Q(0) = 0
    std::array<double, MAXLIN + 1> Q;
    P[0] = 0.0;
    Q[0] = 0.0;
    for (int32_t i = 1; i <= N; ++i) {
        const double den = t.TDB(i) - t.TDA(i) * P[static_cast<std::size_t>(i - 1)];
        if (den == 0.0) {
            P[static_cast<std::size_t>(i)] = 0.0;
            Q[static_cast<std::size_t>(i)] = t.TDX(i);
        } else {
            P[static_cast<std::size_t>(i)] = t.TDC(i) / den;
            Q[static_cast<std::size_t>(i)] = (t.TDR(i) - t.TDA(i) * Q[static_cast<std::size_t>(i - 1)]) / den;
        }
    }
    t.TDX(N) = Q[static_cast<std::size_t>(N)];
    for (int32_t i = N - 1; i >= 1; --i)
        t.TDX(i) = Q[static_cast<std::size_t>(i)] - P[static_cast<std::size_t>(i)] * t.TDX(i + 1);
}

}  // namespace gruv
