// Solvers of the heat equation: point relaxation with time-weighted
// neighbours, and line relaxation in alternating directions with an exact
// tridiagonal solve of every grid line. Both correct node updates in the
// freezing range through PHATST and re-assemble the coefficients after every
// sweep when the rock conductivity depends on temperature.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "flow/flow.hpp"
#include "flow/line_solver.hpp"
#include "flow/point_sweeps.hpp"
#include "heat/heat.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! Visits 1..nmax in the order RICHTG gives sweep number n.
template <class Body>
inline void in_sweep_order(int32_t n, int32_t nmax, int32_t mode, Body&& body) {
    int32_t a, e, step;
    RICHTG(n, a, e, step, nmax, mode);
    for (int32_t x = a; step > 0 ? x <= e : x >= e; x += step) body(x);
}

//! The state one point sweep works on, and its node update; the neighbour
//! sum and the right-hand side are formed as in the flow point sweep (see
//! PointSweep there): from the first term, with RSEI + 0, and with Unit
//! (ALFAT = 1, every temperature of the previous time step finite) the
//! neighbours enter with their temperatures alone.
template <bool Trace, bool Unit, bool HasY, bool HasZ>
struct HeatPointSweep {
    Model& m;
    double* t;
    const double* ta;
    const float* KOXM;
    const float* KOXP;
    const float* KOYM;
    const float* KOYP;
    const float* KOZM;
    const float* KOZP;
    const float* KDIA;
    const float* RSEI;
    const int32_t* IFLG;
    double alfat;  // weight of the current temperature of a neighbour
    double rest;   // weight of its temperature of the previous time step, 1 - ALFAT
    double omega;  // relaxation factor
    bool phase;    // PHATST after every update
    double E;      // largest change of the sweep
    int32_t J = 0, K = 0;  // row in progress

    HeatPointSweep(Model& model, double om)
        : m(model),
          t(model.temp.TEMP.data()),
          ta(model.temp.TEMPA.data()),
          KOXM(model.koef.KOXM.data()),
          KOXP(model.koef.KOXP.data()),
          KOYM(model.koef.KOYM.data()),
          KOYP(model.koef.KOYP.data()),
          KOZM(model.koef.KOZM.data()),
          KOZP(model.koef.KOZP.data()),
          KDIA(model.koef.KDIA.data()),
          RSEI(model.koef.RSEI.data()),
          IFLG(model.ifld.IFLG.data()),
          alfat(static_cast<double>(model.par1.ALFAT)),
          rest(static_cast<double>(1.0f - model.par1.ALFAT)),
          omega(om),
          phase(model.inf2.IPHASE > 0),
          E(0.0) {}

    void start_row(int32_t j, int32_t k) {
        J = j;
        K = k;
    }

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
    [[gnu::always_inline]] double update(std::ptrdiff_t p, int32_t I, RowNeighbours r, double vxm, double vxp) {
        constexpr std::ptrdiff_t sy = IX, sz = std::ptrdiff_t{IX} * IY;
        const int32_t flag = IFLG[p];
        if ((flag >= 2 && flag <= 5) || (flag <= -2 && flag >= -5)) return t[p];
        double S = -0.0;  // -0 + x is x: the compiler drops it
        if constexpr (XM) S += weighted(vxm, p - 1) * static_cast<double>(KOXM[p]);
        if constexpr (XP) S += weighted(vxp, p + 1) * static_cast<double>(KOXP[p]);
        if constexpr (HasY) {
            if (r.ym) S += weighted(t[p - sy], p - sy) * static_cast<double>(KOYM[p]);
            if (r.yp) S += weighted(t[p + sy], p + sy) * static_cast<double>(KOYP[p]);
        }
        if constexpr (HasZ) {
            if (r.zm) S += weighted(t[p - sz], p - sz) * static_cast<double>(KOZM[p]);
            if (r.zp) S += weighted(t[p + sz], p + sz) * static_cast<double>(KOZP[p]);
        }
        const double T0 = t[p];
        const float kdia = KDIA[p];
        // A node without any coefficient keeps its value.
        double T1 = T0;
        if (kdia != 0.0f) {
            T1 = ((S + (static_cast<double>(RSEI[p]) + 0.0)) / static_cast<double>(kdia) - T0) * omega + T0;
            t[p] = T1;
        }
        if (phase) {
            phase_step<Trace>(m, I, J, K, T0);
            T1 = t[p];
        }
        raise_error(E, std::fabs(T1 - T0));
        return T1;
    }
};

