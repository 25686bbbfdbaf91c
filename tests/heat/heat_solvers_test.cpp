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
    const NodeArray<float>* coef[6] = {&c.KOXM, &c.KOXP, &c.KOYM, &c.KOYP, &c.KOZM, &c.KOZP};
    double worst = 0.0;
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) {
                if (m.ifld.IFLG(i, j, k) != 1) continue;
                const int n[6][3] = {{i - 1, j, k}, {i + 1, j, k}, {i, j - 1, k},
                                     {i, j + 1, k}, {i, j, k - 1}, {i, j, k + 1}};
                double r =
                    static_cast<double>(c.KDIA(i, j, k)) * m.temp.TEMP(i, j, k) - static_cast<double>(c.RSEI(i, j, k));
                for (int l = 0; l < 6; ++l) {
                    const auto [a, b, e] = n[l];
                    if (a < 1 || a > d.NX || b < 1 || b > d.NY || e < 1 || e > d.NZ) continue;
                    r -= static_cast<double>((*coef[l])(i, j, k)) * m.temp.TEMP(a, b, e);
                }
                worst = std::max(worst, std::fabs(r) / static_cast<double>(c.KDIA(i, j, k)));
            }
    return worst;
}

//! A 5 x 4 x 3 block with a held corner, a heat source and convection.
void prepare_block(HeatModel& h) {
    Model& m = h.m;
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 4; ++j)
            for (int i = 1; i <= 5; ++i)
                m.temp.TEMP(i, j, k) = m.temp.TEMPA(i, j, k) = 283.15 + 0.5 * i - 0.3 * j + 0.2 * k;
    m.phys.PHIG.fill(0.2f);
    m.phys.PHIN.fill(0.2f);
    m.phys.GWVX.fill(2.0E-7f);
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
    for (float omegt : {1.5f, -1.0f}) {  // over-relaxed points, lines
        HeatModel h(5, 4, 3);
        prepare_block(h);
        h.m.par1.OMEGT = omegt;
        h.m.inf1.IRICHT = 1;
        omegt > 0 ? ITERAT(h.m) : IADITP(h.m);
        EXPECT_LT(h.m.inf2.NIT, 3000) << omegt;
        EXPECT_LT(largest_residual(h.m), 1e-7) << omegt;
        // The held node: not touched by the point solver, held by its
        // storage term to single precision of KSPE*TEMPA by the line solver.
        EXPECT_NEAR(h.m.temp.TEMP(1, 1, 1), 300.0, 300.0 * 1e-7) << omegt;
    }
}

TEST(HeatSolvers, IterationLimitFlagsAndDegenerateEquations) {
    HeatModel h(4, 1, 1);
    Model& m = h.m;
    m.temp.TEMPA(1, 1, 1) = m.temp.TEMP(1, 1, 1) = 300.0;
    m.ifld.IFLG(3, 1, 1) = -2;  // held: |IFLG| = 2
    m.ifld.IFLG(2, 1, 1) = -1;  // variable: |IFLG| = 1
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 4, 1, 1);
    QKOEFT(m);
    m.inf1.ITMAX = 1;
    ITERAT(m);
    EXPECT_EQ(m.inf2.NIT, 1);
    EXPECT_EQ(m.temp.TEMP(3, 1, 1), 283.15);
    EXPECT_GT(m.temp.TEMP(2, 1, 1), 283.15);
    const double largest = std::max(300.0 - m.temp.TEMP(1, 1, 1), m.temp.TEMP(2, 1, 1) - 283.15);
    EXPECT_EQ(m.par1.FEHLER, static_cast<float>(largest));

    // A node without any coefficient keeps its value instead of dividing by
    // 0; a NaN change ends the solve after its sweep with a NaN error. For
    // both solvers.
    for (float omegt : {1.0f, -1.0f}) {
        m.par1.OMEGT = omegt;
        m.inf1.ITMAX = 500;
        for (int i = 1; i <= 4; ++i) m.temp.TEMP(i, 1, 1) = 283.15;
        AUFNUL(m);
        m.koef.KDIA(1, 1, 1) = 1.0f;
        m.koef.RSEI(1, 1, 1) = 290.0f;
        omegt > 0 ? ITERAT(m) : IADITP(m);
        EXPECT_EQ(m.temp.TEMP(1, 1, 1), 290.0) << omegt;
        EXPECT_EQ(m.temp.TEMP(4, 1, 1), 283.15) << omegt;
        EXPECT_EQ(m.par1.FEHLER, 0.0f) << omegt;
        m.koef.RSEI(1, 1, 1) = std::numeric_limits<float>::quiet_NaN();
        omegt > 0 ? ITERAT(m) : IADITP(m);
        EXPECT_EQ(m.inf2.NIT, 1) << omegt;
        EXPECT_TRUE(std::isnan(m.par1.FEHLER)) << omegt;
    }
}

