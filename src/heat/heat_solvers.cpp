// Solvers of the heat equation: point relaxation with time-weighted
// neighbours, and line relaxation in alternating directions with an exact
// tridiagonal solve of every grid line. Both correct node updates in the
// freezing range through PHATST and re-assemble the coefficients after every
// sweep when the rock conductivity depends on temperature.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "flow/flow.hpp"
#include "flow/line_solver.hpp"
#include "flow/point_sweeps.hpp"
#include "heat/heat.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! The state one point sweep works on, and its node update; the neighbour
//! sum and the right-hand side are formed as in the flow point sweep (see
//! PointSweep there): from the first term, with RSEI + 0, and with Unit
//! (ALFAT = 1, every temperature of the previous time step finite) the
//! neighbours enter with their temperatures alone. With Speculative the
//! update leaves PHATST out and notes in more that the node would have
//! called it with a change to correct (see ascending_sweep_on_team).
template <bool Trace, bool Unit, bool HasY, bool HasZ, bool Speculative = false>
struct HeatPointSweep : NodeEquations {
    Model& m;
    double* t;
    double* tn;  // where the new temperatures go and are read from: t, or another array when Speculative
    const double* ta;
    const int32_t* IFLG;
    double alfat;  // weight of the current temperature of a neighbour
    double rest;   // weight of its temperature of the previous time step, 1 - ALFAT
    double omega;  // relaxation factor
    bool phase;    // PHATST after every update
    HeatAssembly* record;  // the solve's assembly record
    LargestChange<double> E;  // largest change of the sweep
    bool more = false;  // a speculative update would have called PHATST

    HeatPointSweep(Model& model, double om, HeatAssembly* assembly, double* next = nullptr)
        : NodeEquations(model.koef),
          m(model),
          t(model.temp.TEMP.data()),
          tn(next != nullptr ? next : t),
          ta(model.temp.TEMPA.data()),
          IFLG(model.ifld.IFLG.data()),
          alfat(static_cast<double>(model.par1.ALFAT)),
          rest(static_cast<double>(1.0f - model.par1.ALFAT)),
          omega(om),
          phase(model.inf2.IPHASE > 0),
          record(assembly) {}

    //! WICHTP of the neighbour at offset q whose current temperature is v.
    double weighted(double v, std::ptrdiff_t q) const {
        if constexpr (Unit) {
            return v;
        } else {
            return alfat * v + rest * ta[q];
        }
    }

    //! One node update (see point_row); returns the temperature the node leaves.
    template <bool XM, bool XP>
    [[gnu::always_inline]] double update(std::ptrdiff_t p, int32_t I, int32_t J, int32_t K, RowNeighbours r,
                                         double vxm, double vxp) {
        constexpr std::ptrdiff_t sy = IX, sz = std::ptrdiff_t{IX} * IY;
        const int32_t flag = IFLG[p];
        if ((flag >= 2 && flag <= 5) || (flag <= -2 && flag >= -5)) [[unlikely]] {
            if constexpr (Speculative) tn[p] = t[p];
            return t[p];
        }
        double S = -0.0;  // -0 + x is x: the compiler drops it
        if constexpr (XM) S += weighted(vxm, p - 1) * static_cast<double>(KOXM[p]);
        if constexpr (XP) S += weighted(vxp, p + 1) * static_cast<double>(KOXP[p]);
        if constexpr (HasY) {
            if (r.ym) [[likely]] S += weighted(tn[p - sy], p - sy) * static_cast<double>(KOYM[p]);
            if (r.yp) [[likely]] S += weighted(t[p + sy], p + sy) * static_cast<double>(KOYP[p]);
        }
        if constexpr (HasZ) {
            if (r.zm) [[likely]] S += weighted(tn[p - sz], p - sz) * static_cast<double>(KOZM[p]);
            if (r.zp) [[likely]] S += weighted(t[p + sz], p + sz) * static_cast<double>(KOZP[p]);
        }
        const double T0 = t[p];
        const float kdia = KDIA[p];
        // A node without any coefficient keeps its value.
        double T1 = T0;
        if (kdia != 0.0f) [[likely]]
            T1 = ((S + (static_cast<double>(RSEI[p]) + 0.0)) / static_cast<double>(kdia) - T0) * omega + T0;
        tn[p] = T1;
        if (phase) {
            if constexpr (Speculative) {
                // The nodes PHATST leaves as they are: other flags, both
                // temperatures at or above freezing, no change.
                const double TG = m.temp.TGEF(K);
                if (flag == 1 && !(T0 >= TG && T1 >= TG) && T1 - T0 != 0.0) more = true;
            } else {
                phase_step<Trace>(m, I, J, K, T0, record);
                T1 = t[p];
            }
        }
        E.add(std::fabs(T1 - T0));
        return T1;
    }
};

