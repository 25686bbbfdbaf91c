// Runs chained through the restart file: a run split in two matches the
// uninterrupted run, the coupled example chain, and the order of the restart
// file and the additional data file at start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

TEST(RestartChain, SplitRunMatchesTheUninterruptedRun) {
    // A 6 x 5 x 3 block heated by 500 W in one cell, its two X faces held at
    // 10 degrees Celsius, stepped by days: 20 steps at once, or 10 steps that
    // save their state and 10 more that start from it.
    const auto deck = [](int steps, int IWARMI, int IWARMO) {
        test::ControlCards c;
        c.IMODE = 0, c.IEINGA = 0, c.NX = 6, c.NY = 5, c.NZ = 3;
        c.NZSCHR = c.NZINT = steps, c.NAUSG = 5, c.IWARMI = IWARMI, c.IWARMO = IWARMO;
        c.EPST = 1.0e-7, c.ITMAX = 1000, c.OMEGT = -1.0;
        test::ShortInput s;
        s.code_x = 1;
        s.widths_x = std::vector<double>(6, 2.0);
        s.widths_y = std::vector<double>(5, 2.0);
        s.widths_z = std::vector<double>(3, 2.0);
        s.layers.assign(3, {10.0, 800.0, 2.65, 2.5, 20.0, 10.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1});
        s.entries = {{"WATT", 500.0, 3, 3, 2, 0}};
        return c.text() + s.text();
    };
    auto a = test::run_deck({{"GRUVAT", deck(20, 0, 0)}});
    ASSERT_EQ(a.status, kExitNormal) << a.console;
    auto b1 = test::run_deck({{"GRUVAT", deck(10, 0, 1)}});
    ASSERT_EQ(b1.status, kExitNormal) << b1.console;
    auto b2 = test::run_deck({{"GRUVAT", deck(10, 1, 0)}, {"GRUVWS", b1.file("GRUVWS")}});
    ASSERT_EQ(b2.status, kExitNormal) << b2.console;

    // The restart file rounds to 0.0005 K; the implicit conduction step obeys
    // a discrete maximum principle, so that difference does not grow, and the
    // 1.0E-7 K iteration limit adds nothing visible. The heating itself
    // raises the source cell by several kelvin, so the check has teeth.
    double largest = 0.0, rise = 0.0;
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 5; ++j)
            for (int i = 1; i <= 6; ++i) {
                largest = std::max(largest, std::abs(b2.model->temp.TEMP(i, j, k) - a.model->temp.TEMP(i, j, k)));
                rise = std::max(rise, a.model->temp.TEMP(i, j, k) - 283.15);
            }
    EXPECT_LT(largest, 1.0e-3);
    EXPECT_GT(rise, 1.0);
}

TEST(RestartChain, CoupledExampleChainCoolsAfterTheSourceIsOff) {
    auto r1 = test::run_deck({{"GRUVAT", test::source_file("examples/restart_chain_1/restart_chain_1.gruv")}});
    ASSERT_EQ(r1.status, kExitNormal) << r1.console;
    const std::string saved = r1.file("GRUVWS");
    auto r2 = test::run_deck(
        {{"GRUVAT", test::source_file("examples/restart_chain_2/restart_chain_2.gruv")}, {"GRUVWS", saved}});
    ASSERT_EQ(r2.status, kExitNormal) << r2.console;
    // Without a source the plume only spreads and leaves through the fixed
    // faces: the warmest node cools, and no node falls below the 10 degrees
    // of the inflow and the faces (maximum principle of the upwind-weighted
    // scheme, up to the iteration limit). The temperature section is the
    // first 15 rows of ten values, each followed by an empty line.
    std::istringstream rows(saved);
    double start_max = 0.0;
    std::string line;
    for (int n = 0; n < 30 && std::getline(rows, line); ++n) {
        std::istringstream row(line);
        for (double t; row >> t;) start_max = std::max(start_max, t);
    }
    double end_max = -1.0e30, end_min = 1.0e30;
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 5; ++j)
            for (int i = 1; i <= 10; ++i) {
                const double t = r2.model->temp.TEMP(i, j, k) - 273.15;
                end_max = std::max(end_max, t);
                end_min = std::min(end_min, t);
            }
    EXPECT_GT(start_max, 15.0);
    EXPECT_LT(end_max, start_max - 1.0);
    EXPECT_GT(end_min, 10.0 - 1.0e-3);
}

TEST(RestartChain, RestartStateIsReadBeforeTheFirstDataRecord) {
    // A heat-only bar of three nodes, start-up only, with a restart file of
    // 20 degrees and an additional data file whose first record sets the
    // middle node to 30: the record acts on the restart state. A data file
    // without records ends the run at once, and the final output rewrites
    // the restart file with the state just read from it.
    test::ControlCards c;
    c.IMODE = 0, c.IEINGA = 0, c.NX = 3, c.NY = 1, c.NZ = 1, c.NZSCHR = 0, c.NZINT = 1;
    c.IWARMI = 1, c.IZUSAT = 1, c.NZUSAT = 1;
    test::ShortInput s;
    s.widths_x = {1.0, 1.0, 1.0};
    s.layers = {{10.0, 1000.0, 2.5, 2.0, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    const std::string restart = "  20.000  20.000  20.000\n";
    const std::string head = "(I5)\n    1\n(A4,4I5)\nTEMP    2    1    1    0\n(F10.1)\n  Temperatur\n";

    auto r = test::run_deck({{"GRUVAT", c.text() + s.text()}, {"GRUVWS", restart}, {"ZUSATZ", head + "      30.0\n"}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    EXPECT_NEAR(r.model->temp.TEMP(1, 1, 1), 20.0 + 273.15, 1e-9);
    EXPECT_NEAR(r.model->temp.TEMP(2, 1, 1), 30.0 + 273.15, 1e-4);  // the record, not the restart file
    EXPECT_NEAR(r.model->temp.TEMP(3, 1, 1), 20.0 + 273.15, 1e-9);

    c.IWARMO = 1;
    r = test::run_deck({{"GRUVAT", c.text() + s.text()}, {"GRUVWS", restart}, {"ZUSATZ", head}});
    EXPECT_EQ(r.status, kExitNormal) << r.console;
    EXPECT_NE(r.console.find("Ende der optionalen Eingabedatei erreicht"), std::string::npos) << r.console;
    EXPECT_EQ(r.file("GRUVWS"), restart);
}

}  // namespace
}  // namespace gruv
