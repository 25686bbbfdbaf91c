// Heat solvers and the freezing step control: converged solves satisfy the
// assembled node equations, held nodes keep their values, a diverging solve
// ends with a NaN error, and the freezing step is a limit, not a fixed step.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "heat/heat.hpp"
#include "heat/heat_fixture.hpp"

namespace gruv {
namespace {

using test::HeatModel;

//! Largest residual |KDIA*T - sum(coef*T_neighbour) - RSEI| / KDIA [K] over
//! the variable-temperature nodes.
double largest_residual(Model& m) {
    const auto& d = m.ndim;
    const auto& c = m.koef;
    const auto& T = m.temp.TEMP;
    double worst = 0.0;
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) {
                if (m.ifld.IFLG(i, j, k) != 1) continue;
                double r = static_cast<double>(c.KDIA(i, j, k)) * T(i, j, k) - static_cast<double>(c.RSEI(i, j, k));
                if (i > 1) r -= static_cast<double>(c.KOXM(i, j, k)) * T(i - 1, j, k);
                if (i < d.NX) r -= static_cast<double>(c.KOXP(i, j, k)) * T(i + 1, j, k);
                if (j > 1) r -= static_cast<double>(c.KOYM(i, j, k)) * T(i, j - 1, k);
                if (j < d.NY) r -= static_cast<double>(c.KOYP(i, j, k)) * T(i, j + 1, k);
                if (k > 1) r -= static_cast<double>(c.KOZM(i, j, k)) * T(i, j, k - 1);
                if (k < d.NZ) r -= static_cast<double>(c.KOZP(i, j, k)) * T(i, j, k + 1);
                worst = std::max(worst, std::fabs(r) / static_cast<double>(c.KDIA(i, j, k)));
            }
    return worst;
}

//! A 5 x 4 x 3 block with a held corner, a heat source and convection.
void prepare_block(HeatModel& h) {
    Model& m = h.m;
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 4; ++j)
            for (int i = 1; i <= 5; ++i) {
                const double t = 283.15 + 0.5 * i - 0.3 * j + 0.2 * k;
                m.temp.TEMP(i, j, k) = m.temp.TEMPA(i, j, k) = t;
                m.phys.PHIG(i, j, k) = m.phys.PHIN(i, j, k) = 0.2f;
                m.phys.GWVX(i, j, k) = 2.0E-7f;
            }
    m.ifld.IFLG(1, 1, 1) = 2;
    m.temp.TEMP(1, 1, 1) = m.temp.TEMPA(1, 1, 1) = 300.0;
    m.ener.SOUC(3, 2, 2) = 200.0f;
    m.inf2.KONVEK = 1;
    m.par1.DELT = 86400.0f;
    m.par1.EPST = 1.0E-9f;
    m.inf1.ITMAX = 3000;
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 5, 4, 3);
    QKOEFT(m);
}

TEST(HeatSolvers, ConvergedSolvesSatisfyTheNodeEquations) {
    HeatModel point(5, 4, 3);
    prepare_block(point);
    point.m.par1.OMEGT = 1.5f;
    point.m.inf1.IRICHT = 1;
    ITERAT(point.m);
    EXPECT_LT(point.m.inf2.NIT, 3000);
    EXPECT_LT(largest_residual(point.m), 1e-7);
    EXPECT_EQ(point.m.temp.TEMP(1, 1, 1), 300.0);  // held node not touched

    HeatModel line(5, 4, 3);
    prepare_block(line);
    line.m.par1.OMEGT = -1.0f;
    IADITP(line.m);
    EXPECT_LT(line.m.inf2.NIT, 3000);
    EXPECT_LT(largest_residual(line.m), 1e-7);
    // Held by its storage term, to single precision of KSPE*TEMPA.
    EXPECT_NEAR(line.m.temp.TEMP(1, 1, 1), 300.0, 300.0 * 1e-7);
    EXPECT_EQ(line.m.par1.OMEGT, -1.0f);
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 4; ++j)
            for (int i = 1; i <= 5; ++i)
                EXPECT_NEAR(line.m.temp.TEMP(i, j, k), point.m.temp.TEMP(i, j, k), 3e-5) << i << j << k;
    EXPECT_EQ(point.m.inf1.KONTRL, 1);
}