//! True when the neighbours of a point sweep enter with their temperatures
//! alone (HeatPointSweep, Unit): ALFAT = 1 and every temperature of the
//! previous time step finite, which no sweep of a solve changes.
bool unit_weighting(const Model& m) { return m.par1.ALFAT == 1.0f && all_finite(m.temp.TEMPA, m.ndim); }

//! One sweep of the point iteration; returns the largest change. The
//! ascending order (IRICHT 0) runs on the work team while no node of the
//! solve needed PHATST, and without the detailed trace.
template <bool Trace>
double point_sweep(Model& m, int32_t N, double omega, bool unit, HeatAssembly& record,
                   AscendingSweeps<double>& ascending) {
    const auto& d = m.ndim;
    double E = 0.0;
    with_flag(unit, [&](auto u) {
        with_flag(d.NY > 1, [&](auto has_y) {
            with_flag(d.NZ > 1, [&](auto has_z) {
                if (!Trace && m.inf1.IRICHT == 0 &&
                    ascending_sweep_on_team(
                        ascending, m.temp.TEMP, d.NX, d.NY, d.NZ,
                        [&](const double*, double* next) {
                            return HeatPointSweep<false, u, has_y, has_z, true>(m, omega, &record, next);
                        },
                        [&](const auto& s) { raise_error(E, s.E.value()); }))
                    return;
                HeatPointSweep<Trace, u, has_y, has_z> s(m, omega, &record);
                point_sweep_rows(s, s.t, d.NX, d.NY, d.NZ, N, m.inf1.IRICHT);
                E = s.E.value();
            });
        });
    });
    return E;
}

//! Solves one line (see GridLine), then relaxes and corrects its nodes.
//! Each equation is formed as the elimination reaches it: the right-hand
//! side summed in double from zero, the off-line neighbour terms (each a
//! single coefficient times a double temperature) in face order, then RSEI.
template <bool Trace, bool Am, bool Ap, bool Bm, bool Bp>
void solve_line(Model& m, const GridLine& g, double omega, HeatAssembly& record, LargestChange<double>& E) {
    double* t = m.temp.TEMP.data();
    const float* KDIA = m.koef.KDIA.data();
    const float* RSEI = m.koef.RSEI.data();
    std::array<double, MAXLIN + 1> X;  // solution of the line system
    solve_tridiagonal(
        g.N,
        [&](int32_t n) {
            const std::ptrdiff_t p = g.o0 + (n - 1) * g.step;
            double r = 0.0;
            if constexpr (Am) r += static_cast<double>(g.am[p]) * t[p - g.sa];
            if constexpr (Ap) r += static_cast<double>(g.ap[p]) * t[p + g.sa];
            if constexpr (Bm) r += static_cast<double>(g.bm[p]) * t[p - g.sb];
            if constexpr (Bp) r += static_cast<double>(g.bp[p]) * t[p + g.sb];
            r += static_cast<double>(RSEI[p]);
            return TridiagonalRow{-static_cast<double>(g.lm[p]), static_cast<double>(KDIA[p]),
                                  -static_cast<double>(g.lp[p]), r, t[p]};
        },
        [&](int32_t n, double x) { X[static_cast<std::size_t>(n)] = x; });
    const bool phase = m.inf2.IPHASE > 0;
    std::ptrdiff_t p = g.o0;
    int32_t I = g.I0, J = g.J0, K = g.K0;
    for (int32_t n = 1; n <= g.N; ++n, p += g.step, I += g.DI, J += g.DJ, K += g.DK) {
        const double T0 = t[p];
        t[p] = (X[static_cast<std::size_t>(n)] - T0) * omega + T0;
        if (phase) phase_step<Trace>(m, I, J, K, T0, &record);
        E.add(std::fabs(t[p] - T0));
    }
}

