// Kernels shared by the flow and heat solvers: the sweep order, the
// tridiagonal solve of one grid line, the error of a sweep and the loop of
// sweeps of one solve.
#pragma once
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

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

//! The node equations as the sweeps see them: plain pointers into the
//! coefficient arrays, bound once per sweep.
struct NodeEquations {
    const float* KOXM;
    const float* KOXP;
    const float* KOYM;
    const float* KOYP;
    const float* KOZM;
    const float* KOZP;
    const float* KDIA;
    const float* RSEI;

    explicit NodeEquations(const KOEF& c)
        : KOXM(c.KOXM.data()),
          KOXP(c.KOXP.data()),
          KOYM(c.KOYM.data()),
          KOYP(c.KOYP.data()),
          KOZM(c.KOZM.data()),
          KOZP(c.KOZP.data()),
          KDIA(c.KDIA.data()),
          RSEI(c.RSEI.data()) {}
};

//! True when every value of the array over the active grid is finite.
template <class T>
bool all_finite(const NodeArray<T>& a, const NDIM& d) {
    for (int32_t K = 1; K <= d.NZ; ++K)
        for (int32_t J = 1; J <= d.NY; ++J) {
            const T* row = a.row(J, K);
            for (int32_t I = 0; I < d.NX; ++I)
                if (!std::isfinite(row[I])) return false;
        }
    return true;
}

//! One equation a*x(i-1) + b*x(i) + c*x(i+1) = r of a tridiagonal system, and
//! x0, the current value x(i) keeps when its pivot is zero.
struct TridiagonalRow {
    double a, b, c, r, x0;
};

//! The tridiagonal solve of THOMAS on equations handed over one at a time:
//! row(i) gives equation i = 1..N as the elimination reaches it, so that a
//! solver can form each equation just before it is eliminated, and
//! store(i, x) receives the solution, i = N..1. The operations and their
//! order are those of THOMAS. The pivots are formed anew at every solve:
//! their chain runs beside the one of the right-hand side at no cost in
//! time, where pivots kept from an earlier solve of the line would have to
//! come back from memory.
template <class Row, class Store>
[[gnu::always_inline]] inline void solve_tridiagonal(int32_t N, Row&& row, Store&& store) {
    std::array<double, MAXLIN> P, Q;
    double p = 0.0, q = 0.0;  // P(0) = Q(0) = 0
    for (int32_t i = 0; i < N; ++i) {
        const TridiagonalRow e = row(i + 1);
        const double d = e.b - e.a * p;
        p = d == 0.0 ? 0.0 : e.c / d;
        // A zero pivot leaves the node at its current value.
        q = d == 0.0 ? e.x0 : (e.r - e.a * q) / d;
        P[static_cast<std::size_t>(i)] = p;
        Q[static_cast<std::size_t>(i)] = q;
    }
    double x = q;
    store(N, x);
    for (int32_t i = N - 2; i >= 0; --i) {
        x = Q[static_cast<std::size_t>(i)] - P[static_cast<std::size_t>(i)] * x;
        store(i + 1, x);
    }
}

//! THOMAS: solves TDA(i)*x(i-1) + TDB(i)*x(i) + TDC(i)*x(i+1) = TDR(i),
//! i = 1..N, into TDX. A zero pivot leaves that node at its current value.
inline void THOMAS(IADI& t, int32_t N) {
    solve_tridiagonal(
        N, [&](int32_t i) { return TridiagonalRow{t.TDA(i), t.TDB(i), t.TDC(i), t.TDR(i), t.TDX(i)}; },
        [&](int32_t i, double x) { t.TDX(i) = x; });
}

//! One grid line of a line sweep: node n = 1..N lies at offset
//! o0 + (n-1)*step and at (I0,J0,K0) + (n-1)*(DI,DJ,DK). lm and lp are the
//! coefficients toward the previous and the next node of the line; the
//! neighbours off the line lie in a direction a (the lower-face direction)
//! at stride sa with coefficients am, ap, and in a direction b at stride sb
//! with bm, bp. has[q] says whether the neighbour -a, +a, -b, +b exists; it
//! is the same for every node of the line.
struct GridLine {
    std::ptrdiff_t o0, step;
    int32_t N;
    const float* lm;
    const float* lp;
    const float* am;
    const float* ap;
    std::ptrdiff_t sa;
    const float* bm;
    const float* bp;
    std::ptrdiff_t sb;
    int32_t I0, J0, K0, DI, DJ, DK;
    std::array<bool, 4> has;
};

