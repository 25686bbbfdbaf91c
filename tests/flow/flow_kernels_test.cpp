// The property functions, the solver kernels (sweep order, tridiagonal
// solve) and the flow equation: interface conductivities in saturated,
// partly saturated and dry cells, fluid flags, viscosity, neighbour
// coefficients, storage, diagonal and right-hand side, DELTAH, velocities.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "flow/line_solver.hpp"
#include "flow/properties.hpp"
#include "flow_fixture.hpp"

namespace gruv {
namespace {

using test::FlowModel;

TEST(Harmon, ZeroRuleAndWeights) {
    const float A = 1.0e-4f, B = 4.0e-4f;
    for (float w : {0.0f, 0.25f, 0.5f, 1.0f}) {
        EXPECT_EQ(HARMON(0.0f, B, w), 0.0f) << w;
        EXPECT_EQ(HARMON(A, 0.0f, w), 0.0f) << w;
    }
    EXPECT_FLOAT_EQ(HARMON(A, B, 0.5f), 2.0f * A * B / (A + B));  // plain harmonic mean
    EXPECT_FLOAT_EQ(HARMON(A, B, 1.0f), A);                       // all of the distance in A
    EXPECT_FLOAT_EQ(HARMON(A, B, 0.0f), B);
    EXPECT_NEAR(HARMON(A, B, 0.25f), 1.0 / (0.25 / 1.0e-4 + 0.75 / 4.0e-4), 1.0e-10);  // half-cells in series
}

// Kinematic viscosity of water: 1.7729 mm2/s at 0 degC, 1.0230 at 20 degC
// from the formula; the face takes the upstream temperature, or the interface
// mean of the kelvin temperatures without flow; the last node keeps 1.0.
TEST(Viskos, WaterAtZeroAndTwentyDegreesUpstreamAndLastNode) {
    FlowModel f(2, 2, 2);
    auto& T = f.m.temp.TEMP;
    for (int n = 0; n < 8; ++n) T(1 + n % 2, 1 + n / 2 % 2, 1 + n / 4) = 293.15;
    float vx, vy, vz;
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    EXPECT_NEAR(vx, 1.0230, 2.0e-4);
    EXPECT_EQ(vy, vx);
    EXPECT_EQ(vz, vx);
    VISKOS(f.m, 2, 2, 2, vx, vy, vz);
    EXPECT_EQ(vx + vy + vz, 3.0f);
    T(1, 1, 1) = 273.15;
    f.m.phys.GWVX(1, 1, 1) = 1.0e-6f;  // node 1 upstream
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    EXPECT_NEAR(vx, 1.7729, 2.0e-4);
    f.m.phys.GWVX(1, 1, 1) = -1.0e-6f;  // node 2 upstream
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    EXPECT_NEAR(vx, 1.0230, 2.0e-4);
    f.m.phys.GWVX(1, 1, 1) = 0.0f;  // 282.80 K = 9.65 degC
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    EXPECT_NEAR(vx, 1.3478, 2.0e-4);
}

// Water fraction X = 0.9 exp(0.5 dT) + 0.1 in layer 1, none in layer 2.
TEST(PoreWater, FractionDensityHeatCapacityAndTrace) {
    FlowModel f(1, 1, 2);
    auto& m = f.m;
    m.par3.RHOW = 1000.0f, m.par3.RHOE = 917.0f, m.par3.CPW = 4200.0f, m.par3.CPE = 2114.0f;
    m.par3.SCHMW = 334715.5f, m.par4.DTGEF = 0.1f, m.par4.DTHALB = 0.05f;
    m.ifld.IEIS(1) = 1, m.ifld.IEIS(2) = 0;
    m.ener.EISK(1, 1) = 0.9f, m.ener.EISK(1, 2) = 0.5f, m.ener.EISK(1, 3) = 0.1f;
    auto X = [](double dt) { return 0.9 * std::exp(0.5 * dt) + 0.1; };
    auto cp = [](double x1, double x2, double d) {
        return 0.5 * (x1 + x2) * 4200.0 + (1.0 - 0.5 * (x1 + x2)) * 2114.0 + 334715.5 * (x1 - x2) / d;
    };
    // The latent term divides a difference of two single-precision fractions
    // near 1 by 0.1 or 0.05 K: about 1e-5 relative, 2 J/kg*K here.
    EXPECT_NEAR(WASEIS(m, -2.0f, 1), X(-2.0), 1.0e-6);
    EXPECT_NEAR(RHOH2O(m, -2.0f, 0.0f, 1), (1.0 - X(-2.0)) * 917.0 + X(-2.0) * 1000.0, 1.0e-3);
    EXPECT_EQ(RHOH2O(m, 0.0f, 0.0f, 1), 1000.0f);                    // T = TG is liquid
    EXPECT_NEAR(WCPH2O(m, -0.05f, 1), cp(X(0.0), X(-0.1), 0.1), 2.0);  // DT = -W: central difference
    EXPECT_NEAR(WCPH2O(m, 1.0f, 1), cp(1.0, X(-0.05), 0.05), 2.0);    // above: one-sided over [-W, 0]
    // Without a freezing curve the water stays liquid.
    EXPECT_EQ(RHOH2O(m, -3.0f, 0.0f, 2), 1000.0f);
    EXPECT_EQ(WCPH2O(m, -3.0f, 2), 4200.0f);
    EXPECT_EQ(WCPH2O(m, 2.0f, 2), 4200.0f);
    EXPECT_EQ(f.text(), "");  // no trace unless asked
    (void)WASEIS<true>(m, -1.0f, 2);
    EXPECT_EQ(f.text(), "                ********* Subroutine WASEIS **********\n");
}

TEST(Richtg, AlternatingAndAscendingOrders) {
    auto visit = [](int L, int N, int M) {
        int A, E, S;
        RICHTG(L, A, E, S, N, M);
        std::vector<int> order;
        for (int n = (E - A + S) / S, x = A; n > 0; --n, x += S) order.push_back(x);
        return order;
    };
    const std::vector<int> up{1, 2, 3, 4}, down{4, 3, 2, 1};
    for (int L = 1; L <= 4; ++L) {
        EXPECT_EQ(visit(L, 4, 1), L % 2 == 1 ? up : down) << L;
        EXPECT_EQ(visit(L, 4, 0), up) << L;
        EXPECT_EQ(visit(L, 1, 1), std::vector<int>{1}) << L;
    }
}

// -x(i-1) + 4 x(i) - x(i+1) = r with x = 1, 2, 3, 4; then node 2 without an
// equation (zero pivot): it keeps 7.0 and its neighbours solve around it.
TEST(Thomas, SolvesALineAndKeepsANodeWithAZeroPivot) {
    IADI t;
    for (int i = 1; i <= 4; ++i) {
        t.TDA(i) = i > 1 ? -1.0 : 0.0;
        t.TDB(i) = 4.0;
        t.TDC(i) = i < 4 ? -1.0 : 0.0;
        t.TDR(i) = 4.0 * i - (i > 1 ? i - 1 : 0) - (i < 4 ? i + 1 : 0);
    }
    THOMAS(t, 4);
    for (int i = 1; i <= 4; ++i) EXPECT_NEAR(t.TDX(i), i, 1.0e-14) << i;
    t.TDB(1) = 2.0, t.TDR(1) = 1.0;
    t.TDA(2) = t.TDB(2) = t.TDC(2) = 0.0, t.TDR(2) = 5.0, t.TDX(2) = 7.0;
    t.TDB(3) = 2.0, t.TDC(3) = 0.0, t.TDR(3) = 3.0;
    THOMAS(t, 3);
    EXPECT_EQ(t.TDX(2), 7.0);
    EXPECT_DOUBLE_EQ(t.TDX(1), (1.0 + 7.0) / 2.0);
    EXPECT_DOUBLE_EQ(t.TDX(3), (3.0 + 7.0) / 2.0);
}

// Two layers of 10 m below a ground surface at 20 m: layer 1 spans 10..20 m.
// Node (1,1,1) has K = 1e-4 m/s, its neighbour at I+1 K2; interface mean C.
struct SaturationCase {
    float H1, H2, K2, factor;  // KFMX(1,1,1) = C * factor
    const char* what;
};

class Konduk : public ::testing::TestWithParam<SaturationCase> {};

TEST_P(Konduk, SaturationBranches) {
    const SaturationCase c = GetParam();
    FlowModel f(3, 3, 2, 10.0f, 10.0f, 10.0f, 20.0f, 1.0E-4f, 25.0f);
    f.m.trns.TRSX(2, 1, 1) = c.K2;
    f.m.wpot.WPOT(1, 1, 1) = c.H1;
    f.m.wpot.WPOT(2, 1, 1) = c.H2;
    KONDUK(f.m, 1, 1, 1);
    const auto C = static_cast<double>(HARMON(1.0E-4f, c.K2, 0.5f));
    if (c.factor < 0.0f) {  // the leakage of a dry cell
        EXPECT_EQ(f.m.phys.KFMX(1, 1, 1), 1.0E-5f) << c.what;
    } else {
        EXPECT_NEAR(f.m.phys.KFMX(1, 1, 1), C * static_cast<double>(c.factor), 1.0e-10) << c.what;
    }
    EXPECT_EQ(f.m.phys.KFMZ(1, 1, 1), HARMON(1.0E-4f, 1.0E-4f, 0.5f)) << c.what;  // no saturation factor
}

INSTANTIATE_TEST_SUITE_P(
    Heads, Konduk,
    ::testing::Values(SaturationCase{25.0f, 25.0f, 4.0E-4f, 1.0f, "both full: interface mean"},
                      SaturationCase{10.0f, 25.0f, 4.0E-4f, -1.0f, "dry, head at the cell bottom"},
                      SaturationCase{3.0f, 25.0f, 4.0E-4f, -1.0f, "dry, head far below"},
                      SaturationCase{5.0f, 999.0f, 0.0f, 0.0f, "dry beside a closed interface"},
                      SaturationCase{13.0f, 25.0f, 4.0E-4f, std::sqrt(3.0f * 10.0f) / 10.0f, "b2 limited to D"},
                      SaturationCase{13.0f, 6.0f, 4.0E-4f, std::sqrt(3.0f * 4.0f) / 10.0f, "b2 = |H2 - Zu|"},
                      SaturationCase{25.0f, 15.0f, 4.0E-4f, std::sqrt(15.0f * 5.0f) / 10.0f, "b1 not limited"}));

// Under IMODE = 1 a node without mobile water closes its forward faces and
// the face of the node above; the node at I-1 uses its raw conductivity.
// The viscosity correction divides by nu(20 degC).
TEST(KondukFlags, FluidFlagsAndViscosity) {
    FlowModel f(3, 3, 2);
    auto& m = f.m;
    const float C = HARMON(1.0E-4f, 1.0E-4f, 0.5f);
    m.ifld.IFLU(2, 2, 2) = 0;
    for (int imode : {1, 2}) {
        m.inf4.IMODE = imode;
        const float closed = imode == 1 ? 0.0f : C;  // flow only: flags ignored
        KONDUK(m, 2, 2, 2);
        KONDUK(m, 2, 2, 1);
        KONDUK(m, 1, 2, 2);
        EXPECT_EQ(m.phys.KFMX(2, 2, 2), closed);
        EXPECT_EQ(m.phys.KFMY(2, 2, 2), closed);
        EXPECT_EQ(m.phys.KFMZ(2, 2, 1), closed);
        EXPECT_EQ(m.phys.KFMX(1, 2, 2), C);
    }
    for (int n = 0; n < 18; ++n) m.temp.TEMP(1 + n % 3, 1 + n / 3 % 3, 1 + n / 9) = 293.15;
    m.inf5.IVISK = 1;
    KONDUK(m, 1, 1, 1);
    EXPECT_EQ(m.phys.KFMX(1, 1, 1), C / water_viscosity(20.0f));
}

// Conductance = K * flow area / node distance, the same from both sides, 0
// toward the outside; a single layer has no Z coefficients.
TEST(Koeffh, SymmetricConductancesClosedOuterFacesAndTrace) {
    FlowModel f(4, 3, 2, 10.0f, 20.0f, 5.0f);
    f.m.inf2.IBILD = 1;
    f.build();
    DELTAH(f.m, 1, 1, 1);  // writes no trace line
    EXPECT_EQ(f.text(),
              "                ********* Subroutine AUFNUL **********\n"
              "                ********* Subroutine KOEFFH **********\n"
              "+               ***** Schicht    1 wird berechnet ****\n"
              "+               ***** Schicht    2 wird berechnet ****\n"
              "                ********* Subroutine QKOEFH **********\n");
    const auto& c = f.m.koef;
    EXPECT_FLOAT_EQ(c.KOXP(1, 1, 1), 1.0E-4f * 20.0f * 5.0f / 10.0f);
    EXPECT_FLOAT_EQ(c.KOYP(1, 1, 1), 1.0E-4f * 10.0f * 5.0f / 20.0f);
    EXPECT_FLOAT_EQ(c.KOZP(1, 1, 1), 1.0E-4f * 10.0f * 20.0f / 5.0f);
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 4; ++i) {
                EXPECT_EQ(c.KOXP(i, j, k), i < 4 ? c.KOXM(i + 1, j, k) : 0.0f);
                EXPECT_EQ(c.KOYP(i, j, k), j < 3 ? c.KOYM(i, j + 1, k) : 0.0f);
                EXPECT_EQ(c.KOZP(i, j, k), k < 2 ? c.KOZM(i, j, k + 1) : 0.0f);
                EXPECT_EQ(c.KOXM(1, j, k) + c.KOYM(i, 1, k) + c.KOZM(i, j, 1), 0.0f);
            }
    FlowModel layer(3, 3, 1);
    layer.m.inf2.IBILD = 2;  // an empty line instead of the layer lines
    KOEFFH(layer.m);
    EXPECT_EQ(layer.text(), "                ********* Subroutine KOEFFH **********\n\n");
    EXPECT_EQ(layer.m.koef.KOZM(2, 2, 1) + layer.m.koef.KOZP(2, 2, 1), 0.0f);
}

// Storage: SPEI when confined, PHIN below the cell top (even when SPEI is
// larger), SPKONS for a constant head, which its equation then holds.
TEST(Qkoefh, StorageChoiceDiagonalAndRightHandSide) {
    FlowModel f(3, 1, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 1.0f, 1.0E-3f);
    auto& m = f.m;
    m.wpot.WPOT(2, 1, 1) = m.wpot.WPOTA(2, 1, 1) = -2.0f;
    m.trns.SPEI(2, 1, 1) = 0.5f;
    f.fix_head(3, 1, 1, -2.0f);
    m.trns.QUEL(1, 1, 1) = -0.01f;
    f.build();
    const auto& c = m.koef;
    const float S[3] = {1.0E-3f, 0.2f, 1.0E30f};
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(c.KSPE(i, 1, 1), 10.0f * 10.0f * S[i - 1] / 86400.0f) << i;
        EXPECT_EQ(c.KDIA(i, 1, 1), c.KOXM(i, 1, 1) + c.KOXP(i, 1, 1) + c.KSPE(i, 1, 1)) << i;
        EXPECT_EQ(c.RSEI(i, 1, 1), c.KSPE(i, 1, 1) * m.wpot.WPOTA(i, 1, 1) + m.trns.QUEL(i, 1, 1)) << i;
    }
    EXPECT_FLOAT_EQ(c.RSEI(3, 1, 1) / c.KDIA(3, 1, 1), -2.0f);
}

