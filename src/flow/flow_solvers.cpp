// The flow solvers: the point iteration ITERAH (Gauss-Seidel / SOR with a
// time weighting of the neighbour heads) and the alternating-direction line
// iteration IADIST (one tridiagonal solve per grid line, relaxed). Both update
// WPOT in place, refresh the coefficients of a node whose head moves through
// the top of its cell (DELTAH), and may hand over to the interactive change of
// the factors (OMEGAT) and solve again.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <vector>

#include "flow/flow.hpp"
#include "flow/layer_faces.hpp"
#include "flow/line_solver.hpp"
#include "flow/point_sweeps.hpp"
#include "parallel/work_team.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

using Offset = std::ptrdiff_t;
constexpr Offset kStrideJ = NodeArray<float>::stride_j;
constexpr Offset kStrideK = NodeArray<float>::stride_k;

//! Elevation of the upper cell face of every layer.
struct LayerTops {
    float Zo[IZ + 1];
    explicit LayerTops(const Model& m) {
        for (int32_t K = 1; K <= m.ndim.NZ; ++K) Zo[K] = layer_top(m, K);
    }
};

//! The heads and the node equations as the sweeps see them: plain pointers
//! into the node arrays, bound once per sweep.
struct FlowEquation : NodeEquations {
    Model& m;
    int32_t NX, NY, NZ;
    float* H;

    explicit FlowEquation(Model& model)
        : NodeEquations(model.koef),
          m(model),
          NX(model.ndim.NX),
          NY(model.ndim.NY),
          NZ(model.ndim.NZ),
          H(model.wpot.WPOT.data()) {}
};

// ----------------------------------------------------------- point iteration

//! The state one point sweep works on, and its node update.
//!
//! Every node update is one link of a chain: the next node reads the new head
//! of this one. The update keeps that chain short without changing a bit: the
//! new head comes to the next node in a register (point_row), the neighbour
//! sum starts with its first term instead of 0 + first term, and with Unit
//! (ALFA = 1 and every head of the previous time step finite) the neighbours
//! enter with their heads alone. Starting from the first term changes only
//! the sign of a sum of zeros (0 + x differs from x only for x = -0); adding
//! RSEI + 0 instead of RSEI removes that difference again (a sum of -0 plus
//! RSEI = -0 would stay -0), and RSEI + 0 is RSEI for every other value.
//! 1*H is H, and 0*WPOTA is a zero, whose sign the sum cannot see either.
//! With Speculative the update leaves DELTAH out and notes in more that the
//! node would have called it (see ascending_sweep_on_team).
template <bool Unit, bool HasY, bool HasZ, bool Speculative = false>
struct PointSweep : FlowEquation {
    const float* HA;
    const int32_t* JFLG;
    float ALFA;   // weight of the current head of a neighbour
    float ALFA1;  // weight of its head of the previous time step, 1 - ALFA
    float OM;     // relaxation factor
    LargestChange<float> F;  // largest head change of the sweep
    const LayerTops& tops;
    float* Hn;          // where the new heads go and are read from: H, or another array when Speculative
    bool more = false;  // a speculative update would have called DELTAH

    PointSweep(Model& model, float om, const LayerTops& layer_tops, float* next = nullptr)
        : FlowEquation(model),
          HA(model.wpot.WPOTA.data()),
          JFLG(model.ifld.JFLG.data()),
          ALFA(model.par2.ALFA),
          ALFA1(1.0f - model.par2.ALFA),
          OM(om),
          tops(layer_tops),
          Hn(next != nullptr ? next : H) {}

    //! WICHHY of the neighbour at offset q whose current head is h.
    float weighted(float h, Offset q) const {
        if constexpr (Unit) {
            return h;
        } else {
            return ALFA * h + ALFA1 * HA[q];
        }
    }

