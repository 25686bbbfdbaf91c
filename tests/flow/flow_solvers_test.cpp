// The flow solvers: sweep orders, convergence and stop rule, constant heads,
// the zero diagonal, a diverging solve, and the interactive change of the
// factors with the repeated solve.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "flow/layer_faces.hpp"
#include "flow/line_solver.hpp"
#include "flow/properties.hpp"
#include "flow_fixture.hpp"

namespace gruv {
namespace {

using test::FlowModel;

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// ---------------------------------------------------------------- orders

// Coefficients set by hand: each row of four nodes is coupled only along X
// (coefficient 1 each way, diagonal 2), the end nodes hold fixed heads. One
// Gauss-Seidel sweep shows the order in which the middle nodes are visited.
struct TwoRows : ::testing::Test {
    FlowModel f{4, 2, 1, 10.0f, 10.0f, 10.0f, -100.0f};  // all heads above the cell tops
    void SetUp() override {
        auto& c = f.m.koef;
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 4; ++i) {
                c.KOXM(i, j, 1) = i > 1 ? 1.0f : 0.0f;
                c.KOXP(i, j, 1) = i < 4 ? 1.0f : 0.0f;
                c.KDIA(i, j, 1) = c.KOXM(i, j, 1) + c.KOXP(i, j, 1);
                f.m.wpot.WPOT(i, j, 1) = f.m.wpot.WPOTA(i, j, 1) = 0.0f;
            }
        for (int j = 1; j <= 2; ++j) {
            f.fix_head(1, j, 1, 4.0f);
            f.fix_head(4, j, 1, 8.0f);
        }
        f.m.inf1.ITMAX = 1;
    }
};

TEST_F(TwoRows, AscendingOrderVisitsLeftToRight) {
    f.m.inf1.IRICHT = 0;
    ITERAH(f.m);
    for (int j = 1; j <= 2; ++j) {
        EXPECT_EQ(f.m.wpot.WPOT(2, j, 1), 2.0f);  // (4 + 0) / 2
        EXPECT_EQ(f.m.wpot.WPOT(3, j, 1), 5.0f);  // (2 + 8) / 2
    }
    EXPECT_EQ(f.m.par1.FEHLER, 5.0f);
    EXPECT_EQ(f.m.inf2.NIT, 1);
}

TEST_F(TwoRows, AlternatingOrderRunsEvenRowsRightToLeft) {
    f.m.inf1.IRICHT = 1;
    ITERAH(f.m);
    EXPECT_EQ(f.m.wpot.WPOT(2, 1, 1), 2.0f);
    EXPECT_EQ(f.m.wpot.WPOT(3, 1, 1), 5.0f);
    EXPECT_EQ(f.m.wpot.WPOT(3, 2, 1), 4.0f);  // (0 + 8) / 2 first
    EXPECT_EQ(f.m.wpot.WPOT(2, 2, 1), 4.0f);  // (4 + 4) / 2
}

TEST_F(TwoRows, TimeWeightingAndRelaxation) {
    // ALFA = 0.5: the neighbours enter half with their previous heads (all
    // 0 in the middle, the fixed ends 4 and 8); OMEGA = 1.5 over-relaxes.
    f.m.par2.ALFA = 0.5f;
    f.m.par2.OMEGA = 1.5f;
    ITERAH(f.m);
    // Node 2: neighbours 0.5*4 + 0.5*4 = 4 and 0: (4/2 - 0)*1.5 = 3.
    EXPECT_EQ(f.m.wpot.WPOT(2, 1, 1), 3.0f);
    // Node 3: 0.5*3 + 0.5*0 = 1.5 and 8: (9.5/2)*1.5 = 7.125.
    EXPECT_EQ(f.m.wpot.WPOT(3, 1, 1), 7.125f);
}

// A literal point sweep, with every neighbour tested against the grid
// bounds, to compare the split interior/boundary kernels with.
float literal_point_sweep(Model& m, int32_t L, float OM) {
    const auto& d = m.ndim;
    const auto& c = m.koef;
    const NodeArray<float>* coef[6] = {&c.KOXM, &c.KOXP, &c.KOYM, &c.KOYP, &c.KOZM, &c.KOZP};
    const int nb = d.NZ == 1 ? (d.NY == 1 ? 2 : 4) : 6;
    const int32_t M = m.inf1.IRICHT;
    float F = 0.0f;
    int32_t KA, KE, KS, JA, JE, JS, IA, IE, IS;
    RICHTG(L, KA, KE, KS, d.NZ, M);
    for (int32_t K = KA; KS > 0 ? K <= KE : K >= KE; K += KS) {
        RICHTG(d.NZ == 1 ? L : K, JA, JE, JS, d.NY, M);
        const float Zo = m.par2.HGOK - m.gitt.KORZ(K) - m.gitt.ABZO(K) + m.gitt.ZBRZ(K);
        for (int32_t J = JA; JS > 0 ? J <= JE : J >= JE; J += JS) {
            RICHTG(J, IA, IE, IS, d.NX, M);
            for (int32_t I = IA; IS > 0 ? I <= IE : I >= IE; I += IS) {
                if (m.ifld.JFLG(I, J, K) == 2) continue;
                float sum = 0.0f;
                for (int n = 0; n < nb; ++n) {
                    const int32_t ii = I + INCB::NBI[n], jj = J + INCB::NBJ[n], kk = K + INCB::NBK[n];
                    if (ii < 1 || ii > d.NX || jj < 1 || jj > d.NY || kk < 1 || kk > d.NZ) continue;
                    sum = sum + WICHHY(m, ii, jj, kk) * (*coef[n])(I, J, K);
                }
                const float Hold = m.wpot.WPOT(I, J, K);
                const float Hnew = ((sum + c.RSEI(I, J, K)) / c.KDIA(I, J, K) - Hold) * OM + Hold;
                m.wpot.WPOT(I, J, K) = Hnew;
                if (Hold < Zo && Zo < Hnew) DELTAH(m, I, J, K);
                if (Hnew < Zo) DELTAH(m, I, J, K);
                F = std::fmax(F, std::fabs(Hold - Hnew));
            }
        }
    }
    return F;
}

// A literal line sweep in the same spirit.
double literal_line_sweep(Model& m, int32_t L, float R) {
    const auto& d = m.ndim;
    const auto& c = m.koef;
    auto& H = m.wpot.WPOT;
    auto& t = m.iadi;
    double F = 0.0;
    auto update = [&](int32_t I, int32_t J, int32_t K, int n) {
        const float Hold = H(I, J, K);
        const float Hnew = static_cast<float>(static_cast<double>(Hold) +
                                              static_cast<double>(R) * (t.TDX(n) - static_cast<double>(Hold)));
        H(I, J, K) = Hnew;
        F = std::fmax(F, static_cast<double>(std::fabs(Hnew - Hold)));
        const float Zo = m.par2.HGOK - m.gitt.KORZ(K) - m.gitt.ABZO(K) + m.gitt.ZBRZ(K);
        if (Hold < Zo && Zo < Hnew) DELTAH(m, I, J, K);
        if (Hnew < Zo) DELTAH(m, I, J, K);
    };
    auto term = [&](const NodeArray<float>& a, int32_t I, int32_t J, int32_t K, int32_t i2, int32_t j2, int32_t k2) {
        return static_cast<double>(a(I, J, K) * H(i2, j2, k2));
    };
    int32_t A1, E1, S1, A2, E2, S2;
    if (d.NX != 1 || (d.NY == 1 && d.NZ == 1)) {  // a single node is a line of one
        RICHTG(L, A1, E1, S1, d.NZ, 1);
        for (int32_t K = A1; S1 > 0 ? K <= E1 : K >= E1; K += S1) {
            RICHTG(d.NZ != 1 ? K : L, A2, E2, S2, d.NY, 1);
            for (int32_t J = A2; S2 > 0 ? J <= E2 : J >= E2; J += S2) {
                for (int32_t I = 1; I <= d.NX; ++I) {
                    t.TDA(I) = -static_cast<double>(c.KOXM(I, J, K));
                    t.TDB(I) = c.KDIA(I, J, K);
                    t.TDC(I) = -static_cast<double>(c.KOXP(I, J, K));
                    t.TDX(I) = H(I, J, K);
                    double r = 0.0;
                    if (J != 1) r += term(c.KOYM, I, J, K, I, J - 1, K);
                    if (J != d.NY) r += term(c.KOYP, I, J, K, I, J + 1, K);
                    if (K != 1) r += term(c.KOZM, I, J, K, I, J, K - 1);
                    if (K != d.NZ) r += term(c.KOZP, I, J, K, I, J, K + 1);
                    t.TDR(I) = r + static_cast<double>(c.RSEI(I, J, K));
                }
                THOMAS(t, d.NX);
                for (int32_t I = 1; I <= d.NX; ++I) update(I, J, K, I);
            }
        }
    }
    if (d.NY != 1) {
        RICHTG(L, A1, E1, S1, d.NX, 1);
        for (int32_t I = A1; S1 > 0 ? I <= E1 : I >= E1; I += S1) {
            RICHTG(I, A2, E2, S2, d.NZ, 1);
            for (int32_t K = A2; S2 > 0 ? K <= E2 : K >= E2; K += S2) {
                for (int32_t J = 1; J <= d.NY; ++J) {
                    t.TDA(J) = -static_cast<double>(c.KOYM(I, J, K));
                    t.TDB(J) = c.KDIA(I, J, K);
                    t.TDC(J) = -static_cast<double>(c.KOYP(I, J, K));
                    t.TDX(J) = H(I, J, K);
                    double r = 0.0;
                    if (I != 1) r += term(c.KOXM, I, J, K, I - 1, J, K);
                    if (I != d.NX) r += term(c.KOXP, I, J, K, I + 1, J, K);
                    if (K != 1) r += term(c.KOZM, I, J, K, I, J, K - 1);
                    if (K != d.NZ) r += term(c.KOZP, I, J, K, I, J, K + 1);
                    t.TDR(J) = r + static_cast<double>(c.RSEI(I, J, K));
                }
                THOMAS(t, d.NY);
                for (int32_t J = 1; J <= d.NY; ++J) update(I, J, K, J);
            }
        }
    }
    if (d.NZ != 1) {
        RICHTG(L, A1, E1, S1, d.NY, 1);
        for (int32_t J = A1; S1 > 0 ? J <= E1 : J >= E1; J += S1) {
            RICHTG(J, A2, E2, S2, d.NX, 1);
            for (int32_t I = A2; S2 > 0 ? I <= E2 : I >= E2; I += S2) {
                for (int32_t K = 1; K <= d.NZ; ++K) {
                    t.TDA(K) = -static_cast<double>(c.KOZM(I, J, K));
                    t.TDB(K) = c.KDIA(I, J, K);
                    t.TDC(K) = -static_cast<double>(c.KOZP(I, J, K));
                    t.TDX(K) = H(I, J, K);
                    double r = 0.0;
                    if (I != 1) r += term(c.KOXM, I, J, K, I - 1, J, K);
                    if (I != d.NX) r += term(c.KOXP, I, J, K, I + 1, J, K);
                    if (J != 1) r += term(c.KOYM, I, J, K, I, J - 1, K);
                    if (J != d.NY) r += term(c.KOYP, I, J, K, I, J + 1, K);
                    t.TDR(K) = r + static_cast<double>(c.RSEI(I, J, K));
                }
                THOMAS(t, d.NZ);
                for (int32_t K = 1; K <= d.NZ; ++K) update(I, J, K, K);
            }
        }
    }
    return F;
}

// A heterogeneous, partly unconfined model with sources, constant heads and
// heads around the cell tops, the same for every seed.
void scramble(FlowModel& f, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> logk(-6.0f, -3.0f), head(8.0f, 22.0f), unit(0.0f, 1.0f);
    auto& m = f.m;
    const auto& d = m.ndim;
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) {
                m.trns.TRSX(i, j, k) = std::pow(10.0f, logk(gen));
                m.trns.TRSY(i, j, k) = std::pow(10.0f, logk(gen));
                m.trns.TRSZ(i, j, k) = std::pow(10.0f, logk(gen));
                m.wpot.WPOT(i, j, k) = m.wpot.WPOTA(i, j, k) = head(gen);
                m.trns.QUEL(i, j, k) = unit(gen) < 0.1f ? -1.0E-3f : 0.0f;
                m.ifld.JFLG(i, j, k) = unit(gen) < 0.1f ? 2 : 1;
            }
    m.par1.DELT = 3600.0f;
}

