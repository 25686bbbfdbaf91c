// Isoline files written by whole runs: the steady conduction profile of a bar
// in both file forms, time stamps beyond the fixed-point field, and a section
// outside the grid.
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

//! Heat conduction along a bar of eleven 1 m cells whose end cells are held at
//! 0 and 10 degrees Celsius (boundary code 1 on X, TEMP entries). Twenty
//! implicit steps of 1000 days are some 17 diffusion times of the bar, so the
//! last state is the steady linear profile T(I) = I - 1.
std::string bar_deck(test::ControlCards c) {
    c.IMODE = 0;
    c.IEINGA = 0;
    c.NX = 11;
    c.NY = 1;
    c.NZ = 1;
    c.NZSCHR = 20;
    c.NZINT = 20;
    c.NAUSG = 20;
    c.step_length = 1000;
    c.time_unit = "TAG";
    c.EPST = 1.0e-7;
    c.ITMAX = 1000;
    c.OMEGT = -1.0;  // line solver: one tridiagonal solve per sweep
    test::ShortInput s;
    s.code_x = 1;
    s.widths_x = std::vector<double>(11, 1.0);
    s.layers = {{5.0, 800.0, 2.65, 2.5, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    s.entries = {{"TEMP", 0.0, 1, 1, 1, 0}, {"TEMP", 10.0, 11, 1, 1, 0}};
    return c.text() + s.text();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

float r4_at(const std::string& b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b.at(at + static_cast<std::size_t>(i)));
    return std::bit_cast<float>(v);
}

// Tolerance of the profile: the transient has decayed below 1.0E-8 K and the
// line solver meets its 1.0E-7 K limit, but the node equations hold REAL*4
// coefficients that multiply temperatures in kelvin: a diagonal rounded by
// half a unit of its last place (about 2.4E-7 W/K) times 278 K is a spurious
// 7E-5 W per node, which bends the profile by up to 1E-4 K in the middle.
constexpr double kProfileTolerance = 5.0e-4;

TEST(IsolineRuns, SteadyBarProfileInTheTextFile) {
    test::ControlCards c;
    c.ISOXY = 1;
    c.ISCHX = 1;
    c.ISCHY = 1;
    c.ISCHZ = 1;
    auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    const auto lines = lines_of(r.file("TEMPXY"));
    // Header (sizes, ten X distances, no Y distance) and one slice of one row.
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "   11    1");
    std::string distances;
    for (int i = 1; i <= 10; ++i) distances += "    1.0000";
    EXPECT_EQ(lines[1], distances);
    EXPECT_EQ(lines[2], "");
    // 20 x 1000 days = 1.728E9 s do not fit F12.2.
    EXPECT_EQ(lines[3], " 1.72800E+09");
    ASSERT_EQ(lines[4].size(), 110u);
    for (int i = 1; i <= 11; ++i) {
        const double t = std::stod(lines[4].substr(static_cast<std::size_t>(10 * (i - 1)), 10));
        EXPECT_NEAR(t, i - 1.0, kProfileTolerance) << "node " << i;
    }
    // Only the selected file exists; no head files in a heat-only run.
    EXPECT_EQ(r.file("TEMPYZ"), "");
    EXPECT_EQ(r.file("PIEZXY"), "");
}

TEST(IsolineRuns, SteadyBarProfileInTheByteStream) {
    test::ControlCards c;
    c.ISOXY = 1;
    c.ISOFRM = 1;
    c.ISCHX = 1;
    c.ISCHY = 1;
    c.ISCHZ = 1;
    auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    const std::string b = r.file("TEMPXY");
    // 14 header bytes, ten X distances, one slice of time and eleven values.
    ASSERT_EQ(b.size(), 14u + 40u + 4u + 44u);
    EXPECT_EQ(b.substr(0, 6), "BINARY");
    EXPECT_EQ(r4_at(b, 14), 1.0f);
    EXPECT_EQ(r4_at(b, 54), 20.0f * 1000.0f * 86400.0f);
    for (int i = 1; i <= 11; ++i) {
        const float t = r4_at(b, 58 + 4 * static_cast<std::size_t>(i - 1));
        EXPECT_NEAR(t, i - 1.0, kProfileTolerance) << "node " << i;
        EXPECT_EQ(t, static_cast<float>(r.model->temp.TEMP(i, 1, 1) - 273.15)) << "node " << i;
    }
}

TEST(IsolineRuns, SectionOutsideTheGridGivesAnEmptyFile) {
    test::ControlCards c;
    c.ISOYZ = 1;  // column 0: no Y-Z section
    c.ISOXZ = 1;  // row 1 exists
    c.ISCHX = 0;
    c.ISCHY = 1;
    c.ISCHZ = 1;
    c.NZSCHR = 20;
    auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    EXPECT_TRUE(std::filesystem::exists(r.dir->path() / "TEMPYZ"));
    EXPECT_EQ(r.file("TEMPYZ"), "");
    EXPECT_EQ(lines_of(r.file("TEMPXZ")).size(), 5u);
    EXPECT_EQ(r.model->isop.ISOANF, 1);
}

}  // namespace
}  // namespace gruv