    //! One node update (see point_row); returns the head the node leaves.
    template <bool XM, bool XP>
    [[gnu::always_inline]] float update(Offset o, int32_t I, int32_t J, int32_t K, RowNeighbours r, float hxm,
                                        float hxp) {
        if (JFLG[o] == 2) [[unlikely]] {  // constant head
            if constexpr (Speculative) Hn[o] = H[o];
            return H[o];
        }
        float sum = -0.0f;  // -0 + x is x: the compiler drops it
        if constexpr (XM) sum = sum + weighted(hxm, o - 1) * KOXM[o];
        if constexpr (XP) sum = sum + weighted(hxp, o + 1) * KOXP[o];
        if constexpr (HasY) {
            if (r.ym) [[likely]] sum = sum + weighted(Hn[o - kStrideJ], o - kStrideJ) * KOYM[o];
            if (r.yp) [[likely]] sum = sum + weighted(H[o + kStrideJ], o + kStrideJ) * KOYP[o];
        }
        if constexpr (HasZ) {
            if (r.zm) [[likely]] sum = sum + weighted(Hn[o - kStrideK], o - kStrideK) * KOZM[o];
            if (r.zp) [[likely]] sum = sum + weighted(H[o + kStrideK], o + kStrideK) * KOZP[o];
        }
        const float Hold = H[o];
        // A node without any conductance and without storage has no equation
        // of its own: it keeps its head, as the line solver keeps a node with
        // a zero pivot.
        const float Hnew = KDIA[o] == 0.0f ? Hold : ((sum + (RSEI[o] + 0.0f)) / KDIA[o] - Hold) * OM + Hold;
        Hn[o] = Hnew;
        const float Zo = tops.Zo[K];
        if constexpr (Speculative) {
            if ((Hold < Zo && Zo < Hnew) || Hnew < Zo) more = true;
        } else {
            if (Hold < Zo && Zo < Hnew) DELTAH(m, I, J, K);  // rose through the cell top
            if (Hnew < Zo) DELTAH(m, I, J, K);               // partly saturated
        }
        F.add(std::fabs(Hold - Hnew));
        return Hnew;
    }
};

//! True when the neighbours of a point sweep enter with their heads alone
//! (PointSweep, Unit): ALFA = 1 and every head of the previous time step
//! finite, which no sweep of a solve changes.
bool unit_weighting(const Model& m) { return m.par2.ALFA == 1.0f && all_finite(m.wpot.WPOTA, m.ndim); }

//! One sweep of the point iteration; returns its largest head change.
//! Sweep orders other than alternating (1) run ascending, on the work team
//! while no node of the solve needed DELTAH.
float point_sweep(Model& m, int32_t L, float OM, bool unit, AscendingSweeps<float>& ascending) {
    const LayerTops tops(m);
    const auto& d = m.ndim;
    const int32_t M = m.inf1.IRICHT == 1 ? 1 : 0;
    float F = 0.0f;
    with_flag(unit, [&](auto u) {
        with_flag(d.NY > 1, [&](auto has_y) {
            with_flag(d.NZ > 1, [&](auto has_z) {
                if (M == 0 && ascending_sweep_on_team(
                                  ascending, m.wpot.WPOT, d.NX, d.NY, d.NZ,
                                  [&](const float*, float* next) {
                                      return PointSweep<u, has_y, has_z, true>(m, OM, tops, next);
                                  },
                                  [&](const auto& s) { raise_error(F, s.F.value()); }))
                    return;
                PointSweep<u, has_y, has_z> s(m, OM, tops);
                point_sweep_rows(s, s.H, d.NX, d.NY, d.NZ, L, M);
                F = s.F.value();
            });
        });
    });
    return F;
}

// ------------------------------------------------------------ line iteration

//! The equation of every node as the line sweeps read it: its eight
//! coefficients side by side (KOXM, KOXP, KOYM, KOYP, KOZM, KOZP, KDIA,
//! RSEI), two nodes to a cache line. Along a Y or a Z line the separate
//! arrays put each coefficient of a node into a cache line of its own, eight
//! lines per node from memory. Packed once per solve; DELTAH, which changes
//! the coefficients of a node inside the solve, is followed by a new packing
//! of that node.
class PackedEquations {
public:
    static constexpr int kXM = 0, kYM = 2, kZM = 4, kDIA = 6, kSEI = 7;