struct Shape {
    int nx, ny, nz, iricht;
};

class SweepOrders : public ::testing::TestWithParam<Shape> {};

// Three sweeps of the solver against three literal sweeps: the same heads,
// bit for bit, on grids that exercise every kernel of the split loops.
TEST_P(SweepOrders, PointIterationMatchesTheLiteralSweep) {
    const Shape s = GetParam();
    FlowModel a(s.nx, s.ny, s.nz, 10.0f, 10.0f, 5.0f, 20.0f), b(s.nx, s.ny, s.nz, 10.0f, 10.0f, 5.0f, 20.0f);
    for (FlowModel* f : {&a, &b}) {
        scramble(*f, 17u);
        f->m.inf1.IRICHT = s.iricht;
        f->m.par2.OMEGA = 1.3f;
        f->m.par2.ALFA = 0.7f;
        f->build();
    }
    a.m.inf1.ITMAX = 3;
    a.m.par2.EPSH = -1.0f;  // never converged: exactly three sweeps
    ITERAH(a.m);
    float F = 0.0f;
    for (int L = 1; L <= 3; ++L) F = literal_point_sweep(b.m, L, 1.3f);
    EXPECT_EQ(a.m.inf2.NIT, 3);
    EXPECT_EQ(a.m.par1.FEHLER, F);
    for (int k = 1; k <= s.nz; ++k)
        for (int j = 1; j <= s.ny; ++j)
            for (int i = 1; i <= s.nx; ++i)
                ASSERT_EQ(a.m.wpot.WPOT(i, j, k), b.m.wpot.WPOT(i, j, k)) << i << ',' << j << ',' << k;
}