TEST(HeatSolvers, IterationLimitAndNegativeFlags) {
    HeatModel h(4, 1, 1);
    Model& m = h.m;
    m.temp.TEMPA(1, 1, 1) = m.temp.TEMP(1, 1, 1) = 300.0;
    m.ifld.IFLG(3, 1, 1) = -2;  // held: |IFLG| = 2
    m.ifld.IFLG(2, 1, 1) = -1;  // variable: |IFLG| = 1
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 4, 1, 1);
    QKOEFT(m);
    m.inf1.ITMAX = 1;
    double before[5];
    for (int i = 1; i <= 4; ++i) before[i] = m.temp.TEMP(i, 1, 1);
    ITERAT(m);
    EXPECT_EQ(m.inf2.NIT, 1);
    EXPECT_EQ(m.temp.TEMP(3, 1, 1), 283.15);
    EXPECT_GT(m.temp.TEMP(2, 1, 1), 283.15);
    double largest = 0.0;
    for (int i = 1; i <= 4; ++i) largest = std::max(largest, std::fabs(m.temp.TEMP(i, 1, 1) - before[i]));
    EXPECT_GT(largest, 0.0);
    EXPECT_EQ(m.par1.FEHLER, static_cast<float>(largest));
}

TEST(HeatSolvers, NodeWithoutDiagonalKeepsItsValue) {
    HeatModel h(3, 1, 1);
    Model& m = h.m;
    AUFNUL(m);  // no coefficient at all
    m.koef.KDIA(1, 1, 1) = 1.0f;
    m.koef.RSEI(1, 1, 1) = 290.0f;
    ITERAT(m);
    EXPECT_EQ(m.temp.TEMP(1, 1, 1), 290.0);
    EXPECT_EQ(m.temp.TEMP(2, 1, 1), 283.15);
    EXPECT_EQ(m.temp.TEMP(3, 1, 1), 283.15);
    EXPECT_EQ(m.inf2.NIT, 2);
    EXPECT_EQ(m.par1.FEHLER, 0.0f);
}

//! Node 1 carries a NaN right-hand side and no coupling; nodes 2 and 3 form
//! an ordinary pair whose changes follow in the same sweep.
void prepare_nan(HeatModel& h) {
    Model& m = h.m;
    AUFNUL(m);
    m.koef.KDIA(1, 1, 1) = 1.0f;
    m.koef.RSEI(1, 1, 1) = std::numeric_limits<float>::quiet_NaN();
    for (int i = 2; i <= 3; ++i) {
        m.koef.KDIA(i, 1, 1) = 2.0f;
        m.koef.RSEI(i, 1, 1) = 400.0f;
    }
    m.koef.KOXP(2, 1, 1) = 1.0f;
    m.koef.KOXM(3, 1, 1) = 1.0f;
}

TEST(HeatSolvers, NonFiniteErrorEndsTheSolve) {
    HeatModel point(3, 1, 1);
    prepare_nan(point);
    ITERAT(point.m);
    EXPECT_EQ(point.m.inf2.NIT, 1);
    EXPECT_TRUE(std::isnan(point.m.par1.FEHLER));

    HeatModel line(3, 1, 1);
    prepare_nan(line);
    line.m.par1.OMEGT = -1.0f;
    IADITP(line.m);
    EXPECT_EQ(line.m.inf2.NIT, 1);
    EXPECT_TRUE(std::isnan(line.m.par1.FEHLER));
}

// -- Freezing step control ------------------------------------------------------

constexpr double TG = 273.15;

//! One node at T0 moved by the solver to T1; returns the temperature PHATST leaves.
double corrected(HeatModel& h, double T0, double T1) {
    h.m.temp.TEMP(1, 1, 1) = T1;
    PHATST(h.m, 1, 1, 1, T0);
    return h.m.temp.TEMP(1, 1, 1);
}