    //! The run's store, packed from the model's coefficients by the work
    //! team, row by row; its memory is kept from solve to solve (one per
    //! process, as reused_ascending_sweeps).
    static PackedEquations& packed(const Model& m) {
        static PackedEquations mine;
        PackedEquations& e = mine;
        const auto& d = m.ndim;
        for_each_row(d.NX, d.NY, d.NZ, [&](int32_t J, int32_t K) {
            for (int32_t I = 1; I <= d.NX; ++I) e.pack(m.koef, I, J, K);
        });
        return e;
    }
    //! Packs the coefficients of node (I,J,K) anew.
    void pack(const KOEF& c, int32_t I, int32_t J, int32_t K) {
        const Offset o = NodeArray<float>::offset(I, J, K);
        float* p = &v_[static_cast<std::size_t>(o) * 8];
        p[0] = c.KOXM.data()[o], p[1] = c.KOXP.data()[o], p[2] = c.KOYM.data()[o], p[3] = c.KOYP.data()[o];
        p[4] = c.KOZM.data()[o], p[5] = c.KOZP.data()[o], p[6] = c.KDIA.data()[o], p[7] = c.RSEI.data()[o];
    }
    //! Coefficient k (kXM ... kSEI) of node offset o is at (*this)[k][8 * o].
    const float* operator[](int k) const { return v_.data() + k; }

private:
    std::vector<float> v_ = std::vector<float>(std::size_t{8} * IX * IY * IZ);
};

//! The state one line sweep works on.
struct LineSweep : FlowEquation {
    double R;  // relaxation factor, positive
    double F;  // largest head change of the sweep
    const LayerTops& tops;
    PackedEquations& E;

    LineSweep(Model& model, float r, const LayerTops& layer_tops, PackedEquations& equations)
        : FlowEquation(model), R(static_cast<double>(r)), F(0.0), tops(layer_tops), E(equations) {}

    //! Builds and solves the line, then relaxes its heads. Each equation is
    //! formed as the elimination reaches it: the right-hand side summed in
    //! double from zero, the off-line neighbour terms (each product in single)
    //! in face order, then RSEI.
    template <bool Am, bool Ap, bool Bm, bool Bp>
    void solve(const GridLine& g) {
        // The line's own direction and the off-line directions a and b, as
        // for_each_line gives them: X lines a = Y, b = Z; Y lines a = X,
        // b = Z; Z lines a = X, b = Y.
        const int line = g.DI != 0 ? PackedEquations::kXM : g.DJ != 0 ? PackedEquations::kYM : PackedEquations::kZM;
        const float* lm = E[line];
        const float* lp = E[line + 1];
        const float* am = E[g.DI != 0 ? PackedEquations::kYM : PackedEquations::kXM];
        const float* ap = am + 1;
        const float* bm = E[g.DK != 0 ? PackedEquations::kYM : PackedEquations::kZM];
        const float* bp = bm + 1;
        const float* dia = E[PackedEquations::kDIA];
        const float* sei = E[PackedEquations::kSEI];
        auto row = [&](int32_t n) {
            const Offset o = g.o0 + (n - 1) * g.step;
            const Offset c = 8 * o;
            double r = 0.0;
            if constexpr (Am) r += static_cast<double>(am[c] * H[o - g.sa]);
            if constexpr (Ap) r += static_cast<double>(ap[c] * H[o + g.sa]);
            if constexpr (Bm) r += static_cast<double>(bm[c] * H[o - g.sb]);
            if constexpr (Bp) r += static_cast<double>(bp[c] * H[o + g.sb]);
            return TridiagonalRow{-static_cast<double>(lm[c]), static_cast<double>(dia[c]),
                                  -static_cast<double>(lp[c]), r + static_cast<double>(sei[c]),
                                  static_cast<double>(H[o])};
        };
        // The relaxed heads are formed as the back substitution delivers the
        // solution; they depend on nothing DELTAH changes. The back
        // substitution is one chain of dependent operations; what hangs on
        // it must not add a longer one. The largest change is kept with a
        // plain maximum (LargestChange); the crossing test has no branches.
        std::array<float, MAXLIN + 1> Hnew;
        LargestChange<double> e;  // largest head change of the line
        bool crossing = false;    // a node of the line passes through DELTAH
        auto store = [&](int32_t n, double x) {
            const Offset o = g.o0 + (n - 1) * g.step;
            const float Hold = H[o];
            const double relaxed = static_cast<double>(Hold) + R * (x - static_cast<double>(Hold));
            const float h = static_cast<float>(relaxed);
            Hnew[static_cast<std::size_t>(n)] = h;
            e.add(static_cast<double>(std::fabs(h - Hold)));
            const float Zo = tops.Zo[g.K0 + (n - 1) * g.DK];
            crossing |= ((Hold < Zo) & (Zo < h)) | (h < Zo);
        };
        solve_tridiagonal(g.N, row, store);
        raise_error(F, e.value());
        Offset o = g.o0;
        if (!crossing) {
            for (int32_t n = 1; n <= g.N; ++n, o += g.step) H[o] = Hnew[static_cast<std::size_t>(n)];
            return;
        }
        // DELTAH reads the heads of the line's next nodes still old: the
        // heads go in one by one, in the order of the line.
        int32_t I = g.I0, J = g.J0, K = g.K0;
        for (int32_t n = 1; n <= g.N; ++n, o += g.step, I += g.DI, J += g.DJ, K += g.DK) {
            const float Hold = H[o];
            const float h = Hnew[static_cast<std::size_t>(n)];
            H[o] = h;
            const float Zo = tops.Zo[K];
            const bool rose = Hold < Zo && Zo < h;
            if (rose) DELTAH(m, I, J, K);
            if (h < Zo) DELTAH(m, I, J, K);
            if (rose || h < Zo) E.pack(m.koef, I, J, K);
        }
    }
};