TEST_P(SweepOrders, LineIterationMatchesTheLiteralSweep) {
    const Shape s = GetParam();
    FlowModel a(s.nx, s.ny, s.nz, 10.0f, 10.0f, 5.0f, 20.0f), b(s.nx, s.ny, s.nz, 10.0f, 10.0f, 5.0f, 20.0f);
    for (FlowModel* f : {&a, &b}) {
        scramble(*f, 29u);
        f->m.par2.OMEGA = -1.2f;
        f->build();
    }
    a.m.inf1.ITMAX = 3;
    a.m.par2.EPSH = -1.0f;
    IADIST(a.m);
    double F = 0.0;
    for (int L = 1; L <= 3; ++L) F = literal_line_sweep(b.m, L, 1.2f);
    EXPECT_EQ(a.m.inf2.NIT, 3);
    EXPECT_EQ(a.m.par1.FEHLER, static_cast<float>(F));
    for (int k = 1; k <= s.nz; ++k)
        for (int j = 1; j <= s.ny; ++j)
            for (int i = 1; i <= s.nx; ++i)
                ASSERT_EQ(a.m.wpot.WPOT(i, j, k), b.m.wpot.WPOT(i, j, k)) << i << ',' << j << ',' << k;
}

INSTANTIATE_TEST_SUITE_P(Grids, SweepOrders,
                         ::testing::Values(Shape{6, 5, 4, 0}, Shape{6, 5, 4, 1}, Shape{7, 6, 1, 1}, Shape{5, 1, 4, 1},
                                           Shape{1, 5, 3, 1}, Shape{8, 1, 1, 0}, Shape{2, 2, 2, 1},
                                           Shape{1, 1, 1, 0}));

