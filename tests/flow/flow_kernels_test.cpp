// Property functions and the solver kernels: interface mean, viscosity,
// water fraction, density and heat capacity of pore water, sweep order and
// tridiagonal solve.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "flow/line_solver.hpp"
#include "flow/properties.hpp"
#include "flow_fixture.hpp"

namespace gruv {
namespace {

using test::FlowModel;

TEST(Harmon, ZeroOnEitherSideClosesTheFace) {
    for (float w : {0.0f, 0.25f, 0.5f, 1.0f}) {
        EXPECT_EQ(HARMON(0.0f, 3.0e-4f, w), 0.0f) << w;
        EXPECT_EQ(HARMON(3.0e-4f, 0.0f, w), 0.0f) << w;
        EXPECT_EQ(HARMON(0.0f, 0.0f, w), 0.0f) << w;
    }
}

TEST(Harmon, WeightsGiveSeriesConductance) {
    const float A = 1.0e-4f, B = 4.0e-4f;
    // Equal half-cells: the plain harmonic mean 2AB/(A+B).
    EXPECT_FLOAT_EQ(HARMON(A, B, 0.5f), 2.0f * A * B / (A + B));
    // All of the distance on one side: that side's value.
    EXPECT_FLOAT_EQ(HARMON(A, B, 1.0f), A);
    EXPECT_FLOAT_EQ(HARMON(A, B, 0.0f), B);
    // A quarter of the distance in A: 1/(0.25/A + 0.75/B).
    EXPECT_NEAR(HARMON(A, B, 0.25f), 1.0 / (0.25 / 1.0e-4 + 0.75 / 4.0e-4), 1.0e-10);
}

TEST(Properties, CelsiusKelvinRoundTrip) {
    EXPECT_DOUBLE_EQ(CELS(273.15), 0.0);
    EXPECT_DOUBLE_EQ(CELV(0.0), 273.15);
    for (double t : {0.0, 1.0, 283.15, 1272.15}) EXPECT_NEAR(CELV(CELS(t)), t, 1.0e-12);
}

// Kinematic viscosity of water: about 1.77 mm2/s at 0 degC and 1.02 at 20 degC.
TEST(Viskos, WaterAtZeroAndTwentyDegrees) {
    FlowModel f(3, 2, 2);
    auto& T = f.m.temp.TEMP;
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 3; ++i) T(i, j, k) = 293.15;
    float vx, vy, vz;
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    EXPECT_NEAR(vx, 1.0230, 2.0e-4);
    EXPECT_EQ(vx, vy);
    EXPECT_EQ(vx, vz);
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 3; ++i) T(i, j, k) = 273.15;
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    EXPECT_NEAR(vx, 1.7729, 2.0e-4);
    // The last node of every direction keeps 1.0 on its faces.
    VISKOS(f.m, 3, 2, 2, vx, vy, vz);
    EXPECT_EQ(vx, 1.0f);
    EXPECT_EQ(vy, 1.0f);
    EXPECT_EQ(vz, 1.0f);
}

TEST(Viskos, UpstreamTemperatureChoosesTheViscosity) {
    FlowModel f(2, 1, 1);
    f.m.temp.TEMP(1, 1, 1) = 273.15;  // 0 degC
    f.m.temp.TEMP(2, 1, 1) = 293.15;  // 20 degC
    float vx, vy, vz;
    f.m.phys.GWVX(1, 1, 1) = 1.0e-6f;  // flow toward I+1: node 1 is upstream
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    EXPECT_NEAR(vx, 1.7729, 2.0e-4);
    f.m.phys.GWVX(1, 1, 1) = -1.0e-6f;  // node 2 upstream
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    EXPECT_NEAR(vx, 1.0230, 2.0e-4);
    // No flow: the interface mean of the two kelvin temperatures, 282.80 K
    // (9.65 degC).
    f.m.phys.GWVX(1, 1, 1) = 0.0f;
    VISKOS(f.m, 1, 1, 1, vx, vy, vz);
    const float Tf = HARMON(273.15f, 293.15f, 0.5f);
    EXPECT_EQ(vx, water_viscosity(Tf - 273.15f));
    EXPECT_NEAR(vx, 1.3478, 2.0e-4);
}