//! One sweep of the line iteration; returns its largest head change.
double line_sweep(Model& m, int32_t L, float R, PackedEquations& equations) {
    const LayerTops tops(m);
    LineSweep s(m, R, tops, equations);
    for_each_line(m.koef, s.NX, s.NY, s.NZ, L, [&](const GridLine& g) {
        with_line_flags(g, [&](auto am, auto ap, auto bm, auto bp) { s.template solve<am, ap, bm, bp>(g); });
    });
    return s.F;
}

}  // namespace

float WICHHY(const Model& m, int32_t I, int32_t J, int32_t K) {
    const float ALFA = m.par2.ALFA;
    return ALFA * m.wpot.WPOT(I, J, K) + (1.0f - ALFA) * m.wpot.WPOTA(I, J, K);
}

void ITERAH(Model& m) {
    for (;;) {
        float OM = m.par2.OMEGA;
        if (m.inf2.IBILD >= 1) ROUTIN(m, "ITERAH");
        const bool unit = unit_weighting(m);
        AscendingSweeps<float>& ascending = reused_ascending_sweeps<float>();
        const float F = run_sweeps<float>(
            m, m.par2.EPSH, [&](int32_t L) { return point_sweep(m, L, OM, unit, ascending); }, [] {});
        if (m.inf2.IAENDR != 2) return;
        OMEGAT(m, static_cast<double>(F), OM, m.par2.ALFA);
        if (m.inf2.IAENDR == 1) return;
        // New factors: the heads are back at WPOTA; rebuild the conductances
        // for them and solve again.
        KOEFFH(m);
    }
}

void IADIST(Model& m) {
    for (;;) {
        float R = -m.par2.OMEGA;
        if (m.inf2.IBILD >= 1) ROUTIN(m, "IADIST");
        PackedEquations& equations = PackedEquations::packed(m);
        const double F = run_sweeps<double>(
            m, m.par2.EPSH, [&](int32_t L) { return line_sweep(m, L, R, equations); }, [] {});
        if (m.inf2.IAENDR != 2) return;
        float AL = m.par2.ALFA;
        OMEGAT(m, F, R, AL);
        if (m.inf2.IAENDR == 1) return;
        KOEFFH(m);
        // The user enters a positive factor; the stored one stays negative so
        // that the line method is kept.
        m.par2.OMEGA = -m.par2.OMEGA;
    }
}

}  // namespace gruv