// ------------------------------------------------------ steady 1-D flow

// Steady flow between fixed heads 10 m and 5 m over 100 m in a uniform
// confined layer: the exact discrete solution is linear. A solve stops at a
// change per sweep of EPSH; its distance to the solution is then at most
// EPSH / (1 - spectral radius): about 10 EPSH for Gauss-Seidel on these nine
// unknowns, 2.5 EPSH for SOR with 1.6, less for the line solvers, which
// solve this single line exactly (relaxation 0.8 leaves 0.2 of the error per
// sweep). SOR needs 5e-6 m: over-relaxed single-precision heads settle into
// a cycle of two units in the last place (1.9e-6 m).
struct SteadyCase {
    float omega, epsh;
};

class SteadyLine : public ::testing::TestWithParam<SteadyCase> {};

TEST_P(SteadyLine, HeadsAreLinearBetweenConstantHeads) {
    const SteadyCase c = GetParam();
    FlowModel f(11, 1, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 10.0f, 0.0f);
    f.fix_head(11, 1, 1, 5.0f);
    f.fix_head(1, 1, 1, 10.0f);
    f.m.par2.OMEGA = c.omega;
    f.m.par2.EPSH = c.epsh;
    f.m.inf1.ITMAX = 5000;
    f.m.inf1.IRICHT = 1;
    f.build();
    if (c.omega > 0.0f) {
        ITERAH(f.m);
    } else {
        IADIST(f.m);
    }
    EXPECT_LT(f.m.inf2.NIT, 5000) << f.m.par1.FEHLER;
    // The point iteration does not touch constant heads; the line iteration
    // holds them by their storage term, to within rounding.
    if (c.omega > 0.0f) {
        EXPECT_EQ(f.m.wpot.WPOT(1, 1, 1), 10.0f);
        EXPECT_EQ(f.m.wpot.WPOT(11, 1, 1), 5.0f);
    }
    for (int i = 1; i <= 11; ++i)
        EXPECT_NEAR(f.m.wpot.WPOT(i, 1, 1), 10.0 - 0.5 * (i - 1), 12.0 * static_cast<double>(c.epsh)) << i;
}

