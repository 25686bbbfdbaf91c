// Observation file: record layouts of the three computation modes, the empty
// line after exactly ten values, time units and fields too wide to print.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "output/output.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

//! A 4 x 3 x 2 grid with T = I + J/10 + K/100 degrees Celsius and heads
//! 200 + the same, so every printed value names its node.
struct ObsFixture {
    // The streams outlive the model, whose units flush the console on destruction.
    std::ostringstream console;
    std::istringstream keys;
    std::unique_ptr<Model> m = std::make_unique<Model>();
    test::ScratchDir dir{"obs"};

    ObsFixture(int imode, int nodes) {
        m->io.console().attach(console, keys, false);
        m->ndim = {4, 3, 2, 3, 2, 1};
        m->inf4.IMODE = imode;
        m->par1.FZEIT = 86400.0f;
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 3; ++j)
                for (int i = 1; i <= 4; ++i) {
                    const double c = i + j / 10.0 + k / 100.0;
                    m->temp.TEMP(i, j, k) = c + 273.15;
                    m->wpot.WPOT(i, j, k) = static_cast<float>(200.0 + c);
                }
        m->inf4.NBEOB = nodes;
        for (int n = 1; n <= nodes; ++n) {
            const int c = n - 1;  // walk the grid: I fastest
            m->inf4.IBEOB(n) = c % 4 + 1;
            m->inf4.JBEOB(n) = (c / 4) % 3 + 1;
            m->inf4.KBEOB(n) = c / 12 + 1;
        }
        EXPECT_TRUE(m->io.open_output(7, "BEOB.DAT"));
    }
    //! Writes one record per time (in seconds) and returns the file.
    std::string records(std::initializer_list<float> times) {
        for (float t : times) {
            m->par1.ZEIT = t;
            OBSDAT(*m);
        }
        m->io.close(7);
        return test::read_file("BEOB.DAT");
    }
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

TEST(ObservationFile, HeatOnlyThreeNodesOneLineOf36Characters) {
    ObsFixture f(0, 3);
    const std::string text = f.records({0.0f, 129600.0f});
    EXPECT_EQ(text,
              "       0.000   1.110   2.110   3.110\n"
              "       1.500   1.110   2.110   3.110\n");
}

TEST(ObservationFile, CoupledFiveNodesFillTheFirstLineAndAddAnEmptyLine) {
    ObsFixture f(1, 5);
    const auto lines = lines_of(f.records({0.0f, 43200.0f}));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].size(), 12u + 10u * 8u);
    EXPECT_EQ(lines[0].substr(0, 28), "       0.000   1.110 201.110");
    EXPECT_EQ(lines[0].substr(76), "   1.210 201.210");  // node 5 is (1,2,1)
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2].substr(0, 12), "       0.500");
    EXPECT_EQ(lines[3], "");
}

TEST(ObservationFile, CoupledSevenNodesContinueOnAnIndentedSecondLine) {
    ObsFixture f(1, 7);
    const auto lines = lines_of(f.records({86400.0f}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 92u);
    EXPECT_EQ(lines[1], "            2.210 202.210   3.210 203.210");
}

TEST(ObservationFile, FlowOnlyTenNodesAddAnEmptyLine) {
    ObsFixture f(2, 10);
    const auto lines = lines_of(f.records({0.0f}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 92u);
    EXPECT_EQ(lines[1], "");
}

TEST(ObservationFile, LayoutsOfAllModes) {
    std::string text;
    const std::pair<int, int> cases[] = {{0, 3}, {0, 10}, {1, 5}, {1, 7}, {1, 10}, {2, 4}, {2, 10}};
    for (auto [mode, nodes] : cases) {
        ObsFixture f(mode, nodes);
        text += "== IMODE " + std::to_string(mode) + ", " + std::to_string(nodes) + " nodes ==\n";
        text += f.records({0.0f, 129600.0f});
    }
    test::expect_golden(text, "output/golden/observation_layouts.txt");
}

TEST(ObservationFile, ValueTooWideIsAsterisksAndTimeTooWideIsExponentForm) {
    ObsFixture f(0, 2);
    f.m->par1.FZEIT = 1.0f;  // seconds as the time unit
    f.m->temp.TEMP(2, 1, 1) = 1.0e4 + 273.15;
    // 2 years in seconds still fit F12.3; 4 years do not.
    const std::string text = f.records({63072000.0f, 126144000.0f});
    EXPECT_EQ(text,
              "63072000.000   1.110********\n"
              " 1.26144E+08   1.110********\n");
}

TEST(ObservationFile, TraceBanner) {
    ObsFixture f(0, 1);
    f.m->inf2.IBILD = 1;
    f.records({0.0f});
    f.m->io.console().flush();
    EXPECT_EQ(f.console.str(), "                ********* Subroutine OBSDAT **********\n");
}

}  // namespace
}  // namespace gruv