//! True when the neighbours of a point sweep enter with their temperatures
//! alone (HeatPointSweep, Unit): ALFAT = 1 and every temperature of the
//! previous time step finite, which no sweep of a solve changes.
bool unit_weighting(const Model& m) {
    if (m.par1.ALFAT != 1.0f) return false;
    const auto& d = m.ndim;
    for (int32_t K = 1; K <= d.NZ; ++K)
        for (int32_t J = 1; J <= d.NY; ++J) {
            const double* TA = m.temp.TEMPA.row(J, K);
            for (int32_t I = 0; I < d.NX; ++I)
                if (!std::isfinite(TA[I])) return false;
        }
    return true;
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

//! One sweep of the point iteration; returns the largest change.
template <bool Trace>
double point_sweep(Model& m, int32_t N, double omega, bool unit) {
    const auto& d = m.ndim;
    double E = 0.0;
    with_flag(unit, [&](auto u) {
        with_flag(d.NY > 1, [&](auto has_y) {
            with_flag(d.NZ > 1, [&](auto has_z) {
                HeatPointSweep<Trace, u, has_y, has_z> s(m, omega);
                point_sweep_rows(s, s.t, d.NX, d.NY, d.NZ, N, m.inf1.IRICHT);
                E = s.E;
            });
        });
    });
    return E;
}

//! Geometry of a family of grid lines for the line solver: the coefficient
//! pair along the line and the four cross neighbours on the right-hand side.
struct LineFaces {
    const NodeArray<float>* lower;     // coefficient toward the previous node of the line
    const NodeArray<float>* upper;     // toward the next node
    const NodeArray<float>* cross[4];  // the four cross coefficients in face order
    std::ptrdiff_t cross_step[4];      // their offsets
    std::ptrdiff_t along;              // offset between nodes of the line
};

//! Solves the line of n nodes that starts at node p0, then relaxes and
//! corrects its nodes; the cross neighbour q exists where exists[q].
template <bool Trace>
void solve_line(Model& m, std::ptrdiff_t p0, int32_t n, const LineFaces& f, const bool (&exists)[4], double omega,
                double& E) {
    auto& td = m.iadi;
    double* t = m.temp.TEMP.data();
    const auto& c = m.koef;
    for (int32_t s = 1; s <= n; ++s) {
        const std::ptrdiff_t p = p0 + (s - 1) * f.along;
        td.TDA(s) = -static_cast<double>(f.lower->data()[p]);
        td.TDC(s) = -static_cast<double>(f.upper->data()[p]);
        td.TDB(s) = static_cast<double>(c.KDIA.data()[p]);
        double r = 0.0;
        for (int32_t q = 0; q < 4; ++q)
            if (exists[q]) r += static_cast<double>(f.cross[q]->data()[p]) * t[p + f.cross_step[q]];
        r += static_cast<double>(c.RSEI.data()[p]);
        td.TDR(s) = r;
        td.TDX(s) = t[p];
    }
    THOMAS(td, n);
    const bool phase = m.inf2.IPHASE > 0;
    for (int32_t s = 1; s <= n; ++s) {
        const std::ptrdiff_t p = p0 + (s - 1) * f.along;
        const double T0 = t[p];
        t[p] = (td.TDX(s) - T0) * omega + T0;
        if (phase) {
            // Node indices from the offset, for the correction and its box.
            const int32_t I = static_cast<int32_t>(p % IX) + 1;
            const int32_t J = static_cast<int32_t>((p / IX) % IY) + 1;
            const int32_t K = static_cast<int32_t>(p / (std::ptrdiff_t{IX} * IY)) + 1;
            phase_step<Trace>(m, I, J, K, T0);
        }
        raise_error(E, std::fabs(t[p] - T0));
    }
}

//! One sweep of the line iteration: X, Y and Z lines, always in alternating
//! order; returns the largest change.
template <bool Trace>
double line_sweep(Model& m, int32_t N, double omega) {
    const auto& d = m.ndim;
    const auto& c = m.koef;
    constexpr std::ptrdiff_t sx = 1, sy = IX, sz = std::ptrdiff_t{IX} * IY;
    double E = 0.0;
    if (d.NX != 1) {  // layers, then rows (in the layer's order unless there is one layer)
        const LineFaces f{&c.KOXM, &c.KOXP, {&c.KOYM, &c.KOYP, &c.KOZM, &c.KOZP}, {-sy, sy, -sz, sz}, sx};
        in_sweep_order(N, d.NZ, 1, [&](int32_t K) {
            in_sweep_order(d.NZ == 1 ? N : K, d.NY, 1, [&](int32_t J) {
                const bool ex[4] = {J != 1, J != d.NY, K != 1, K != d.NZ};
                solve_line<Trace>(m, NodeArray<double>::offset(1, J, K), d.NX, f, ex, omega, E);
            });
        });
    }
    if (d.NY != 1) {  // columns, then layers in the column's order
        const LineFaces f{&c.KOYM, &c.KOYP, {&c.KOXM, &c.KOXP, &c.KOZM, &c.KOZP}, {-sx, sx, -sz, sz}, sy};
        in_sweep_order(N, d.NX, 1, [&](int32_t I) {
            in_sweep_order(I, d.NZ, 1, [&](int32_t K) {
                const bool ex[4] = {I != 1, I != d.NX, K != 1, K != d.NZ};
                solve_line<Trace>(m, NodeArray<double>::offset(I, 1, K), d.NY, f, ex, omega, E);
            });
        });
    }
    if (d.NZ != 1) {  // rows, then columns in the row's order
        const LineFaces f{&c.KOZM, &c.KOZP, {&c.KOXM, &c.KOXP, &c.KOYM, &c.KOYP}, {-sx, sx, -sy, sy}, sz};
        in_sweep_order(N, d.NY, 1, [&](int32_t J) {
            in_sweep_order(J, d.NX, 1, [&](int32_t I) {
                const bool ex[4] = {I != 1, I != d.NX, J != 1, J != d.NY};
                solve_line<Trace>(m, NodeArray<double>::offset(I, J, 1), d.NZ, f, ex, omega, E);
            });
        });
    }
    return E;
}

//! Temperature-dependent rock conductivity: the equations follow the new
//! temperatures after every sweep.
void reassemble_if_temperature_dependent(Model& m) {
    if (m.inf2.ISTOFF < 3) return;
    const auto& d = m.ndim;
    reassemble_heat_box(m, 1, 1, 1, d.NX, d.NY, d.NZ);
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
        const double E = run_sweeps<double>(
            m, m.par1.EPST,
            [&](int32_t N) {
                const double w = static_cast<double>(omega);
                return m.inf2.IBILD >= 2 ? point_sweep<true>(m, N, w, unit) : point_sweep<false>(m, N, w, unit);
            },
            [&] { reassemble_if_temperature_dependent(m); });
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
        const double E = run_sweeps<double>(
            m, m.par1.EPST,
            [&](int32_t N) {
                const double w = static_cast<double>(omega);
                return m.inf2.IBILD >= 2 ? line_sweep<true>(m, N, w) : line_sweep<false>(m, N, w);
            },
            [&] { reassemble_if_temperature_dependent(m); });
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