//! The lines of line sweep number L, each handed to solve(line): X lines
//! (layers in sweep order, rows in the layer's order, or the sweep's in a
//! one-layer grid), then Y lines (columns in sweep order, layers in the
//! column's), then Z lines (rows in sweep order, columns in the row's), a
//! direction only when the grid has more than one node along it. A grid of a
//! single node has no line in any direction; it is solved as a line of one
//! node, or its value would never change.
template <class Solve>
void for_each_line(const KOEF& c, int32_t NX, int32_t NY, int32_t NZ, int32_t L, Solve&& solve) {
    constexpr std::ptrdiff_t sy = NodeArray<float>::stride_j, sz = NodeArray<float>::stride_k;
    auto order = [](int32_t key, int32_t N, auto&& body) {
        int32_t A, E, S;
        RICHTG(key, A, E, S, N, 1);
        for (int32_t n = (E - A + S) / S, x = A; n > 0; --n, x += S) body(x);
    };
    const bool single_node = NX == 1 && NY == 1 && NZ == 1;
    if (NX != 1 || single_node) {
        order(L, NZ, [&](int32_t K) {
            order(NZ != 1 ? K : L, NY, [&](int32_t J) {
                solve(GridLine{NodeArray<float>::offset(1, J, K), 1, NX, c.KOXM.data(), c.KOXP.data(), c.KOYM.data(),
                               c.KOYP.data(), sy, c.KOZM.data(), c.KOZP.data(), sz, 1, J, K, 1, 0, 0,
                               {J != 1, J != NY, K != 1, K != NZ}});
            });
        });
    }
    if (NY != 1) {
        order(L, NX, [&](int32_t I) {
            order(I, NZ, [&](int32_t K) {
                solve(GridLine{NodeArray<float>::offset(I, 1, K), sy, NY, c.KOYM.data(), c.KOYP.data(), c.KOXM.data(),
                               c.KOXP.data(), 1, c.KOZM.data(), c.KOZP.data(), sz, I, 1, K, 0, 1, 0,
                               {I != 1, I != NX, K != 1, K != NZ}});
            });
        });
    }
    if (NZ != 1) {
        order(L, NY, [&](int32_t J) {
            order(J, NX, [&](int32_t I) {
                solve(GridLine{NodeArray<float>::offset(I, J, 1), sz, NZ, c.KOZM.data(), c.KOZP.data(), c.KOXM.data(),
                               c.KOXP.data(), 1, c.KOYM.data(), c.KOYP.data(), sy, I, J, 1, 0, 0, 1,
                               {I != 1, I != NX, J != 1, J != NY}});
            });
        });
    }
}

//! Calls f with std::true_type or std::false_type for the run-time flag.
template <class F>
inline void with_flag(bool flag, F&& f) {
    if (flag) {
        f(std::true_type{});
    } else {
        f(std::false_type{});
    }
}

//! Calls f with the four off-line neighbour flags of a line as compile-time
//! constants.
template <class F>
inline void with_line_flags(const GridLine& g, F&& f) {
    with_flag(g.has[0], [&](auto am) {
        with_flag(g.has[1], [&](auto ap) {
            with_flag(g.has[2], [&](auto bm) { with_flag(g.has[3], [&](auto bp) { f(am, ap, bm, bp); }); });
        });
    });
}

//! Largest change of a sweep that keeps a NaN: once a change is not a number
//! the error is not a number, so a diverging solve cannot pass for converged.
template <class T>
inline void raise_error(T& F, T change) {
    if (change > F || change != change) F = change;
}

//! The largest change of a sweep as raise_error keeps it, change after
//! change from zero, with a shorter chain of dependent operations: the
//! largest change is a plain maximum (one instruction), and a NaN, which
//! raise_error would keep, is noted aside; the last one wins there too.
//! Equal changes are equal in every bit (they are not negative), so the
//! maximum is the value raise_error keeps.
template <class T>
struct LargestChange {
    T top = 0;
    T nan = 0;
    bool lost = false;

    void add(T change) {
        top = change > top ? change : top;
        if (change != change) [[unlikely]] {
            lost = true;
            nan = noted(change);
        }
    }
    T value() const { return lost ? nan : top; }

private:
    //! The NaN as it came. A call of its own keeps the compiler from turning
    //! the rare branch above into conditional moves, a chain of its own
    //! through every change.
    [[gnu::noinline, gnu::cold]] static T noted(T change) { return change; }
};

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