// A head falling into its cell: DELTAH refreshes the node's own forward faces
// and the face from (I-1), its coefficients and diagonal; the neighbour's
// coefficient waits for the next set-up; the last column is not refreshed.
TEST(Deltah, RefreshesTheNodeAndItsBackwardFaces) {
    FlowModel f(3, 3, 2, 10.0f, 10.0f, 10.0f, 20.0f, 1.0E-4f, 25.0f);
    auto& m = f.m;
    f.build();
    const auto& c = m.koef;
    const float Cu = HARMON(1.0E-4f, 1.0E-4f, 0.5f);
    const float left = c.KOXP(1, 2, 1);
    m.wpot.WPOT(2, 2, 1) = 15.0f;
    DELTAH(m, 2, 2, 1);
    EXPECT_NEAR(m.phys.KFMX(2, 2, 1), static_cast<double>(Cu) * std::sqrt(50.0) / 10.0, 1.0e-10);
    EXPECT_NEAR(m.phys.KFMX(1, 2, 1), static_cast<double>(Cu) * std::sqrt(75.0) / 10.0, 1.0e-10);
    EXPECT_FLOAT_EQ(c.KOXM(2, 2, 1), m.phys.KFMX(1, 2, 1) * 10.0f * 10.0f / 10.0f);
    EXPECT_EQ(c.KOXP(1, 2, 1), left);
    EXPECT_EQ(c.KDIA(2, 2, 1), 0.0f + c.KOXM(2, 2, 1) + c.KOXP(2, 2, 1) + c.KOYM(2, 2, 1) + c.KOYP(2, 2, 1) +
                                   c.KOZM(2, 2, 1) + c.KOZP(2, 2, 1) + c.KSPE(2, 2, 1));
    m.phys.KFMY(3, 2, 1) = -1.0f;
    m.wpot.WPOT(3, 2, 1) = 15.0f;
    DELTAH(m, 3, 2, 1);
    EXPECT_EQ(m.phys.KFMY(3, 2, 1), -1.0f);
}

