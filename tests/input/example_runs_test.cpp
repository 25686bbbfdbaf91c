// Whole runs of the example decks against analytical steady states: the
// node-by-node input of a flow model with a well, and the layer-wise input
// of a conducting rod whose heat production is switched off and on at the
// interval ends or supplied by an additional data file.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace gruv::test {
namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// Seven nodes 2 m apart between fixed heads of 10 m and 4 m, a well taking
// 1e-4 m3/s at node 4, conductance K*A/dx = 1e-4 * 5 / 2 = 2.5e-4 m2/s.
// Steady state: the linear head plus the drawdown of the well, which is
// Q*a*b/(L*C) = 1e-4 * 3 * 3 / (6 * 2.5e-4) = 0.6 m at the well and falls off
// linearly toward both ends. The finite-difference solution of a piecewise
// linear head is exact at the nodes.
TEST(ExampleRuns, NodeByNodeWellBetweenFixedHeads) {
    const auto r = run_deck({{"GRUVAT", source_file("examples/node_by_node/node_by_node.gruv")}});
    ASSERT_EQ(r.status, 0) << r.console;
    const double expected[] = {10.0, 8.8, 7.6, 6.4, 5.6, 4.8, 4.0};
    // Tolerance: the solver stops at head changes of 1e-6 m per sweep, and the
    // storage term of the last daily step (S*A/dt ~ 1e-7 m2/s against
    // 2.5e-4 m2/s) leaves far less than 1e-4 m of transient.
    for (int i = 1; i <= 7; ++i) EXPECT_NEAR(r.model->wpot.WPOT(i, 1, 1), expected[i - 1], 1.0E-4) << "node " << i;
    // The input echo (control print 3) shows the field blocks as read.
    const std::string listing = r.file("node_by_node.lst");
    EXPECT_NE(listing.find("\n Quellen und Senken in cbm/s          - Schicht  1 -   0.50 m u. GOK\n"
                           "    Y\\X     1.00    3.00    5.00    7.00    9.00   11.00   13.00\n"
                           "    2.50 0.00000 0.00000 0.00000-0.00010 0.00000 0.00000 0.00000\n"),
              std::string::npos);
}

// A rod of 11 nodes 1 m apart (nodes on the boundaries) between 20 C (TEMP
// keyword on plane I = 1) and 10 C (card 27), both held by the boundary code
// of card 19, conductivity 2 W/m*K, no pores. Heat production q gives the
// steady profile T = 20 - x + q/(2*lambda) * x * (10 - x), which the
// difference scheme reproduces exactly. Each interval of 100 steps of 30 days
// lasts 25 diffusion times L^2/(pi^2 a) (a = 1e-6 m2/s): the transient has
// died out to e^-25 of 2.5 K.
class RodTest : public ::testing::Test {
protected:
    static void expect_profile(const Model& m, double q) {
        for (int i = 1; i <= 11; ++i) {
            const double x = i - 1;
            const double T = 20.0 - x + q / (2.0 * 2.0) * x * (10.0 - x) + 273.15;
            // Tolerance: the node equations are held in single precision. The
            // storage term KSPE*T (0.77 W/K x 290 K) is rounded differently in
            // the diagonal and in the right-hand side, which leaves a spurious
            // source of up to 2.7e-5 W per node; the rod answers a uniform
            // source s with s*n^2/(8*lambda) = 1.7e-4 K at its middle (n = 10).
            EXPECT_NEAR(m.temp.TEMP(i, 1, 1), T, 3.0E-4) << "node " << i << ", q = " << q;
        }
    }
    const std::string deck = source_file("examples/layerwise_keywords/layerwise_keywords.gruv");
};

TEST_F(RodTest, AddedHeatProductionSwitchesOffAndOnAtIntervalEnds) {
    // Card 27 gives 0.1 W/m3, the SOUC entry adds 0.3 W/m3 (selector -7).
    // Intervals: on, off, on; the conversions at the last interval end switch
    // off again, after the last steps were computed.
    const auto r = run_deck({{"GRUVAT", deck}});
    ASSERT_EQ(r.status, 0) << r.console;
    expect_profile(*r.model, 0.4);  // not 0.7 as if the addition piled up
    EXPECT_FLOAT_EQ(r.model->ener.SOUC(6, 1, 1), 0.1f);
    const std::string listing = r.file("layerwise.lst");
    EXPECT_NE(listing.find("Energieentzug bzw. Energieeingabe gestartet"), std::string::npos);
    EXPECT_NE(listing.find("\n Eingangsparameter von Schicht  1 -   0.00 m u. GOK\n"), std::string::npos);
}

TEST_F(RodTest, LastIntervalWithoutTheAddedHeat) {
    const auto r = run_deck({{"GRUVAT", replaced(deck, "  300  500  100", "  200  500  100")}});
    ASSERT_EQ(r.status, 0) << r.console;
    expect_profile(*r.model, 0.1);
}

TEST_F(RodTest, AddedHeatFromTheAdditionalDataFileActsOnce) {
    // The added 0.3 W/m3 comes from the additional data file at the start and
    // at steps 101 and 201, always the same value: it must act once, not
    // three times, and nothing is switched off at the interval ends.
    std::string d = replaced(deck, "    0    0    0                    layerwise.lst                           ",
                             "    0    1  100                    layerwise.lst       stab.zus            ");
    d = replaced(d, "SOUC       0.3    1    1    1   -7\n", "");
    const std::string zus = "(I5)\n    1\n(A4,4I5)\nSOUC    1    1    1   -7\n(F10.0)\n     W/cbm\n       0.3\n"
                            "       0.3\n       0.3\n";
    const auto r = run_deck({{"GRUVAT", d}, {"stab.zus", zus}});
    ASSERT_EQ(r.status, 0) << r.console;
    expect_profile(*r.model, 0.4);
    EXPECT_FLOAT_EQ(r.model->ener.SOUC(6, 1, 1), 0.4f);
}

}  // namespace
}  // namespace gruv::test
