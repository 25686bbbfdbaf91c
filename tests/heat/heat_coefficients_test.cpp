// The heat equation of single nodes: scheme weights, effective conductivities,
// convective mass flows, storage terms and right-hand sides, each against the
// formula of the physics evaluated independently here.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "heat/heat.hpp"
#include "heat/heat_fixture.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::HeatModel;

float weight(Model& m, int scheme, float F, float D) {
    m.inf1.ISCHEM = scheme;
    m.koef.FKO(1) = F;
    m.koef.AKO(1) = D;
    PECLET(m, 1);
    return m.koef.PKO(1);
}

TEST(Peclet, SchemeWeights) {
    HeatModel h(1, 1, 1);
    Model& m = h.m;
    // Central differences: 1 - |P|/2, negative above |P| = 2, not limited.
    EXPECT_FLOAT_EQ(weight(m, 1, 1.0f, 1.0f), 0.5f);
    EXPECT_FLOAT_EQ(weight(m, 1, -6.0f, 1.0f), -2.0f);
    EXPECT_FLOAT_EQ(weight(m, 1, 6.0f, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(weight(m, 7, 6.0f, 1.0f), -2.0f);  // unknown scheme: as central
    // Upwind: always 1.
    EXPECT_FLOAT_EQ(weight(m, 2, 50.0f, 1.0f), 1.0f);
    // Hybrid: central, cut at 0.
    EXPECT_FLOAT_EQ(weight(m, 3, 1.0f, 1.0f), 0.5f);
    EXPECT_FLOAT_EQ(weight(m, 3, 6.0f, 1.0f), 0.0f);
    EXPECT_FLOAT_EQ(weight(m, 3, 6.0f, 0.0f), 1.0f);
    // Power law: (1 - |P|/10)^5, cut at 0.
    EXPECT_FLOAT_EQ(weight(m, 4, 5.0f, 1.0f), 0.03125f);
    EXPECT_FLOAT_EQ(weight(m, 4, -20.0f, 1.0f), 0.0f);
    EXPECT_FLOAT_EQ(weight(m, 4, 20.0f, 0.0f), 1.0f);
    // Exponential: |P|/(exp|P| - 1).
    EXPECT_NEAR(weight(m, 5, 1.0f, 1.0f), 1.0 / (std::exp(1.0) - 1.0), 1e-7);
    EXPECT_NEAR(weight(m, 5, -10.0f, 1.0f), 10.0 / (std::exp(10.0) - 1.0), 1e-9);
    EXPECT_FLOAT_EQ(weight(m, 5, 0.0f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(weight(m, 5, 1.0f, 0.0f), 1.0f);
    // Large Peclet numbers: the weight underflows, pure upstream flow remains.
    EXPECT_EQ(weight(m, 5, 1000.0f, 1.0f), 0.0f);
    EXPECT_EQ(weight(m, 5, 1.0E30f, 1.0E-30f), 0.0f);  // F/D overflows
}

TEST(Peclet, ExponentialWeightOfTinyPecletNumbers) {
    // exp(|P|) rounds to 1 in single precision below about 6E-8; the weight
    // must tend to its limit 1 instead of turning infinite.
    HeatModel h(1, 1, 1);
    for (float P : {1.0E-9f, 3.0E-8f, 6.0E-8f, 1.0E-6f}) {
        const float w = weight(h.m, 5, P, 1.0f);
        ASSERT_TRUE(std::isfinite(w)) << P;
        EXPECT_NEAR(w, 1.0 - 0.5 * static_cast<double>(P), 1e-7) << P;
    }
    EXPECT_EQ(weight(h.m, 5, 1.0E-30f, 1.0E10f), 1.0f);  // F/D underflows to 0
    EXPECT_EQ(weight(h.m, 5, 1.0E-9f, 1.0f), 1.0f);
}

//! Interface conductivity between two equal nodes of a 2 x 1 x 1 grid.
float interface_value(HeatModel& h) {
    h.m.phys.KFMX(1, 1, 1) = -1.0f;
    KONINF(h.m, 1, 1, 1);
    return h.m.phys.KFMX(1, 1, 1);
}

void set_both(HeatModel& h, float phi, float wlkg) {
    for (int i = 1; i <= 2; ++i) {
        h.m.phys.PHIG(i, 1, 1) = phi;
        h.m.phys.WLKG(i, 1, 1) = wlkg;
    }
}

//! Maxwell-type bound of a rock matrix with fluid-filled pores.
double bound1(double phi, double lr, double lf) {
    const double r = lf / lr;
    return lr * (1.0 - phi * (1.0 + 2.0 * r) * (1.0 - r) / (3.0 * r + phi * (1.0 - r)));
}

TEST(Koninf, MixingRulesAtPorosityZeroAndOne) {
    HeatModel h(2, 1, 1);
    const float lf = 0.57f;  // saturated, above freezing: water
    for (int rule : {1, 2, 3}) {
        h.m.inf2.IMISCH = rule;
        set_both(h, 0.0f, 2.5f);
        EXPECT_NEAR(interface_value(h), 2.5f, 1e-6) << rule;
    }
    h.m.inf2.IMISCH = 3;
    set_both(h, 1.0f, 2.5f);
    EXPECT_NEAR(interface_value(h), lf, 1e-6);
    h.m.inf2.IMISCH = 1;
    EXPECT_NEAR(interface_value(h), lf, 1e-6);
    h.m.inf2.IMISCH = 2;
    const double r = 0.57 / 2.5;
    EXPECT_NEAR(interface_value(h), 2.5 * (1.0 - 3.0 * (1.0 - r) / (3.0 + r)), 1e-5);
    // In between, the bound formula and the arithmetic mean.
    h.m.inf2.IMISCH = 1;
    set_both(h, 0.3f, 2.5f);
    EXPECT_NEAR(interface_value(h), bound1(0.3, 2.5, 0.57), 1e-5);
    h.m.inf2.IMISCH = 3;
    EXPECT_NEAR(interface_value(h), 0.7 * 2.5 + 0.3 * 0.57, 1e-5);
}

TEST(Koninf, BoundFormulaWithoutConductingRockOrFluid) {
    HeatModel h(2, 1, 1);
    h.m.inf2.IMISCH = 1;
    // No pores and no fluid conductivity (material data switched off): the rock.
    h.m.par3.LAMW = h.m.par3.LAML = h.m.par3.LAME = 0.0f;
    set_both(h, 0.0f, 2.5f);
    EXPECT_FLOAT_EQ(interface_value(h), 2.5f);
    // A rock of conductivity 0: the limit 2*phi*lf/(3 - phi), finite.
    h.m.par3.LAMW = 0.57f;
    set_both(h, 0.4f, 0.0f);
    EXPECT_NEAR(interface_value(h), 2.0 * 0.4 * 0.57 / 2.6, 1e-6);
    set_both(h, 0.0f, 0.0f);
    EXPECT_EQ(interface_value(h), 0.0f);
    // The other bound formula keeps its guard and gives 0 there.
    h.m.inf2.IMISCH = 2;
    set_both(h, 0.4f, 0.0f);
    EXPECT_EQ(interface_value(h), 0.0f);
}

TEST(Koninf, PoreFillingAndFrozenWater) {
    HeatModel h(2, 1, 1);
    h.m.inf2.IMISCH = 3;
    set_both(h, 1.0f, 0.0f);
    h.m.phys.SAETT(1) = 0.5f;
    EXPECT_NEAR(interface_value(h), 0.5 * 0.57 + 0.5 * 0.025, 1e-6);
    h.m.phys.SAETT(1) = 1.0f;
    // Below freezing without a freezing curve the water stays liquid.
    for (int i = 1; i <= 2; ++i) h.m.temp.TEMP(i, 1, 1) = 270.0;
    EXPECT_NEAR(interface_value(h), 0.57, 1e-6);
    // A curve with no liquid water left: ice.
    h.m.ifld.IEIS(1) = 1;
    h.m.ener.EISK(1, 1) = 0.0f;
    h.m.ener.EISK(1, 2) = 0.0f;
    h.m.ener.EISK(1, 3) = 0.0f;
    EXPECT_NEAR(interface_value(h), 2.25, 1e-6);
}

TEST(Koninf, TemperatureDependentRockAndAnisotropy) {
    HeatModel h(2, 1, 1);
    for (int i = 1; i <= 2; ++i) h.m.temp.TEMP(i, 1, 1) = 303.15;  // 30 degC
    auto& p4 = h.m.par4;
    h.m.inf2.ISTOFF = 3;
    p4.WLKA = 0.01f;
    EXPECT_NEAR(interface_value(h), 2.5 * (1.0 + 30.0 * 0.01), 1e-5);
    h.m.inf2.ISTOFF = 4;
    p4.WLKA = 2.0f;
    p4.WLKB = 0.0f;
    p4.WLKC = 0.5f;
    EXPECT_NEAR(interface_value(h), 2.5 * 2.0 + 2.5 * 0.5, 1e-5);
    h.m.inf2.ISTOFF = 5;
    p4.WLKA = 0.01f;
    p4.WLKB = 1.0f;
    const double depth = h.m.gitt.KORZ(1);
    EXPECT_NEAR(interface_value(h), 2.5 / (1.0 + 10.0 * 2.5 * 0.01) + 0.027 * (depth - 400.0), 1e-4);
    h.m.inf2.ISTOFF = 1;
    h.m.phys.ANISX = 2.0f;
    EXPECT_NEAR(interface_value(h), 5.0, 1e-6);
    // A neighbour that does not conduct closes the face.
    h.m.phys.WLKG(2, 1, 1) = 0.0f;
    EXPECT_EQ(interface_value(h), 0.0f);
}

TEST(Koninf, ConvectiveFormDividesByMeanHeatCapacity) {
    HeatModel h(2, 1, 1);
    h.m.inf2.KONVEK = 1;
    set_both(h, 0.25f, 2.0f);
    const double lam = 0.75 * 2.0 + 0.25 * 0.57;
    const double c = 0.25 * 4200.0 + 0.75 * 1000.0;
    EXPECT_NEAR(interface_value(h), lam / c, 1e-8);
}

TEST(Flukof, OuterFacesAreClosedToConvection) {
    HeatModel h(3, 2, 2);
    Model& m = h.m;
    m.inf4.IMODE = 1;
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 3; ++i) {
                m.phys.GWVX(i, j, k) = 1.0E-6f;
                m.phys.GWVY(i, j, k) = 2.0E-6f;
                m.phys.GWVZ(i, j, k) = -3.0E-6f;
            }
    FLUKOF(m, 3, 2, 2);  // last node in every direction
    EXPECT_FLOAT_EQ(m.koef.FKO(1), 1.0E-3f);
    EXPECT_EQ(m.koef.FKO(2), 0.0f);
    EXPECT_FLOAT_EQ(m.koef.FKO(3), 2.0E-3f);
    EXPECT_EQ(m.koef.FKO(4), 0.0f);
    EXPECT_FLOAT_EQ(m.koef.FKO(5), -3.0E-3f);
    EXPECT_EQ(m.koef.FKO(6), 0.0f);
    FLUKOF(m, 1, 1, 1);
    EXPECT_EQ(m.koef.FKO(1), 0.0f);
    EXPECT_FLOAT_EQ(m.koef.FKO(2), 1.0E-3f);
    EXPECT_EQ(m.koef.FKO(3), 0.0f);
    EXPECT_EQ(m.koef.FKO(5), 0.0f);
    EXPECT_FLOAT_EQ(m.koef.FKO(6), -3.0E-3f);
}

TEST(Flukof, FluidFlagsOfHeatOnlyRuns) {
    HeatModel h(2, 1, 3);
    Model& m = h.m;
    m.inf4.IMODE = 0;
    m.phys.SAETT(2) = 0.5f;
    for (int k = 1; k <= 3; ++k)
        for (int i = 1; i <= 2; ++i) {
            m.phys.PHIN(i, 1, k) = 0.2f;
            m.phys.GWVX(i, 1, k) = 1.0E-6f;
            m.phys.GWVZ(i, 1, k) = 1.0E-6f;
        }
    m.ifld.IFLG(2, 1, 1) = 5;           // heat exchanger
    m.temp.TEMP(2, 1, 3) = 272.0;       // frozen
    m.phys.PHIN(1, 1, 3) = 0.0f;        // no drainable pores
    FLUSFL(m, 1, 1, 1, 2, 1, 3);
    EXPECT_EQ(m.ifld.IFLU(1, 1, 1), 1);   // saturated: horizontal
    EXPECT_EQ(m.ifld.IFLU(2, 1, 1), 0);
    EXPECT_EQ(m.ifld.IFLU(1, 1, 2), -1);  // partly saturated: vertical
    EXPECT_EQ(m.ifld.IFLU(1, 1, 3), 0);
    EXPECT_EQ(m.ifld.IFLU(2, 1, 3), 0);
    FLUKOF(m, 1, 1, 1);
    EXPECT_FLOAT_EQ(m.koef.FKO(2), 1.0E-3f);
    EXPECT_EQ(m.koef.FKO(6), 0.0f);
    FLUKOF(m, 1, 1, 2);
    EXPECT_EQ(m.koef.FKO(2), 0.0f);
    EXPECT_FLOAT_EQ(m.koef.FKO(5), 1.0E-3f);
    EXPECT_FLOAT_EQ(m.koef.FKO(6), 1.0E-3f);
    FLUKOF(m, 2, 1, 1);
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(m.koef.FKO(n), 0.0f);
}

TEST(Flusfl, FlagTablesOfTheListing) {
    // Two layers of 12 x 2 nodes: a saturated one with an exchanger and a
    // dry patch, a partly saturated one with a frozen node; 12 columns make
    // each row run over into a second line.
    HeatModel h(12, 2, 2, 2.5f, 4.0f, 1.5f);
    Model& m = h.m;
    m.inf1.KONTRL = 3;
    m.phys.SAETT(2) = 0.6f;
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 12; ++i) m.phys.PHIN(i, j, k) = 0.1f;
    m.ifld.IFLG(3, 1, 1) = 5;
    m.phys.PHIN(5, 2, 1) = 0.0f;
    m.temp.TEMP(11, 2, 2) = 272.0;
    FLUSFL(m, 1, 1, 1, 12, 2, 2);
    test::expect_golden(h.text(), "heat/golden/flusfl_flags.txt");
}

TEST(Flukof, DensityOfPartlyFrozenWater) {
    HeatModel h(2, 1, 1);
    Model& m = h.m;
    m.inf4.IMODE = 1;
    m.ifld.IEIS(1) = 1;
    m.ener.EISK(1, 3) = 0.5f;  // half the water liquid below freezing
    m.temp.TEMP(1, 1, 1) = 272.15;
    m.phys.GWVX(1, 1, 1) = 1.0E-6f;
    FLUKOF(m, 1, 1, 1);
    EXPECT_FLOAT_EQ(m.koef.FKO(2), (0.5f * 1000.0f + 0.5f * 917.0f) * 1.0E-6f);
}

TEST(Koefft, OneDimensionalConduction) {
    HeatModel h(3, 1, 1);
    Model& m = h.m;
    AUFNUL(m);
    m.koef.KOYM(2, 1, 1) = 7.0f;  // faces beyond the grid's dimension are not written
    m.koef.KOZP(2, 1, 1) = 7.0f;
    KOEFFT(m, 1, 1, 1, 3, 1, 1);
    EXPECT_FLOAT_EQ(m.koef.KOXM(2, 1, 1), 2.5f);  // lambda * A / d
    EXPECT_FLOAT_EQ(m.koef.KOXP(2, 1, 1), 2.5f);
    EXPECT_EQ(m.koef.KOXM(1, 1, 1), 0.0f);
    EXPECT_EQ(m.koef.KOXP(3, 1, 1), 0.0f);
    EXPECT_EQ(m.koef.KOYM(2, 1, 1), 7.0f);
    EXPECT_EQ(m.koef.KOZP(2, 1, 1), 7.0f);
    const float kspe = 2500.0f * 1000.0f / 3600.0f;
    EXPECT_FLOAT_EQ(m.koef.KSPE(2, 1, 1), kspe);
    EXPECT_FLOAT_EQ(m.koef.KDIA(2, 1, 1), 5.0f + kspe);
    EXPECT_FLOAT_EQ(m.koef.KDIA(1, 1, 1), 2.5f + kspe);
}

TEST(Koefft, ConvectiveCoefficientsTakeTheUpstreamMassFlow) {
    HeatModel h(3, 1, 1);
    Model& m = h.m;
    m.inf2.KONVEK = 1;
    m.inf4.IMODE = 0;
    m.inf1.ISCHEM = 2;
    for (int i = 1; i <= 3; ++i) {
        m.phys.PHIG(i, 1, 1) = 0.2f;
        m.phys.PHIN(i, 1, 1) = 0.2f;
        m.phys.GWVX(i, 1, 1) = 1.0E-5f;
    }
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 3, 1, 1);
    const double lam = 0.8 * 2.5 + 0.2 * 0.57;
    const double c = 0.2 * 4200.0 + 0.8 * 1000.0;
    const double D = lam / c;  // conductance [kg/s] of a 1 m face over 1 m
    const double F = 1000.0 * 1.0E-5;
    EXPECT_NEAR(m.koef.KOXM(2, 1, 1), F + D, 1e-7);  // inflow from upstream
    EXPECT_NEAR(m.koef.KOXP(2, 1, 1), D, 1e-7);
    EXPECT_NEAR(m.koef.KOXP(3, 1, 1), 0.0, 1e-12);  // closed outer face
    EXPECT_NEAR(m.koef.KSPE(2, 1, 1), (0.8 * 2500.0 + 0.2 * 1000.0) / 3600.0, 1e-5);
    // Central differences at |P| > 2: the downstream coefficient turns negative.
    m.inf1.ISCHEM = 1;
    KOEFFT(m, 1, 1, 1, 3, 1, 1);
    EXPECT_NEAR(m.koef.KOXP(2, 1, 1), D * (1.0 - 0.5 * F / D), 1e-6);
    EXPECT_LT(m.koef.KOXP(2, 1, 1), 0.0f);
}

TEST(Koefft, StorageAtTheFreezingPoint) {
    // At Tc = TG the storage uses the liquid heat capacity, the right-hand
    // side the freezing-range capacity.
    HeatModel h(1, 1, 1);
    Model& m = h.m;
    m.phys.PHIG(1, 1, 1) = 0.3f;
    m.temp.TEMP(1, 1, 1) = m.temp.TEMPA(1, 1, 1) = 273.15;
    m.ifld.IEIS(1) = 1;
    m.ener.EISK(1, 1) = 1.0f;
    m.ener.EISK(1, 2) = 2.0f;  // X = exp(2 dT)
    m.ener.SOUC(1, 1, 1) = 1000.0f;
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 1, 1, 1);
    EXPECT_NEAR(m.koef.KSPE(1, 1, 1), (2500.0 * 1000.0 * 0.7 + 4200.0 * 1000.0 * 0.3) / 3600.0, 0.01);
    QKOEFT(m);
    EXPECT_NEAR(m.koef.RSEI(1, 1, 1), static_cast<double>(m.koef.KSPE(1, 1, 1)) * 273.15 + 1000.0, 0.04);

    // Just below freezing the storage takes the latent heat over the
    // interval: the water fraction falls from X(d + h) to X(d - h).
    m.temp.TEMP(1, 1, 1) = 273.15 - 0.2;
    KOEFFT(m, 1, 1, 1, 1, 1, 1);
    const double x1 = std::exp(2.0 * -0.15), x2 = std::exp(2.0 * -0.25);
    const double xm = 0.5 * (x1 + x2);
    const double cp = xm * 4200.0 + (1.0 - xm) * 2114.0 + 334715.5 * (x1 - x2) / 0.1;
    const double rho = (1.0 - std::exp(-0.4)) * 917.0 + std::exp(-0.4) * 1000.0;
    EXPECT_NEAR(m.koef.KSPE(1, 1, 1), (2500.0 * 1000.0 * 0.7 + cp * rho * 0.3) / 3600.0, 1.0);

    // Convective form: the source is divided by the mean heat capacity,
    // and at dT = 0 that capacity is the freezing-range one.
    m.inf2.KONVEK = 1;
    m.temp.TEMP(1, 1, 1) = 273.15;
    KOEFFT(m, 1, 1, 1, 1, 1, 1);
    QKOEFT(m);
    const double xh = std::exp(2.0 * -0.05);
    const double cf = 0.5 * (1.0 + xh) * 4200.0 + (1.0 - 0.5 * (1.0 + xh)) * 2114.0 + 334715.5 * (1.0 - xh) / 0.05;
    const double C = 0.7 * 1000.0 + 0.3 * cf;
    EXPECT_NEAR(static_cast<double>(m.koef.RSEI(1, 1, 1)) - static_cast<double>(m.koef.KSPE(1, 1, 1)) * 273.15,
                1000.0 / C, 5e-5);
}

TEST(Qkoeft, FixedTemperatureAndHeatExchangerNodes) {
    HeatModel h(2, 1, 1);
    Model& m = h.m;
    m.ifld.IFLG(1, 1, 1) = 2;
    m.ifld.IFLG(2, 1, 1) = 5;
    m.ener.SOUC(1, 1, 1) = m.ener.SOUC(2, 1, 1) = 50.0f;  // ignored on such nodes
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 2, 1, 1);
    QKOEFT(m);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(m.koef.KSPE(i, 1, 1), 1.0E30f);
        EXPECT_EQ(m.koef.RSEI(i, 1, 1), static_cast<float>(static_cast<double>(1.0E30f) * 283.15));
        EXPECT_NEAR(m.koef.RSEI(i, 1, 1) / m.koef.KDIA(i, 1, 1), 283.15, 1e-4);
    }
}

}  // namespace
}  // namespace gruv