// A head drop of 1 m over 10 m with KFMX 1e-4 and porosities 0.2: 5e-5 m/s;
// negative toward I-1, positive downward; 0 toward the outside, and 0 through
// a face without drainable pore space (porosity mean 0) instead of 0/0.
TEST(Fliess, PoreVelocityFromHeadDrop) {
    FlowModel f(3, 2, 2);
    auto& m = f.m;
    m.phys.KFMX(1, 1, 1) = m.phys.KFMX(2, 1, 1) = m.phys.KFMZ(1, 1, 1) = 1.0E-4f;
    m.wpot.WPOT(1, 1, 1) = 11.0f;
    FLIESS(m);
    EXPECT_FLOAT_EQ(m.phys.GWVX(1, 1, 1), 5.0E-5f);
    EXPECT_EQ(m.phys.GWVX(2, 1, 1), 0.0f);
    EXPECT_EQ(m.phys.GWVX(3, 1, 1) + m.phys.GWVY(1, 2, 1) + m.phys.GWVZ(1, 1, 2), 0.0f);
    m.wpot.WPOT(1, 1, 1) = 9.0f;
    m.wpot.WPOT(1, 1, 2) = 8.0f;
    FLIESS(m);
    EXPECT_FLOAT_EQ(m.phys.GWVX(1, 1, 1), -5.0E-5f);
    EXPECT_FLOAT_EQ(m.phys.GWVZ(1, 1, 1), 5.0E-5f);
    m.phys.PHIN(2, 1, 1) = 0.0f;
    FLIESS(m);
    EXPECT_EQ(m.phys.GWVX(1, 1, 1), 0.0f);
}

}  // namespace
}  // namespace gruv