INSTANTIATE_TEST_SUITE_P(Solvers, SteadyLine,
                         ::testing::Values(SteadyCase{1.0f, 1.0E-6f}, SteadyCase{1.6f, 5.0E-6f},
                                           SteadyCase{-1.0f, 1.0E-6f}, SteadyCase{-0.8f, 1.0E-6f}));

// ------------------------------------------------------------ stop rule

struct OneNode : ::testing::Test {
    FlowModel f{1, 1, 1, 10.0f, 10.0f, 10.0f, -100.0f};
    void SetUp() override {
        f.m.wpot.WPOT(1, 1, 1) = 1.0f;
        f.m.koef.KDIA(1, 1, 1) = 1.0f;
        f.m.koef.RSEI(1, 1, 1) = 1.5f;  // solution 1.5: the first change is 0.5 exactly
    }
};

TEST_F(OneNode, AnErrorEqualToTheLimitStops) {
    f.m.par2.EPSH = 0.5f;
    ITERAH(f.m);
    EXPECT_EQ(f.m.inf2.NIT, 1);
    EXPECT_EQ(f.m.par1.FEHLER, 0.5f);
    EXPECT_EQ(f.m.inf1.KONTRL, 1);
    f.m.wpot.WPOT(1, 1, 1) = 1.0f;
    f.m.par2.EPSH = 0.49f;
    ITERAH(f.m);
    EXPECT_EQ(f.m.inf2.NIT, 2);
    EXPECT_EQ(f.m.par1.FEHLER, 0.0f);
}

TEST_F(OneNode, OneSweepWhenItmaxIsOne) {
    f.m.par2.EPSH = 0.0f;
    f.m.inf1.ITMAX = 1;
    f.m.wpot.WPOT(1, 1, 1) = 0.0f;
    ITERAH(f.m);
    EXPECT_EQ(f.m.inf2.NIT, 1);
    EXPECT_EQ(f.m.wpot.WPOT(1, 1, 1), 1.5f);
}

// A grid of one node has no line in any direction; the line iteration still
// solves its equation (as a line of one node) instead of leaving the head
// unchanged and reporting convergence.
TEST_F(OneNode, LineIterationSolvesASingleNodeGrid) {
    f.m.par2.OMEGA = -0.5f;
    f.m.par2.EPSH = 0.0f;
    f.m.inf1.ITMAX = 1;
    IADIST(f.m);
    EXPECT_EQ(f.m.inf2.NIT, 1);
    EXPECT_EQ(f.m.wpot.WPOT(1, 1, 1), 1.25f);  // half-way from 1 toward 1.5
    EXPECT_EQ(f.m.par1.FEHLER, 0.25f);
}

TEST_F(OneNode, ProgressLineAfterEverySweep) {
    f.m.inf2.IBILD = 1;
    f.m.par2.EPSH = 0.49f;
    ITERAH(f.m);
    f.m.io.console().flush();
    EXPECT_EQ(f.text(),
              "                ********* Subroutine ITERAH **********\n"
              "\n"
              "+ Iteration Nummer ==>   1 === Iterationsfehler =    0.500000\n"
              "+ Iteration Nummer ==>   2 === Iterationsfehler =    0.000000\n");
}