//! One sweep of the line iteration: X, Y and Z lines, always in alternating
//! order; returns the largest change.
template <bool Trace>
double line_sweep(Model& m, int32_t N, double omega, HeatAssembly& record) {
    const auto& d = m.ndim;
    LargestChange<double> E;
    for_each_line(m.koef, d.NX, d.NY, d.NZ, N, [&](const GridLine& g) {
        with_line_flags(g, [&](auto am, auto ap, auto bm, auto bp) {
            solve_line<Trace, am, ap, bm, bp>(m, g, omega, record, E);
        });
    });
    return E.value();
}

//! Temperature-dependent rock conductivity: the equations follow the new
//! temperatures after every sweep.
void reassemble_if_temperature_dependent(Model& m, HeatAssembly& record) {
    if (m.inf2.ISTOFF < 3) return;
    const auto& d = m.ndim;
    reassemble_heat_box(m, 1, 1, 1, d.NX, d.NY, d.NZ, &record);
}

}  // namespace

double WICHTP(const Model& m, int32_t I, int32_t J, int32_t K) {
    const float a = m.par1.ALFAT;
    return static_cast<double>(a) * m.temp.TEMP(I, J, K) + static_cast<double>(1.0f - a) * m.temp.TEMPA(I, J, K);
}

void ITERAT(Model& m) {
    for (;;) {
        if (m.inf2.IBILD >= 1) ROUTIN(m, "ITERAT");
        float omega = m.par1.OMEGT;
        const bool unit = unit_weighting(m);
        HeatAssembly& record = reused_heat_assembly();
        AscendingSweeps<double>& ascending = reused_ascending_sweeps<double>();
        const double E = run_sweeps<double>(
            m, m.par1.EPST,
            [&](int32_t N) {
                const double w = static_cast<double>(omega);
                return m.inf2.IBILD >= 2 ? point_sweep<true>(m, N, w, unit, record, ascending)
                                         : point_sweep<false>(m, N, w, unit, record, ascending);
            },
            [&] { reassemble_if_temperature_dependent(m, record); });
        if (m.inf2.IAENDR == 1) {
            OMEGAT(m, E, omega, m.par1.ALFAT);
            if (m.inf2.IAENDR != 0) continue;  // new factors: solve again from TEMPA
        }
        return;
    }
}

void IADITP(Model& m) {
    for (;;) {
        float omega = -m.par1.OMEGT;
        if (m.inf2.IBILD >= 1) ROUTIN(m, "IADITP");
        HeatAssembly& record = reused_heat_assembly();
        const double E = run_sweeps<double>(
            m, m.par1.EPST,
            [&](int32_t N) {
                const double w = static_cast<double>(omega);
                return m.inf2.IBILD >= 2 ? line_sweep<true>(m, N, w, record) : line_sweep<false>(m, N, w, record);
            },
            [&] { reassemble_if_temperature_dependent(m, record); });
        if (m.inf2.IAENDR == 1) {
            OMEGAT(m, E, omega, m.par1.ALFAT);
            if (m.inf2.IAENDR == 0) return;
            m.par1.OMEGT = -m.par1.OMEGT;  // the user enters a positive factor
            continue;
        }
        return;
    }
}

}  // namespace gruv