TEST(HeatSolvers, NewFactorsFromTheDialogueRestartTheSolve) {
    // The user asks for new factors once, then declines: the solve restarts
    // from TEMPA with them and ends as a fresh solve with those factors; the
    // line solver keeps its factor negative.
    for (float omegt : {1.0f, -1.0f}) {
        HeatModel asked(5, 4, 3), fresh(5, 4, 3);
        for (HeatModel* h : {&asked, &fresh}) prepare_block(*h);
        asked.m.par1.OMEGT = omegt;
        asked.m.inf2.IAENDR = 1;
        asked.type("J\n1.2\n0.5\nn\n");
        fresh.m.par1.OMEGT = 1.2f * omegt;
        fresh.m.par1.ALFAT = 0.5f;
        for (HeatModel* h : {&asked, &fresh}) omegt > 0 ? ITERAT(h->m) : IADITP(h->m);
        EXPECT_EQ(asked.m.par1.OMEGT, 1.2f * omegt);
        EXPECT_EQ(asked.m.par1.ALFAT, 0.5f);
        EXPECT_EQ(asked.m.inf2.IAENDR, 0);
        EXPECT_EQ(asked.m.inf2.NIT, fresh.m.inf2.NIT) << omegt;
        EXPECT_EQ(asked.m.temp.TEMP(3, 2, 2), fresh.m.temp.TEMP(3, 2, 2)) << omegt;
    }
}

// -- Freezing step control ------------------------------------------------------

constexpr double TG = 273.15;

//! One node at T0 moved by the solver to T1; returns the temperature PHATST leaves.
double corrected(HeatModel& h, double T0, double T1) {
    h.m.temp.TEMP(1, 1, 1) = T1;
    PHATST(h.m, 1, 1, 1, T0);
    return h.m.temp.TEMP(1, 1, 1);
}

TEST(Phatst, StepLimitWithAndWithoutFreezingCurve) {
    HeatModel h(1, 1, 1);
    struct Case {
        double T0, T1, expected;
    };
    // No freezing curve: every water fraction is 1, every limit the full
    // step. An update smaller than the limit is kept as the solver made it.
    for (const Case& c : {
             Case{TG + 2.0, TG + 1.0, TG + 1.0}, {TG, TG + 1.0, TG + 1.0}, {TG - 1.0, TG - 1.0, TG - 1.0},  // untouched
             {TG + 0.5, TG - 1.0, TG - 0.1}, {TG + 0.01, TG - 0.02, TG - 0.02},    // onset: at most DTGEF below TG
             {TG - 1.0, TG - 3.0, TG - 1.1}, {TG - 1.0, TG - 1.03, TG - 1.03},     // cooling: at most 2h = DTGEF
             {TG - 1.0, TG + 2.0, TG - 0.9}, {TG - 1.0, TG - 0.96, TG - 0.96},     // warming: at most DTGEF
             {TG - 0.02, TG + 2.0, TG + 0.05}})                                    // to the interval end above TG
        EXPECT_NEAR(corrected(h, c.T0, c.T1), c.expected, 1e-6) << c.T0 - TG << " -> " << c.T1 - TG;
    for (int flag : {2, 3, 4, 5, -1}) {
        h.m.ifld.IFLG(1, 1, 1) = flag;
        EXPECT_EQ(corrected(h, TG - 1.0, TG - 3.0), TG - 3.0) << flag;
    }
    h.m.ifld.IFLG(1, 1, 1) = 1;

    // X = exp(5 dT): the step is shortened so that the fraction changes by
    // DWAN across the interval [d - h, d + h] (or from 1 to X(-h) at onset).
    h.m.ifld.IEIS(1) = 1;
    h.m.ener.EISK(1, 1) = 1.0f;
    h.m.ener.EISK(1, 2) = 5.0f;
    const double step = 0.1 * 0.001 / (std::exp(-4.75) - std::exp(-5.25));
    const double onset = 0.1 * 0.001 / (1.0 - std::exp(-0.25));
    for (const Case& c : {
             Case{TG - 1.0, TG - 2.0, TG - 1.0 - step}, {TG - 1.0, TG, TG - 1.0 + step},  // cooling, warming
             {TG + 1.0, TG - 1.0, TG - onset}, {TG + 1.0, TG - 1.0E-4, TG - 1.0E-4},      // onset
             {TG - 4.0, TG - 5.0, TG - 4.1}})  // far below freezing the fraction hardly changes
        EXPECT_NEAR(corrected(h, c.T0, c.T1), c.expected, 1e-6) << c.T0 - TG << " -> " << c.T1 - TG;
}