TEST(PoreWater, WithoutFreezingCurveTheWaterStaysLiquid) {
    FlowModel f(1, 1, 1);
    auto& m = f.m;
    m.par3.RHOW = 1000.0f;
    m.par3.RHOE = 917.0f;
    m.par3.CPW = 4200.0f;
    m.par3.CPE = 2114.0f;
    m.par3.SCHMW = 334715.5f;
    m.par4.DTGEF = 0.1f;
    m.par4.DTHALB = 0.05f;
    m.ifld.IEIS(1) = 0;
    EXPECT_EQ(WASEIS(m, -3.0f, 1), 1.0f);
    EXPECT_EQ(RHOH2O(m, -3.0f, 0.0f, 1), 1000.0f);
    EXPECT_EQ(RHOH2O(m, 0.0f, 0.0f, 1), 1000.0f);  // T = TG is liquid
    EXPECT_EQ(WCPH2O(m, -3.0f, 1), 4200.0f);       // below the interval
    EXPECT_EQ(WCPH2O(m, 2.0f, 1), 4200.0f);        // above it
}

TEST(PoreWater, FreezingCurveGivesFractionDensityAndLatentHeat) {
    FlowModel f(1, 1, 1);
    auto& m = f.m;
    m.par3.RHOW = 1000.0f;
    m.par3.RHOE = 917.0f;
    m.par3.CPW = 4200.0f;
    m.par3.CPE = 2114.0f;
    m.par3.SCHMW = 334715.5f;
    m.par4.DTGEF = 0.1f;
    m.par4.DTHALB = 0.05f;
    m.ifld.IEIS(1) = 1;
    m.ener.EISK(1, 1) = 0.9f;  // X = 0.9 exp(0.5 dT) + 0.1
    m.ener.EISK(1, 2) = 0.5f;
    m.ener.EISK(1, 3) = 0.1f;
    // The latent term divides a difference of two single-precision fractions
    // near 1 by 0.1 or 0.05 K: about 1e-5 relative, 2 J/kg*K here.
    const double x = 0.9 * std::exp(0.5 * -2.0) + 0.1;
    EXPECT_NEAR(WASEIS(m, -2.0f, 1), x, 1.0e-6);
    EXPECT_NEAR(RHOH2O(m, -2.0f, 0.0f, 1), (1.0 - x) * 917.0 + x * 1000.0, 1.0e-3);
    // DT = -W lies in the lower branch: a central difference over DTGEF.
    const double x1 = 0.9 * std::exp(0.0) + 0.1, x2 = 0.9 * std::exp(0.5 * -0.1) + 0.1;
    const double xm = 0.5 * (x1 + x2);
    const double lower = xm * 4200.0 + (1.0 - xm) * 2114.0 + 334715.5 * (x1 - x2) / 0.1;
    EXPECT_NEAR(WCPH2O(m, -0.05f, 1), lower, 2.0);
    // Above freezing: a one-sided difference over [-W, 0] with X1 = 1.
    const double y2 = 0.9 * std::exp(0.5 * -0.05) + 0.1, ym = 0.5 * (1.0 + y2);
    const double upper = ym * 4200.0 + (1.0 - ym) * 2114.0 + 334715.5 * (1.0 - y2) / 0.05;
    EXPECT_NEAR(WCPH2O(m, 1.0f, 1), upper, 2.0);
}

TEST(PoreWater, TraceOnlyWhenAsked) {
    FlowModel f(1, 1, 1);
    f.m.ifld.IEIS(1) = 0;
    (void)WASEIS(f.m, -1.0f, 1);
    EXPECT_EQ(f.text(), "");
    (void)WASEIS<true>(f.m, -1.0f, 1);
    f.m.io.console().flush();
    EXPECT_EQ(f.text(), "                ********* Subroutine WASEIS **********\n");
}