// --------------------------------------------------- zero diagonal, NaN

// A node without conductance and without storage (an impermeable cell with
// storage coefficient 0) has the diagonal 0. It keeps its head; without that
// the 0/0 of its update spreads NaN over the grid within a sweep.
TEST(ZeroDiagonal, NodeWithoutEquationKeepsItsHead) {
    for (float omega : {1.0f, -1.0f}) {
        FlowModel f(5, 5, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 10.0f, 0.0f);
        f.m.trns.TRSX(3, 3, 1) = f.m.trns.TRSY(3, 3, 1) = f.m.trns.TRSZ(3, 3, 1) = 0.0f;
        f.m.wpot.WPOT(3, 3, 1) = f.m.wpot.WPOTA(3, 3, 1) = 7.0f;
        for (int j = 1; j <= 5; ++j) f.fix_head(1, j, 1, 12.0f);
        f.m.par2.OMEGA = omega;
        f.build();
        ASSERT_EQ(f.m.koef.KDIA(3, 3, 1), 0.0f);
        if (omega > 0.0f) {
            ITERAH(f.m);
        } else {
            IADIST(f.m);
        }
        EXPECT_TRUE(std::isfinite(f.m.par1.FEHLER)) << omega;
        EXPECT_LE(f.m.par1.FEHLER, f.m.par2.EPSH) << omega;
        EXPECT_EQ(f.m.wpot.WPOT(3, 3, 1), 7.0f) << omega;
        // Everything else drains toward the fixed heads: no flow, all 12 m.
        EXPECT_NEAR(f.m.wpot.WPOT(5, 5, 1), 12.0f, 1.0e-4) << omega;
    }
}

// A NaN change anywhere in a sweep makes the error NaN, even when finite
// changes come before and after it, and ends the solve.
TEST(DivergingSolve, NanChangeBetweenFiniteOnesEndsThePointIteration) {
    // Node 1 changes first (finite); node 2 has a NaN source; the constant
    // head at node 3 is not updated, so nodes 4 and 5 change finitely after
    // the NaN within the same sweep.
    FlowModel f(5, 1, 1);
    f.m.wpot.WPOT(1, 1, 1) = f.m.wpot.WPOTA(1, 1, 1) = 14.0f;
    f.m.trns.QUEL(2, 1, 1) = std::numeric_limits<float>::quiet_NaN();
    f.fix_head(3, 1, 1, 10.0f);
    f.m.wpot.WPOT(5, 1, 1) = f.m.wpot.WPOTA(5, 1, 1) = 6.0f;
    f.build();
    ITERAH(f.m);
    EXPECT_TRUE(std::isnan(f.m.par1.FEHLER));
    EXPECT_EQ(f.m.inf2.NIT, 1);
    EXPECT_TRUE(std::isfinite(f.m.wpot.WPOT(1, 1, 1)));
    EXPECT_TRUE(std::isnan(f.m.wpot.WPOT(2, 1, 1)));
    EXPECT_TRUE(std::isfinite(f.m.wpot.WPOT(5, 1, 1)));
}

TEST(DivergingSolve, NanChangeEndsTheLineIteration) {
    FlowModel f(4, 3, 2);
    f.m.trns.QUEL(2, 2, 1) = std::numeric_limits<float>::quiet_NaN();
    f.m.par2.OMEGA = -1.0f;
    f.build();
    IADIST(f.m);
    EXPECT_TRUE(std::isnan(f.m.par1.FEHLER));
    EXPECT_EQ(f.m.inf2.NIT, 1);
}

TEST(DivergingSolve, ErrorMaximumKeepsNan) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float F = 0.0f;
    raise_error(F, 2.0f);
    EXPECT_EQ(F, 2.0f);
    raise_error(F, nan);
    EXPECT_TRUE(std::isnan(F));
    raise_error(F, 5.0f);
    EXPECT_TRUE(std::isnan(F));
    double D = 0.0;
    raise_error(D, static_cast<double>(nan));
    raise_error(D, 1.0);
    EXPECT_TRUE(std::isnan(D));
}

