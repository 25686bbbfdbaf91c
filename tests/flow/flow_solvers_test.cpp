// The flow solvers: sweep orders against literal sweeps, convergence and the
// stop rule, constant heads, the zero diagonal, a diverging solve, and the
// interactive change of the factors with the repeated solve.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "flow/layer_faces.hpp"
#include "flow/line_solver.hpp"
#include "flow_fixture.hpp"

namespace gruv {
namespace {

using test::count;
using test::FlowModel;

// ------------------------------------------------------ literal sweeps

//! The loop over 1..N that RICHTG gives for sweep L and mode M.
std::vector<int32_t> order(int32_t L, int32_t N, int32_t M) {
    int32_t A, E, S;
    RICHTG(L, A, E, S, N, M);
    std::vector<int32_t> v;
    for (int32_t n = (E - A + S) / S, x = A; n > 0; --n, x += S) v.push_back(x);
    return v;
}

std::array<const NodeArray<float>*, 6> faces(const Model& m) {
    const auto& c = m.koef;
    return {&c.KOXM, &c.KOXP, &c.KOYM, &c.KOYP, &c.KOZM, &c.KOZP};
}

//! The two DELTAH tests after a node update.
void deltah_tests(Model& m, int32_t I, int32_t J, int32_t K, float Hold, float Hnew) {
    const float Zo = m.par2.HGOK - m.gitt.KORZ(K) - m.gitt.ABZO(K) + m.gitt.ZBRZ(K);
    if (Hold < Zo && Zo < Hnew) DELTAH(m, I, J, K);
    if (Hnew < Zo) DELTAH(m, I, J, K);
}

//! A point sweep as the algorithm reads, every neighbour tested against the
//! grid, to compare the split interior/boundary kernels with.
float literal_point_sweep(Model& m, int32_t L, float OM) {
    const auto& d = m.ndim;
    const auto co = faces(m);
    const int nb = d.NZ == 1 ? (d.NY == 1 ? 2 : 4) : 6;
    const int32_t M = m.inf1.IRICHT;
    float F = 0.0f;
    for (int32_t K : order(L, d.NZ, M))
        for (int32_t J : order(d.NZ == 1 ? L : K, d.NY, M))
            for (int32_t I : order(J, d.NX, M)) {
                if (m.ifld.JFLG(I, J, K) == 2) continue;
                float sum = 0.0f;
                for (int n = 0; n < nb; ++n) {
                    const int32_t i = I + INCB::NBI[n], j = J + INCB::NBJ[n], k = K + INCB::NBK[n];
                    if (i >= 1 && i <= d.NX && j >= 1 && j <= d.NY && k >= 1 && k <= d.NZ)
                        sum = sum + WICHHY(m, i, j, k) * (*co[n])(I, J, K);
                }
                const float Hold = m.wpot.WPOT(I, J, K);
                const float Hnew = ((sum + m.koef.RSEI(I, J, K)) / m.koef.KDIA(I, J, K) - Hold) * OM + Hold;
                m.wpot.WPOT(I, J, K) = Hnew;
                deltah_tests(m, I, J, K, Hold, Hnew);
                F = std::fmax(F, std::fabs(Hold - Hnew));
            }
    return F;
}

//! A line sweep as the algorithm reads: lines along axis a (0 X, 1 Y, 2 Z);
//! X lines by layers (sweep order) and rows (layer order, sweep order in one
//! layer), Y lines by columns and layers, Z lines by rows and columns; the
//! off-line neighbours on the right-hand side in face order.
double literal_line_sweep(Model& m, int32_t L, float R) {
    const auto& d = m.ndim;
    const auto co = faces(m);
    auto& H = m.wpot.WPOT;
    auto& t = m.iadi;
    const int32_t N[3] = {d.NX, d.NY, d.NZ};
    const int outer[3] = {2, 0, 1}, inner[3] = {1, 2, 0};
    double F = 0.0;
    for (int a = 0; a < 3; ++a) {
        const bool single_node = N[0] == 1 && N[1] == 1 && N[2] == 1;  // solved as a line of one node
        if (N[a] == 1 && !(a == 0 && single_node)) continue;
        for (int32_t p : order(L, N[outer[a]], 1))
            for (int32_t q : order(a == 0 && d.NZ == 1 ? L : p, N[inner[a]], 1)) {
                int32_t x[3];
                x[outer[a]] = p;
                x[inner[a]] = q;
                for (x[a] = 1; x[a] <= N[a]; ++x[a]) {
                    const int32_t I = x[0], J = x[1], K = x[2], n = x[a];
                    t.TDA(n) = -static_cast<double>((*co[2 * a])(I, J, K));
                    t.TDB(n) = static_cast<double>(m.koef.KDIA(I, J, K));
                    t.TDC(n) = -static_cast<double>((*co[2 * a + 1])(I, J, K));
                    t.TDX(n) = static_cast<double>(H(I, J, K));
                    double r = 0.0;
                    for (int b = 0; b < 3; ++b) {
                        if (b == a) continue;
                        int32_t y[3] = {I, J, K};
                        y[b] = x[b] - 1;
                        if (x[b] != 1) r += static_cast<double>((*co[2 * b])(I, J, K) * H(y[0], y[1], y[2]));
                        y[b] = x[b] + 1;
                        if (x[b] != N[b]) r += static_cast<double>((*co[2 * b + 1])(I, J, K) * H(y[0], y[1], y[2]));
                    }
                    t.TDR(n) = r + static_cast<double>(m.koef.RSEI(I, J, K));
                }
                THOMAS(t, N[a]);
                for (x[a] = 1; x[a] <= N[a]; ++x[a]) {
                    const float Hold = H(x[0], x[1], x[2]);
                    const double relaxed = static_cast<double>(Hold) + static_cast<double>(R) *
                                                                           (t.TDX(x[a]) - static_cast<double>(Hold));
                    const float Hnew = static_cast<float>(relaxed);
                    H(x[0], x[1], x[2]) = Hnew;
                    F = std::fmax(F, static_cast<double>(std::fabs(Hnew - Hold)));
                    deltah_tests(m, x[0], x[1], x[2], Hold, Hnew);
                }
            }
    }
    return F;
}

// A heterogeneous, partly unconfined model with sources, constant heads and
// heads around the cell tops (layers of 5 m below 20 m), the same per seed.
void scramble(FlowModel& f, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> logk(-6.0f, -3.0f), head(8.0f, 22.0f), unit(0.0f, 1.0f);
    auto& m = f.m;
    for (int k = 1; k <= m.ndim.NZ; ++k)
        for (int j = 1; j <= m.ndim.NY; ++j)
            for (int i = 1; i <= m.ndim.NX; ++i) {
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

// Three sweeps of each solver against three literal sweeps: the same heads
// and error, bit for bit, on grids that exercise every kernel of the split
// loops and both orders.
TEST_P(SweepOrders, SolversMatchTheLiteralSweeps) {
    const Shape s = GetParam();
    // ALFA = 1 lets the point sweep take its neighbours' heads alone.
    for (const auto& [omega, alfa] : {std::pair{1.3f, 0.7f}, std::pair{1.3f, 1.0f}, std::pair{-1.2f, 0.7f}}) {
        FlowModel a(s.nx, s.ny, s.nz, 10.0f, 10.0f, 5.0f, 20.0f), b(s.nx, s.ny, s.nz, 10.0f, 10.0f, 5.0f, 20.0f);
        for (FlowModel* f : {&a, &b}) {
            scramble(*f, 17u);
            f->m.inf1.IRICHT = s.iricht;
            f->m.par2.OMEGA = omega;
            f->m.par2.ALFA = alfa;
            f->build();
        }
        a.m.inf1.ITMAX = 3;
        a.m.par2.EPSH = -1.0f;  // never converged: exactly three sweeps
        double F = 0.0;
        if (omega > 0.0f) {
            ITERAH(a.m);
            for (int L = 1; L <= 3; ++L) F = static_cast<double>(literal_point_sweep(b.m, L, omega));
        } else {
            IADIST(a.m);
            for (int L = 1; L <= 3; ++L) F = literal_line_sweep(b.m, L, -omega);
        }
        EXPECT_EQ(a.m.inf2.NIT, 3);
        EXPECT_EQ(a.m.par1.FEHLER, static_cast<float>(F)) << omega << " " << alfa;
        for (int k = 1; k <= s.nz; ++k)
            for (int j = 1; j <= s.ny; ++j)
                for (int i = 1; i <= s.nx; ++i)
                    ASSERT_EQ(a.m.wpot.WPOT(i, j, k), b.m.wpot.WPOT(i, j, k))
                        << omega << " " << alfa << " " << i << j << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Grids, SweepOrders,
                         ::testing::Values(Shape{6, 5, 4, 0}, Shape{6, 5, 4, 1}, Shape{7, 6, 1, 1}, Shape{5, 1, 4, 1},
                                           Shape{1, 5, 3, 1}, Shape{8, 1, 1, 0}, Shape{2, 2, 2, 1},
                                           Shape{1, 1, 1, 0}));

// Rows of four nodes coupled only along X (coefficient 1 each way), fixed
// heads 4 and 8 at the ends, middle heads 0: one Gauss-Seidel sweep shows
// the order, independently of the literal sweep. With ALFA = 0.5 the
// neighbours enter half with their previous heads.
TEST(PointIteration, OrdersAndTimeWeightingByHand) {
    for (int iricht : {0, 1}) {
        FlowModel f(4, 2, 1, 10.0f, 10.0f, 10.0f, -100.0f);
        auto& c = f.m.koef;
        for (int j = 1; j <= 2; ++j) {
            for (int i = 1; i <= 4; ++i) {
                c.KOXM(i, j, 1) = i > 1 ? 1.0f : 0.0f;
                c.KOXP(i, j, 1) = i < 4 ? 1.0f : 0.0f;
                c.KDIA(i, j, 1) = c.KOXM(i, j, 1) + c.KOXP(i, j, 1);
                f.m.wpot.WPOT(i, j, 1) = f.m.wpot.WPOTA(i, j, 1) = 0.0f;
            }
            f.fix_head(1, j, 1, 4.0f);
            f.fix_head(4, j, 1, 8.0f);
        }
        f.m.inf1.ITMAX = 1;
        f.m.inf1.IRICHT = iricht;
        ITERAH(f.m);
        EXPECT_EQ(f.m.wpot.WPOT(2, 1, 1), 2.0f);  // (4 + 0) / 2
        EXPECT_EQ(f.m.wpot.WPOT(3, 1, 1), 5.0f);  // (2 + 8) / 2
        // The second row runs right to left when alternating: (0 + 8) / 2 first.
        EXPECT_EQ(f.m.wpot.WPOT(3, 2, 1), iricht == 1 ? 4.0f : 5.0f) << iricht;
        EXPECT_EQ(f.m.wpot.WPOT(2, 2, 1), iricht == 1 ? 4.0f : 2.0f) << iricht;
        EXPECT_EQ(f.m.par1.FEHLER, 5.0f);
        f.m.par2.ALFA = 0.5f;
        EXPECT_EQ(WICHHY(f.m, 2, 2, 1), 0.5f * f.m.wpot.WPOT(2, 2, 1));
    }
}

// One node whose equation gives 1.5 from 1.0: the first change is 0.5 exactly.
struct OneNode : ::testing::Test {
    FlowModel f{1, 1, 1, 10.0f, 10.0f, 10.0f, -100.0f};
    void SetUp() override {
        f.m.wpot.WPOT(1, 1, 1) = 1.0f;
        f.m.koef.KDIA(1, 1, 1) = 1.0f;
        f.m.koef.RSEI(1, 1, 1) = 1.5f;
    }
};

// An error equal to the limit stops; a smaller limit takes a second sweep;
// the progress line follows every sweep; ITMAX = 1 stops after one sweep.
TEST_F(OneNode, StopRuleProgressLineAndItmax) {
    f.m.par2.EPSH = 0.5f;
    ITERAH(f.m);
    EXPECT_EQ(f.m.inf2.NIT, 1);
    EXPECT_EQ(f.m.inf1.KONTRL, 1);
    f.m.wpot.WPOT(1, 1, 1) = 1.0f;
    f.m.par2.EPSH = 0.49f;
    f.m.inf2.IBILD = 1;
    ITERAH(f.m);
    EXPECT_EQ(f.m.inf2.NIT, 2);
    EXPECT_EQ(f.text(),
              "                ********* Subroutine ITERAH **********\n"
              "\n"
              "+ Iteration Nummer ==>   1 === Iterationsfehler =    0.500000\n"
              "+ Iteration Nummer ==>   2 === Iterationsfehler =    0.000000\n");
    f.m.inf2.IBILD = 0;
    f.m.wpot.WPOT(1, 1, 1) = 0.0f;
    f.m.par2.EPSH = 0.0f;
    f.m.inf1.ITMAX = 1;
    ITERAH(f.m);
    EXPECT_EQ(f.m.inf2.NIT, 1);
    EXPECT_EQ(f.m.wpot.WPOT(1, 1, 1), 1.5f);
}

// A grid of one node has no line in any direction; the line iteration still
// solves its equation (as a line of one node) instead of leaving the head
// unchanged and reporting convergence.
TEST_F(OneNode, LineIterationSolvesASingleNodeGrid) {
    f.m.par2.OMEGA = -0.5f;
    f.m.inf1.ITMAX = 1;
    IADIST(f.m);
    EXPECT_EQ(f.m.wpot.WPOT(1, 1, 1), 1.25f);  // half-way from 1 toward 1.5
    EXPECT_EQ(f.m.par1.FEHLER, 0.25f);
}

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
        omega > 0.0f ? ITERAH(f.m) : IADIST(f.m);
        EXPECT_LE(f.m.par1.FEHLER, f.m.par2.EPSH) << omega;  // also not NaN
        EXPECT_EQ(f.m.wpot.WPOT(3, 3, 1), 7.0f) << omega;
        EXPECT_NEAR(f.m.wpot.WPOT(5, 5, 1), 12.0f, 1.0e-4) << omega;  // no flow: all at the fixed head
    }
}

// A NaN change anywhere in a sweep makes the error NaN, even when finite
// changes come after it, and ends the solve: node 2 has a NaN source, the
// constant head at node 3 stops its spread, nodes 4 and 5 change finitely
// later in the same sweep.
TEST(DivergingSolve, NanChangeEndsTheSolve) {
    for (float omega : {1.0f, -1.0f}) {
        FlowModel f(5, 1, 1);
        f.m.wpot.WPOT(1, 1, 1) = f.m.wpot.WPOTA(1, 1, 1) = 14.0f;
        f.m.trns.QUEL(2, 1, 1) = std::numeric_limits<float>::quiet_NaN();
        f.fix_head(3, 1, 1, 10.0f);
        f.m.wpot.WPOT(5, 1, 1) = f.m.wpot.WPOTA(5, 1, 1) = 6.0f;
        f.m.par2.OMEGA = omega;
        f.build();
        omega > 0.0f ? ITERAH(f.m) : IADIST(f.m);
        EXPECT_TRUE(std::isnan(f.m.par1.FEHLER)) << omega;
        EXPECT_EQ(f.m.inf2.NIT, 1) << omega;
    }
    double F = 0.0;
    for (double change : {2.0, std::numeric_limits<double>::quiet_NaN(), 5.0}) raise_error(F, change);
    EXPECT_TRUE(std::isnan(F));
}

// The sweeps keep their largest change with LargestChange instead of
// raise_error: the same value to the last bit for every sequence of changes,
// the last of several NaNs (told apart by their payloads) included.
TEST(DivergingSolve, LargestChangeKeepsWhatRaiseErrorKeeps) {
    auto nan = [](uint64_t payload) { return std::bit_cast<double>(0x7FF8000000000000ULL | payload); };
    const std::vector<std::vector<double>> sequences = {
        {},
        {0.0},
        {0.0, 0.0},
        {3.0, 1.0, 3.0, 2.0},
        {1.0e-30, std::numeric_limits<double>::denorm_min(), 0.0},
        {std::numeric_limits<double>::infinity(), 7.0},
        {2.0, nan(1), 5.0},
        {nan(1), 9.0, nan(2), 1.0},
        {nan(3), std::numeric_limits<double>::infinity()},
    };
    for (const auto& changes : sequences) {
        double F = 0.0;
        LargestChange<double> E;
        for (double c : changes) {
            raise_error(F, c);
            E.add(c);
        }
        EXPECT_EQ(std::bit_cast<uint64_t>(E.value()), std::bit_cast<uint64_t>(F)) << changes.size();
        float f = 0.0f;
        LargestChange<float> e;
        for (double c : changes) {
            raise_error(f, static_cast<float>(c));
            e.add(static_cast<float>(c));
        }
        EXPECT_EQ(std::bit_cast<uint32_t>(e.value()), std::bit_cast<uint32_t>(f)) << changes.size();
    }
}

// ------------------------------------------------------- the dialogue

// A 1-D problem solved with the offer of new factors after the solve.
struct Dialogue : ::testing::Test {
    FlowModel f{6, 1, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 10.0f, 0.0f};
    void SetUp() override { prepare(f); }
    static void prepare(FlowModel& g) {
        g.fix_head(1, 1, 1, 10.0f);
        g.fix_head(6, 1, 1, 5.0f);
        g.m.inf2.IAENDR = 2;
        g.m.par2.EPSH = 1.0E-5f;
        g.build();
    }
    static constexpr const char* question = " Werden neue Werte fuer OMEGA und ALFA gewuenscht?  (J/N)  ==> ";
    // T16 puts the leading blank of the prompt text in column 16.
    static constexpr const char* omega_prompt = "\n                Bitte neuen Wert fuer OMEGA eingeben ==>  ";
    static constexpr const char* alfa_prompt = "\n                Bitte neuen Wert fuer ALFA eingeben  ==>  ";
};

// "n", and the end of the input alike, decline: the change record goes to
// the listing (here the console) and no offer follows later.
TEST_F(Dialogue, DeclinedOfferIsRecordedAndNotRepeated) {
    for (const char* keys : {"n\n", ""}) {
        FlowModel g{6, 1, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 10.0f, 0.0f};
        prepare(g);
        g.type(keys);
        ITERAH(g.m);
        char report[200];
        std::snprintf(report, sizeof report,
                      " Bei OMEGA = 1.000 ergab sich nach %2d Iterationen ein Fehler von %8.6f\n"
                      " Wichtungsfaktor ALFA =  1.00\n",
                      g.m.inf2.NIT, static_cast<double>(g.m.par1.FEHLER));
        EXPECT_EQ(g.text(), std::string(report) + question +
                                "\n\n Aenderung in der Stroemungsberechnung:\n"
                                " --------------------------------------\n\n"
                                " OMEGA - Wert wurde auf 1.00 geaendert\n"
                                " Wichtungsfaktor ALFA wurde auf 1.00 geaendert\n");
        EXPECT_EQ(g.m.inf2.IAENDR, 1);
        ITERAH(g.m);
        EXPECT_EQ(count(g.text(), question), 1);
    }
}

// An answer other than J/N is asked again; factors outside 0 < OMEGA < 2 and
// 0 <= ALFA <= 1 and unreadable answers are asked again; an empty line is
// passed over as a list-directed read does. The solve then restarts from the
// previous heads and matches a fresh solve with the new factors.
TEST_F(Dialogue, NewFactorsRestartTheSolveFromThePreviousHeads) {
    f.type("x\nJ\n0\n2\nabc\n\n1.5\n-0.1\n0.5\nn\n");
    ITERAH(f.m);
    EXPECT_EQ(f.m.par2.OMEGA, 1.5f);
    EXPECT_EQ(f.m.par2.ALFA, 0.5f);
    EXPECT_EQ(f.m.inf2.IAENDR, 1);
    const std::string text = f.text();
    EXPECT_EQ(count(text, question), 3);
    EXPECT_EQ(count(text, omega_prompt), 4);
    EXPECT_EQ(count(text, alfa_prompt), 2);
    EXPECT_EQ(count(text, " OMEGA - Wert wurde auf 1.50 geaendert\n Wichtungsfaktor ALFA wurde auf 0.50"), 1);
    FlowModel g{6, 1, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 10.0f, 0.0f};
    prepare(g);
    g.m.inf2.IAENDR = 0;
    g.m.par2.OMEGA = 1.5f;
    g.m.par2.ALFA = 0.5f;
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

// The value answers are read list-directed: E, D and sign exponents, a
// repeat count, separators, null values that keep the factor, errors.
TEST(Omegat, AnswersAreReadAsAListDirectedRead) {
    const struct {
        const char* keys;
        float omega, alfa;
    } cases[] = {{"J\n  1.5E0, 7\n 5.0D-1\n", 1.5f, 0.5f}, {"J\n+.8\n2*0.25\n", 0.8f, 0.25f},
                 {"J\n1.2+0\n.5/\n", 1.2f, 0.5f},         {"J\n,\n/\n", 1.0f, 1.0f},
                 {"J\n1.5.\n1e\n1*\n0\n", 1.0f, 0.0f},    {"J\nnan\ninf\n1.9\n1.0\n", 1.9f, 1.0f}};
    for (const auto& c : cases) {
        FlowModel f(1, 1, 1);
        f.m.inf2.IAENDR = 2;
        f.type(c.keys);
        float om = 1.0f, al = 1.0f;
        OMEGAT(f.m, 0.0, om, al);
        EXPECT_EQ(om, c.omega) << c.keys;
        EXPECT_EQ(al, c.alfa) << c.keys;
        EXPECT_EQ(f.m.par2.OMEGA, c.omega) << c.keys;
    }
}

// After a heat solve new factors reset the temperatures and set the heat
// solver's factors only; declining names the temperature calculation.
TEST(Omegat, HeatSolveFactors) {
    FlowModel f(2, 1, 1);
    f.m.inf2.IAENDR = 1;
    f.m.temp.TEMP(2, 1, 1) = 300.0;
    f.type("J\n0.9\n0.5\n");
    float om = 1.0f, al = 1.0f;
    OMEGAT(f.m, 0.25, om, al);
    EXPECT_EQ(f.m.temp.TEMP(2, 1, 1), 283.15);
    EXPECT_EQ(f.m.par1.OMEGT, 0.9f);
    EXPECT_EQ(f.m.par1.ALFAT, 0.5f);
    EXPECT_EQ(f.m.par2.OMEGA, 1.0f);
    f.type("n\n");
    OMEGAT(f.m, 0.25, om, al);
    EXPECT_EQ(f.m.inf2.IAENDR, 0);
    EXPECT_EQ(count(f.text(), " Aenderung in der Temperaturberechnung:"), 1);
}

}  // namespace
}  // namespace gruv
