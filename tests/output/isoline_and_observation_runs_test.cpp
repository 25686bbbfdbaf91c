// Isoline and observation files written by whole runs: the steady conduction
// profile of a bar in both isoline forms with its observation records, and
// the seasonal heat exchanger example.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// Tolerance of the profile: the transient has decayed below 1.0E-8 K and the
// line solver meets its 1.0E-7 K limit, but the node equations hold REAL*4
// coefficients that multiply temperatures in kelvin: a diagonal rounded by
// half a unit of its last place (about 2.4E-7 W/K) times 278 K is a spurious
// 7E-5 W per node, which bends the profile by up to 1E-4 K in the middle.
constexpr double kProfileTolerance = 5.0e-4;

TEST(ResultFileRuns, SteadyBarProfileInIsolineAndObservationFiles) {
    // Conduction along a bar of eleven 1 m cells whose end cells are held at
    // 0 and 10 degrees Celsius (boundary code 1 on X, TEMP entries), the rest
    // starting at 5. Twenty implicit steps of 1000 days are some 17 diffusion
    // times of the bar, so the last state is the steady profile T(I) = I - 1;
    // the middle node stays at 5 all the time by symmetry.
    for (int form : {0, 1}) {
        test::ControlCards c;
        c.IMODE = 0, c.IEINGA = 0, c.NX = 11, c.NY = 1, c.NZ = 1;
        c.NZSCHR = 20, c.NZINT = 20, c.NAUSG = 20, c.step_length = 1000, c.time_unit = "TAG";
        c.EPST = 1.0e-7, c.ITMAX = 1000, c.OMEGT = -1.0;
        c.ISOYZ = 1, c.ISOXY = 1, c.ISOFRM = form;
        c.ISCHX = 0, c.ISCHY = 1, c.ISCHZ = 1;  // column 0: no Y-Z section
        c.NBEOB = 2, c.observation_nodes = {{1, 1, 1}, {6, 1, 1}};
        test::ShortInput s;
        s.code_x = 1;
        s.widths_x = std::vector<double>(11, 1.0);
        s.layers = {{5.0, 800.0, 2.65, 2.5, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
        s.entries = {{"TEMP", 0.0, 1, 1, 1, 0}, {"TEMP", 10.0, 11, 1, 1, 0}};
        auto r = test::run_deck({{"GRUVAT", c.text() + s.text()}});
        ASSERT_EQ(r.status, kExitNormal) << r.console;

        // A section outside the grid leaves its file empty; a heat-only run
        // writes no head files.
        EXPECT_TRUE(std::filesystem::exists(r.dir->path() / "TEMPYZ"));
        EXPECT_EQ(r.file("TEMPYZ"), "");
        EXPECT_FALSE(std::filesystem::exists(r.dir->path() / "PIEZXY"));
        std::vector<double> profile;
        const std::string xy = r.file("TEMPXY");
        if (form == 0) {
            // Header (sizes, ten X distances, no Y distance), one slice of one
            // row; 20 x 1000 days = 1.728E9 s do not fit F12.2.
            const auto lines = lines_of(xy);
            ASSERT_EQ(lines.size(), 5u);
            EXPECT_EQ(lines[0], "   11    1");
            std::string distances;
            for (int i = 0; i < 10; ++i) distances += "    1.0000";
            EXPECT_EQ(lines[1], distances);
            EXPECT_EQ(lines[2], "");
            EXPECT_EQ(lines[3], " 1.72800E+09");
            ASSERT_EQ(lines[4].size(), 110u);
            for (std::size_t at = 0; at < 110; at += 10) profile.push_back(std::stod(lines[4].substr(at, 10)));
        } else {
            // 14 header bytes, ten X distances, one slice of time and eleven values.
            ASSERT_EQ(xy.size(), 14u + 40u + 4u + 44u);
            EXPECT_EQ(xy.substr(0, 6), "BINARY");
            for (std::size_t at = 54; at < xy.size(); at += 4) {
                uint32_t v = 0;
                for (std::size_t b = 4; b-- > 0;) v = (v << 8) | static_cast<unsigned char>(xy[at + b]);
                profile.push_back(static_cast<double>(std::bit_cast<float>(v)));
            }
            EXPECT_EQ(profile.front(), 20.0f * 1000.0f * 86400.0f);
            profile.erase(profile.begin());
        }
        ASSERT_EQ(profile.size(), 11u);
        for (int i = 1; i <= 11; ++i) EXPECT_NEAR(profile[static_cast<std::size_t>(i - 1)], i - 1.0, kProfileTolerance);

        // One observation record at the start of every step and one at the
        // end. The end cell was set by a TEMP entry: 0 + 273.15 formed in
        // REAL*4 lies 6.1E-6 K below the melting point, printed as -0.000.
        const auto obs = lines_of(r.file("BEOB"));
        ASSERT_EQ(obs.size(), 21u);
        for (std::size_t n = 0; n < obs.size(); ++n) {
            char expect[64];
            std::snprintf(expect, sizeof expect, "%12.3f  -0.000   5.000", 1000.0 * static_cast<double>(n));
            EXPECT_EQ(obs[n], expect) << "record " << n + 1;
        }
    }
}

TEST(ResultFileRuns, SeasonalHeatExchangerFollowsItsLoad) {
    auto r = test::run_deck(
        {{"GRUVAT", test::source_file("examples/seasonal_heat_exchanger/seasonal_heat_exchanger.gruv")},
         {"erdsonde.zus", test::source_file("examples/seasonal_heat_exchanger/erdsonde.zus")}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    const auto lines = lines_of(r.file("erdsonde.beo"));
    ASSERT_EQ(lines.size(), 361u);  // 360 daily steps and the end
    // Columns: day, borehole cell, its neighbour, a node 5 m away.
    std::vector<double> day, bore, far;
    for (const auto& l : lines) {
        ASSERT_EQ(l.size(), 36u) << l;
        day.push_back(std::stod(l.substr(0, 12)));
        bore.push_back(std::stod(l.substr(12, 8)));
        far.push_back(std::stod(l.substr(28, 8)));
    }
    const auto day_of = [&](auto at) { return day[static_cast<std::size_t>(at - bore.begin())]; };
    // The borehole cell answers its load within days: coldest when the two
    // strongest extraction months end (day 60), warmest when the strongest
    // injection month ends (day 210).
    EXPECT_NEAR(day_of(std::min_element(bore.begin(), bore.end())), 60.0, 5.0);
    EXPECT_NEAR(day_of(std::max_element(bore.begin(), bore.end())), 210.0, 5.0);
    // 5 m away the cold arrives by conduction, weeks later and much weaker.
    const auto far_min = std::min_element(far.begin(), far.end());
    EXPECT_GT(day[static_cast<std::size_t>(far_min - far.begin())], 90.0);
    EXPECT_GT(*far_min, *std::min_element(bore.begin(), bore.end()) + 5.0);
    // Quarterly printouts give four slices of the X-Z (6 rows) and X-Y (11 rows) sections.
    EXPECT_EQ(lines_of(r.file("TEMPXZ")).size(), 3u + 4u * (1u + 6u));
    EXPECT_EQ(lines_of(r.file("TEMPXY")).size(), 3u + 4u * (1u + 11u));
}

}  // namespace
}  // namespace gruv
