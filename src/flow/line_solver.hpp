// Kernels shared by the flow and heat solvers: the sweep order, the
// tridiagonal solve of one grid line, the error of a sweep and the loop of
// sweeps of one solve.
#pragma once
#include <array>
#include <cstdint>
#include <cstdlib>

#include "records/records.hpp"
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

//! Largest change of a sweep that keeps a NaN: once a change is not a number
//! the error is not a number, so a diverging solve cannot pass for converged.
template <class T>
inline void raise_error(T& F, T change) {
    if (change > F || change != change) F = change;
}

//! The console progress line after a sweep; a single-precision error prints
//! the same digits widened to double.
inline void write_sweep_progress(Model& m, double error) {
    static const FormatProgram& f = fixed_format("('+',' Iteration Nummer ==> ',I3,' === Iterationsfehler = ',F11.6)");
    write(m.io.console(), f, m.inf2.NIT, error);
}

//! The sweeps of one solve: sweep(L) for L = 1, 2, ... (after_sweep() after
//! each) until ITMAX sweeps are done or a sweep's error (of type Error) is
//! not above limit; a NaN error ends the solve too. The last error is left
//! in FEHLER and returned.
template <class Error, class Sweep, class AfterSweep>
Error run_sweeps(Model& m, float limit, Sweep&& sweep, AfterSweep&& after_sweep) {
    m.inf1.KONTRL = 1;
    m.inf2.NIT = 0;
    int32_t L = 0;
    if (m.inf2.IBILD >= 1) m.io.console().put_record("");
    Error E;
    do {
        ++m.inf2.NIT;
        ++L;
        E = sweep(L);
        after_sweep();
        if (m.inf2.IBILD >= 1) write_sweep_progress(m, static_cast<double>(E));
    } while (m.inf2.NIT < m.inf1.ITMAX && E > static_cast<Error>(limit));
    m.par1.FEHLER = static_cast<float>(E);
    return E;
}

}  // namespace gruv