TEST(Phatst, CorrectionReassemblesTheBoxAroundTheNode) {
    HeatModel h(3, 3, 3);
    Model& m = h.m;
    for (int k = 1; k <= 3; ++k) {
        m.ifld.IEIS(k) = 1;
        m.ener.EISK(k, 1) = 1.0f;
        m.ener.EISK(k, 2) = 5.0f;
    }
    m.phys.PHIG.fill(0.3f);
    m.ener.SOUC(1, 1, 1) = 100.0f;
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 3, 3, 3);
    QKOEFT(m);
    const float kspe_before = m.koef.KSPE(1, 1, 1);
    m.koef.RSEI.fill(-1.0f);
    m.koef.KOXM.fill(-1.0f);
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

//! Runs n time steps of a bar with the point solver; returns the largest
//! final error of a solve.
float run_steps(Model& m, int n) {
    float largest = 0.0f;
    for (int step = 0; step < n; ++step) {
        AUFNUL(m);
        KOEFFT(m, 1, 1, 1, m.ndim.NX, 1, 1);
        QKOEFT(m);
        ITERAT(m);
        KOPIER(m, 1);
        largest = std::max(largest, m.par1.FEHLER);
    }
    return largest;
}

TEST(Phatst, BarWithoutFreezingCurveSettlesIndependentlyOfTheIterationLimit) {
    // Node 1 of a 10-node bar held at -10 degC, the rest starting at -5 degC,
    // 15 daily steps. Without a freezing curve nothing freezes: the step
    // control may slow a solve, but not change where it ends (a fixed step
    // ended at -8.00 or -8.50 degC after 200 or 201 sweeps, -7.17 without it).
    auto cooled_bar = [](int iphase, int itmax) {
        HeatModel h(10, 1, 1);
        Model& m = h.m;
        m.inf2.IPHASE = iphase;
        m.inf1.ITMAX = itmax;
        m.par1.DELT = 86400.0f;
        m.par1.EPST = 1.0E-7f;
        m.par1.OMEGT = 1.2f;
        for (int i = 1; i <= 10; ++i) m.temp.TEMP(i, 1, 1) = m.temp.TEMPA(i, 1, 1) = TG - (i == 1 ? 10.0 : 5.0);
        m.ifld.IFLG(1, 1, 1) = 2;
        run_steps(m, 15);
        std::vector<double> T;
        for (int i = 1; i <= 10; ++i) T.push_back(m.temp.TEMP(i, 1, 1));
        return T;
    };
    const auto plain = cooled_bar(0, 200), limited200 = cooled_bar(1, 200), limited201 = cooled_bar(1, 201);
    EXPECT_LT(plain[1], TG - 5.5);  // the cold reached node 2
    for (std::size_t i = 0; i < plain.size(); ++i) {
        EXPECT_NEAR(limited200[i], plain[i], 1e-5) << i;
        EXPECT_EQ(limited200[i], limited201[i]) << i;
    }
}

TEST(Phatst, CorrectedSolvesKeepTheEnergyOfAClosedColumn) {
    // Ten insulated cells from -8.5 to +5 degC with a steep freezing curve.
    // Every corrected node re-assembles its box; where its storage term
    // changes, the right-hand side must change with it, or the difference
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
    for (int i = 1; i <= 10; ++i) {
        m.phys.PHIG(i, 1, 1) = 0.35f;
        m.temp.TEMP(i, 1, 1) = m.temp.TEMPA(i, 1, 1) = TG - 10.0 + 1.5 * i;
    }
    const double capacity = 2.0 * (0.65 * 2500.0 * 1000.0 + 0.35 * 1000.0 * 4200.0);  // J/K of the column
    ENERGI(m);
    EXPECT_LT(run_steps(m, 30), 0.02f);
    ENERGI(m);
    // The apparent heat capacity, taken at the iterate, does not integrate the
    // latent heat exactly: about one kelvin's worth of the column's heat.
    EXPECT_LT(std::fabs(m.ekal.EALT - m.ekal.EANF), 2.0 * capacity);
    for (int i = 2; i <= 10; ++i) EXPECT_LE(m.temp.TEMP(i - 1, 1, 1), m.temp.TEMP(i, 1, 1) + 1e-6) << i;
}

}  // namespace
}  // namespace gruv