// The loop bounds of RICHTG, listed as the loop visits them.
std::vector<int> visit(int L, int N, int M) {
    int A, E, S;
    RICHTG(L, A, E, S, N, M);
    std::vector<int> order;
    for (int n = (E - A + S) / S, x = A; n > 0; --n, x += S) order.push_back(x);
    return order;
}

TEST(Richtg, AlternatingAndAscendingOrders) {
    const std::vector<int> up{1, 2, 3, 4}, down{4, 3, 2, 1};
    EXPECT_EQ(visit(1, 4, 1), up);
    EXPECT_EQ(visit(2, 4, 1), down);
    EXPECT_EQ(visit(7, 4, 1), up);
    EXPECT_EQ(visit(10, 4, 1), down);
    for (int L = 1; L <= 4; ++L) EXPECT_EQ(visit(L, 4, 0), up) << L;
    EXPECT_EQ(visit(2, 1, 1), std::vector<int>{1});
    EXPECT_EQ(visit(2, 1, 0), std::vector<int>{1});
}

TEST(Thomas, SolvesATridiagonalSystem) {
    IADI t;
    // -x(i-1) + 4 x(i) - x(i+1) = r with x = 1, 2, 3, 4.
    const double x[5] = {0.0, 1.0, 2.0, 3.0, 4.0};
    for (int i = 1; i <= 4; ++i) {
        t.TDA(i) = i > 1 ? -1.0 : 0.0;
        t.TDB(i) = 4.0;
        t.TDC(i) = i < 4 ? -1.0 : 0.0;
        t.TDR(i) = 4.0 * x[i] - (i > 1 ? x[i - 1] : 0.0) - (i < 4 ? x[i + 1] : 0.0);
        t.TDX(i) = 0.0;
    }
    THOMAS(t, 4);
    for (int i = 1; i <= 4; ++i) EXPECT_NEAR(t.TDX(i), x[i], 1.0e-14) << i;
}

TEST(Thomas, ZeroPivotKeepsTheNodeAndSolvesTheOthersAroundIt) {
    IADI t;
    // Node 2 has no equation (all coefficients 0): it keeps 7.0, and nodes 1
    // and 3 solve their own equations with node 2 at 7.0.
    t.TDA(1) = 0.0;  t.TDB(1) = 2.0; t.TDC(1) = -1.0; t.TDR(1) = 1.0;  t.TDX(1) = 0.0;
    t.TDA(2) = 0.0;  t.TDB(2) = 0.0; t.TDC(2) = 0.0;  t.TDR(2) = 5.0;  t.TDX(2) = 7.0;
    t.TDA(3) = -1.0; t.TDB(3) = 2.0; t.TDC(3) = 0.0;  t.TDR(3) = 3.0;  t.TDX(3) = 0.0;
    THOMAS(t, 3);
    EXPECT_EQ(t.TDX(2), 7.0);
    EXPECT_DOUBLE_EQ(t.TDX(1), (1.0 + 7.0) / 2.0);
    EXPECT_DOUBLE_EQ(t.TDX(3), (3.0 + 7.0) / 2.0);
    // A zero pivot on the first node of the line as well.
    t.TDB(1) = 0.0;
    t.TDC(1) = 0.0;
    t.TDX(1) = -2.0;
    THOMAS(t, 3);
    EXPECT_EQ(t.TDX(1), -2.0);
    EXPECT_EQ(t.TDX(2), 7.0);
}

TEST(Wichhy, WeightsCurrentAndPreviousHead) {
    FlowModel f(1, 1, 1);
    f.m.wpot.WPOT(1, 1, 1) = 12.0f;
    f.m.wpot.WPOTA(1, 1, 1) = 10.0f;
    f.m.par2.ALFA = 1.0f;
    EXPECT_EQ(WICHHY(f.m, 1, 1, 1), 12.0f);
    f.m.par2.ALFA = 0.0f;
    EXPECT_EQ(WICHHY(f.m, 1, 1, 1), 10.0f);
    f.m.par2.ALFA = 0.5f;
    EXPECT_EQ(WICHHY(f.m, 1, 1, 1), 11.0f);
}

}  // namespace
}  // namespace gruv