TEST(Phatst, WithoutFreezingCurveTheStepIsALimit) {
    HeatModel h(1, 1, 1);
    // At or above freezing before and after: unchanged.
    EXPECT_EQ(corrected(h, TG + 2.0, TG + 1.0), TG + 1.0);
    EXPECT_EQ(corrected(h, TG, TG + 1.0), TG + 1.0);
    // Onset of freezing: at most DTGEF below TG.
    EXPECT_NEAR(corrected(h, TG + 0.5, TG - 1.0), TG - 0.1, 1e-7);
    EXPECT_EQ(corrected(h, TG + 0.01, TG - 0.02), TG - 0.02);
    // Cooling below freezing: by at most the interval width 2h = DTGEF.
    EXPECT_NEAR(corrected(h, TG - 1.0, TG - 3.0), TG - 1.1, 1e-6);
    EXPECT_EQ(corrected(h, TG - 1.0, TG - 1.03), TG - 1.03);
    // Warming: up to the interval end, at most DTGEF.
    EXPECT_NEAR(corrected(h, TG - 1.0, TG + 2.0), TG - 0.9, 1e-6);
    EXPECT_NEAR(corrected(h, TG - 0.02, TG + 2.0), TG + 0.05, 1e-6);  // just above freezing
    EXPECT_EQ(corrected(h, TG - 1.0, TG - 0.96), TG - 0.96);
    // Unchanged node, and nodes of other flags.
    EXPECT_EQ(corrected(h, TG - 1.0, TG - 1.0), TG - 1.0);
    for (int flag : {2, 3, 4, 5, -1}) {
        h.m.ifld.IFLG(1, 1, 1) = flag;
        EXPECT_EQ(corrected(h, TG - 1.0, TG - 3.0), TG - 3.0) << flag;
    }
}

TEST(Phatst, FreezingCurveShortensTheStep) {
    HeatModel h(1, 1, 1);
    Model& m = h.m;
    m.ifld.IEIS(1) = 1;
    m.ener.EISK(1, 1) = 1.0f;
    m.ener.EISK(1, 2) = 5.0f;  // X = exp(5 dT)
    const double dwan = 0.001;
    // Cooling from 1 K below freezing: the fraction changes across [-1.05, -0.95].
    const double dX = std::exp(-4.75) - std::exp(-5.25);
    EXPECT_NEAR(corrected(h, TG - 1.0, TG - 2.0), TG - 1.0 - 0.1 * dwan / dX, 1e-6);
    // Warming over the same interval.
    EXPECT_NEAR(corrected(h, TG - 1.0, TG), TG - 1.0 + 0.1 * dwan / dX, 1e-6);
    // Onset: the fraction falls from 1 to X(-h).
    const double onset = 0.1 * dwan / (1.0 - std::exp(-0.25));
    EXPECT_NEAR(corrected(h, TG + 1.0, TG - 1.0), TG - onset, 1e-7);
    // An update smaller than the limit is kept.
    EXPECT_EQ(corrected(h, TG + 1.0, TG - 1.0E-4), TG - 1.0E-4);
    // Far below freezing the fraction hardly changes: the full width.
    EXPECT_NEAR(corrected(h, TG - 4.0, TG - 5.0), TG - 4.1, 1e-6);
}

TEST(Phatst, CorrectionReassemblesTheBoxAroundTheNode) {
    HeatModel h(3, 3, 3);
    Model& m = h.m;
    for (int k = 1; k <= 3; ++k) {
        m.ifld.IEIS(k) = 1;
        m.ener.EISK(k, 1) = 1.0f;
        m.ener.EISK(k, 2) = 5.0f;
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) m.phys.PHIG(i, j, k) = 0.3f;
    }
    m.ener.SOUC(1, 1, 1) = 100.0f;
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 3, 3, 3);
    QKOEFT(m);
    const float kspe_before = m.koef.KSPE(1, 1, 1);
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) m.koef.RSEI(i, j, k) = m.koef.KOXM(i, j, k) = -1.0f;
    m.temp.TEMP(1, 1, 1) = TG - 2.0;
    PHATST(m, 1, 1, 1, TG - 1.0);
    // Only the corrected node changed its storage term (latent heat): its
    // right-hand side follows; the others keep theirs bit for bit.
    const float kspe = m.koef.KSPE(1, 1, 1);
    EXPECT_NE(kspe, kspe_before);
    EXPECT_EQ(m.koef.RSEI(1, 1, 1), static_cast<float>(static_cast<double>(kspe) * 283.15 + 100.0));
    EXPECT_EQ(m.koef.RSEI(2, 1, 1), -1.0f);
    EXPECT_EQ(m.koef.RSEI(2, 2, 2), -1.0f);
    EXPECT_NE(m.koef.KOXM(2, 2, 2), -1.0f);  // inside the clipped box 1..2
    EXPECT_EQ(m.koef.KOXM(3, 1, 1), -1.0f);  // outside it
    // The box holds what a fresh assembly at the corrected temperature gives.
    KOEFFT(m, 1, 1, 1, 2, 2, 2);
    EXPECT_EQ(m.koef.KSPE(1, 1, 1), kspe);
}