// ------------------------------------------------------- the dialogue

// A 1-D problem to solve, with the offer of new factors after the solve and
// the listing on the console.
struct Dialogue : ::testing::Test {
    FlowModel f{6, 1, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 10.0f, 0.0f};
    void SetUp() override {
        f.fix_head(6, 1, 1, 5.0f);
        f.fix_head(1, 1, 1, 10.0f);
        f.m.inf2.IAENDR = 2;
        f.m.par2.EPSH = 1.0E-5f;
        f.build();
    }
    static constexpr const char* question = " Werden neue Werte fuer OMEGA und ALFA gewuenscht?  (J/N)  ==> ";
    // T16 puts the leading blank of the prompt text in column 16.
    static constexpr const char* omega_prompt = "                Bitte neuen Wert fuer OMEGA eingeben ==>  ";
    static constexpr const char* alfa_prompt = "                Bitte neuen Wert fuer ALFA eingeben  ==>  ";
};

TEST_F(Dialogue, DeclinedOfferIsRecordedAndNotRepeated) {
    f.type("n\n");
    ITERAH(f.m);
    f.m.io.console().flush();
    const std::string text = f.text();
    char report[200];
    std::snprintf(report, sizeof report,
                  " Bei OMEGA = 1.000 ergab sich nach %2d Iterationen ein Fehler von %8.6f\n"
                  " Wichtungsfaktor ALFA =  1.00\n",
                  f.m.inf2.NIT, static_cast<double>(f.m.par1.FEHLER));
    EXPECT_EQ(text, std::string(report) + question +
                        "\n"
                        "\n"
                        " Aenderung in der Stroemungsberechnung:\n"
                        " --------------------------------------\n"
                        "\n"
                        " OMEGA - Wert wurde auf 1.00 geaendert\n"
                        " Wichtungsfaktor ALFA wurde auf 1.00 geaendert\n");
    EXPECT_EQ(f.m.inf2.IAENDR, 1);
    ITERAH(f.m);  // no second offer
    EXPECT_EQ(count(f.text(), question), 1);
}

TEST_F(Dialogue, EndOfInputCountsAsNo) {
    f.type("");
    ITERAH(f.m);
    EXPECT_EQ(f.m.inf2.IAENDR, 1);
    EXPECT_EQ(count(f.text(), question), 1);
    EXPECT_EQ(count(f.text(), " Aenderung in der Stroemungsberechnung:"), 1);
}

TEST_F(Dialogue, NewFactorsRestartTheSolveFromThePreviousHeads) {
    // An answer other than J/N is asked again; factors outside 0 < OMEGA < 2
    // and 0 <= ALFA <= 1 and unreadable answers are asked again; an empty
    // line is passed over as a list-directed read does.
    f.type("x\nJ\n0\n2\nabc\n\n1.5\n-0.1\n0.5\nn\n");
    ITERAH(f.m);
    EXPECT_EQ(f.m.par2.OMEGA, 1.5f);
    EXPECT_EQ(f.m.par2.ALFA, 0.5f);
    EXPECT_EQ(f.m.inf2.IAENDR, 1);
    const std::string text = f.text();
    EXPECT_EQ(count(text, question), 3);
    EXPECT_EQ(count(text, std::string("\n") + omega_prompt), 4);
    EXPECT_EQ(count(text, std::string("\n") + alfa_prompt), 2);
    EXPECT_EQ(count(text, " OMEGA - Wert wurde auf 1.50 geaendert"), 1);
    EXPECT_EQ(count(text, " Wichtungsfaktor ALFA wurde auf 0.50 geaendert"), 1);

    // The repeated solve is a fresh solve with the new factors.
    FlowModel g(6, 1, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 10.0f, 0.0f);
    g.fix_head(6, 1, 1, 5.0f);
    g.fix_head(1, 1, 1, 10.0f);
    g.m.par2.EPSH = 1.0E-5f;
    g.m.par2.OMEGA = 1.5f;
    g.m.par2.ALFA = 0.5f;
    g.build();
    ITERAH(g.m);
    EXPECT_EQ(f.m.inf2.NIT, g.m.inf2.NIT);
    EXPECT_EQ(f.m.par1.FEHLER, g.m.par1.FEHLER);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(f.m.wpot.WPOT(i, 1, 1), g.m.wpot.WPOT(i, 1, 1)) << i;
}

