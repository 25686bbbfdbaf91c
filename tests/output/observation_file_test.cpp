// Observation file: record layouts of the three computation modes, the empty
// line after exactly ten values, time units and fields too wide to print.
#include <gtest/gtest.h>

#include <string>

#include "output/output.hpp"
#include "support/grid_model.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

//! `nodes` observation nodes walking a 4 x 3 x 2 grid (I fastest), whose
//! T = I + J/10 + K/100 degrees Celsius and heads 200 + the same, so every
//! printed value names its node.
void observe(Model& m, int imode, int nodes) {
    m.ndim = {4, 3, 2, 3, 2, 1};
    m.inf4.IMODE = imode;
    m.par1.FZEIT = 86400.0f;
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 4; ++i) {
                const double v = i + j / 10.0 + k / 100.0;
                m.temp.TEMP(i, j, k) = v + 273.15;
                m.wpot.WPOT(i, j, k) = static_cast<float>(200.0 + v);
            }
    m.inf4.NBEOB = nodes;
    for (int n = 1; n <= nodes; ++n) m.inf4.IBEOB(n) = (n - 1) % 4 + 1, m.inf4.JBEOB(n) = (n - 1) / 4 % 3 + 1;
    for (int n = 1; n <= nodes; ++n) m.inf4.KBEOB(n) = (n - 1) / 12 + 1;
}

//! The observation file after one record per time (in seconds).
std::string records(Model& m, std::initializer_list<float> times) {
    test::ScratchDir dir("obs");
    EXPECT_TRUE(m.io.open_output(7, "BEOB.DAT"));
    for (float t : times) {
        m.par1.ZEIT = t;
        OBSDAT(m);
    }
    m.io.close(7);
    return test::read_file("BEOB.DAT");
}

TEST(ObservationFile, LayoutsOfAllModes) {
    // Mode 0 with three nodes: lines of 12 + 3 x 8 characters; 1.5 days.
    // Modes 1 and 2: ten values on the first line, the rest on a second one
    // indented by 9 blanks; exactly ten values are followed by an empty line.
    std::string text;
    const std::pair<int, int> cases[] = {{0, 3}, {0, 10}, {1, 5}, {1, 7}, {1, 10}, {2, 4}, {2, 10}};
    for (auto [mode, nodes] : cases) {
        test::CapturedModel c;
        observe(c.m, mode, nodes);
        text += "== IMODE " + std::to_string(mode) + ", " + std::to_string(nodes) + " nodes ==\n";
        text += records(c.m, {0.0f, 129600.0f});
    }
    test::expect_golden(text, "output/golden/observation_layouts.txt");
}

TEST(ObservationFile, ValueTooWideIsAsterisksAndTimeTooWideIsExponentForm) {
    test::CapturedModel c;
    observe(c.m, 0, 2);
    c.m.inf2.IBILD = 1;
    c.m.temp.TEMP(2, 1, 1) = 1.0e4 + 273.15;
    // Seconds as the time unit: 2 years still fit F12.3, 4 years do not.
    c.m.par1.FZEIT = 1.0f;
    EXPECT_EQ(records(c.m, {63072000.0f, 126144000.0f}),
              "63072000.000   1.110********\n"
              " 1.26144E+08   1.110********\n");
    const std::string trace = "                ********* Subroutine OBSDAT **********\n";
    EXPECT_EQ(c.text(), trace + trace);
}

}  // namespace
}  // namespace gruv