//! A 10-node bar of which node 1 is held at -10 degC, the rest starting at
//! -5 degC, cooled for 15 daily steps; returns the final temperatures.
std::vector<double> cooled_bar(int iphase, int itmax) {
    HeatModel h(10, 1, 1);
    Model& m = h.m;
    m.inf2.IPHASE = iphase;
    m.inf1.ITMAX = itmax;
    m.par1.DELT = 86400.0f;
    m.par1.EPST = 1.0E-7f;
    m.par1.OMEGT = 1.2f;
    for (int i = 1; i <= 10; ++i) m.temp.TEMP(i, 1, 1) = m.temp.TEMPA(i, 1, 1) = TG - 5.0;
    m.ifld.IFLG(1, 1, 1) = 2;
    m.temp.TEMP(1, 1, 1) = m.temp.TEMPA(1, 1, 1) = TG - 10.0;
    for (int step = 0; step < 15; ++step) {
        AUFNUL(m);
        KOEFFT(m, 1, 1, 1, 10, 1, 1);
        QKOEFT(m);
        ITERAT(m);
        KOPIER(m, 1);
    }
    std::vector<double> T;
    for (int i = 1; i <= 10; ++i) T.push_back(m.temp.TEMP(i, 1, 1));
    return T;
}

TEST(Phatst, BarWithoutFreezingCurveSettlesIndependentlyOfTheIterationLimit) {
    // Without a freezing curve nothing freezes: the step control may slow a
    // solve but must not change where it ends.
    const auto plain = cooled_bar(0, 200);
    const auto limited200 = cooled_bar(1, 200);
    const auto limited201 = cooled_bar(1, 201);
    EXPECT_LT(plain[1], TG - 5.5);  // the cold reached node 2
    for (std::size_t i = 0; i < plain.size(); ++i) {
        EXPECT_NEAR(limited200[i], plain[i], 1e-5) << i;
        EXPECT_EQ(limited200[i], limited201[i]) << i;
    }
}

TEST(Phatst, CorrectedSolvesKeepTheEnergyOfAClosedColumn) {
    // Ten insulated cells from -8.5 to +5 degC with a steep freezing curve.
    // Every corrected node re-assembles its box; its storage term changes
    // there, and the right-hand side must change with it, or the difference
    // of the two storage terms times the temperature in kelvin acts as a heat
    // source or sink (it took a sixth of the column's heat in 30 steps and
    // kept every solve at ITMAX with an error of a full DTGEF). A node right
    // at the freezing point may still alternate between the liquid and the
    // latent storage term by a controlled onset step of about 0.01 K.
    HeatModel h(10, 1, 1, 0.2f, 1.0f, 1.0f);
    Model& m = h.m;
    m.inf2.IPHASE = 1;
    m.ifld.IEIS(1) = 1;
    m.ener.EISK(1, 1) = 0.95f;
    m.ener.EISK(1, 2) = 2.0f;
    m.ener.EISK(1, 3) = 0.05f;
    m.par4.DWAN = 0.02f;
    m.par1.DELT = 86400.0f;
    m.par1.EPST = 1.0E-4f;
    double capacity = 0.0;  // heat that warms the column by 1 K [J/K]
    for (int i = 1; i <= 10; ++i) {
        m.phys.PHIG(i, 1, 1) = 0.35f;
        m.temp.TEMP(i, 1, 1) = m.temp.TEMPA(i, 1, 1) = TG - 10.0 + 1.5 * i;
        capacity += 0.2 * (0.65 * 2500.0 * 1000.0 + 0.35 * 1000.0 * 4200.0);
    }
    ENERGI(m);
    const double start = m.ekal.EANF;
    float largest_error = 0.0f;
    for (int step = 0; step < 30; ++step) {
        AUFNUL(m);
        KOEFFT(m, 1, 1, 1, 10, 1, 1);
        QKOEFT(m);
        ITERAT(m);
        KOPIER(m, 1);
        largest_error = std::max(largest_error, m.par1.FEHLER);
    }
    ENERGI(m);
    EXPECT_LT(largest_error, 0.02f);
    // The apparent heat capacity, taken at the iterate, does not integrate the
    // latent heat exactly: about one kelvin's worth of the column's heat.
    EXPECT_LT(std::fabs(m.ekal.EALT - start), 2.0 * capacity);
    for (int i = 2; i <= 10; ++i) EXPECT_LE(m.temp.TEMP(i - 1, 1, 1), m.temp.TEMP(i, 1, 1) + 1e-6) << i;
}

}  // namespace
}  // namespace gruv