TEST_F(Dialogue, LineSolverKeepsItsNegativeFactor) {
    f.m.par2.OMEGA = -1.0f;
    f.type("j\n1.2\n1\nN\n");
    IADIST(f.m);
    EXPECT_EQ(f.m.par2.OMEGA, -1.2f);
    EXPECT_EQ(f.m.par2.ALFA, 1.0f);
    EXPECT_EQ(f.m.inf2.IAENDR, 1);
    EXPECT_EQ(count(f.text(), " OMEGA - Wert wurde auf 1.20 geaendert"), 1);
    EXPECT_NEAR(f.m.wpot.WPOT(3, 1, 1), 8.0f, 1.0e-4);
}

TEST_F(Dialogue, EndOfInputAtAValuePromptKeepsTheFactors) {
    f.m.par2.OMEGA = 1.1f;
    f.m.par2.ALFA = 0.9f;
    f.type("J\n");
    ITERAH(f.m);  // must end: the second offer meets the end of the input
    EXPECT_EQ(f.m.par2.OMEGA, 1.1f);
    EXPECT_EQ(f.m.par2.ALFA, 0.9f);
    EXPECT_EQ(f.m.inf2.IAENDR, 1);
    EXPECT_EQ(count(f.text(), question), 2);
}

struct ListAnswer {
    const char* keys;
    float omega, alfa;
};

class ListDirected : public ::testing::TestWithParam<ListAnswer> {};

// The value answers are read list-directed: E, D and sign exponents, a
// repeat count, separators, null values that keep the factor.
TEST_P(ListDirected, AnswersAreReadAsAListDirectedRead) {
    FlowModel f(1, 1, 1);
    f.m.inf2.IAENDR = 2;
    f.type(GetParam().keys);
    float om = 1.0f, al = 1.0f;
    OMEGAT(f.m, 0.0, om, al);
    EXPECT_EQ(om, GetParam().omega);
    EXPECT_EQ(al, GetParam().alfa);
    EXPECT_EQ(f.m.par2.OMEGA, GetParam().omega);
}

INSTANTIATE_TEST_SUITE_P(Forms, ListDirected,
                         ::testing::Values(ListAnswer{"J\n1.5\n0.5\n", 1.5f, 0.5f},
                                           ListAnswer{"J\n  1.5E0, 7\n 5.0D-1\n", 1.5f, 0.5f},
                                           ListAnswer{"J\n+.8\n2*0.25\n", 0.8f, 0.25f},
                                           ListAnswer{"J\n1.2+0\n.5/\n", 1.2f, 0.5f},
                                           ListAnswer{"J\n,\n/\n", 1.0f, 1.0f},
                                           ListAnswer{"J\n1.5.\n1e\n1*\n0\n", 1.0f, 0.0f},
                                           ListAnswer{"J\nnan\ninf\n1.9\n1.0\n", 1.9f, 1.0f}));

TEST(OmegatHeat, NewFactorsResetTheTemperatures) {
    FlowModel f(2, 1, 1);
    f.m.inf2.IAENDR = 1;
    f.m.temp.TEMP(2, 1, 1) = 300.0;
    f.m.temp.TEMPA(2, 1, 1) = 283.15;
    f.type("J\n0.9\n0.5\n");
    float om = 1.0f, al = 1.0f;
    OMEGAT(f.m, 0.25, om, al);
    EXPECT_EQ(f.m.temp.TEMP(2, 1, 1), 283.15);
    EXPECT_EQ(f.m.par1.OMEGT, 0.9f);
    EXPECT_EQ(f.m.par1.ALFAT, 0.5f);
    EXPECT_EQ(f.m.inf2.IAENDR, 1);
    EXPECT_EQ(f.m.par2.OMEGA, 1.0f);  // the flow factors are not touched

    f.type("n\n");
    OMEGAT(f.m, 0.25, om, al);
    EXPECT_EQ(f.m.inf2.IAENDR, 0);
    EXPECT_EQ(count(f.text(), " Aenderung in der Temperaturberechnung:"), 1);
}

}  // namespace
}  // namespace gruv
