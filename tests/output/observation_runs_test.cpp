// The observation file of whole runs: one record at the start of every step
// and one at the end, time in the unit of the deck, and the seasonal heat
// exchanger example.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

//! Conduction along a bar of eleven 1 m cells, the end cells held at 0 and
//! 10 degrees Celsius, the rest starting at 5: the middle node stays at 5 by
//! symmetry, the end node at 0.
std::string bar_deck(test::ControlCards c) {
    c.IMODE = 0;
    c.IEINGA = 0;
    c.NX = 11;
    c.NY = 1;
    c.NZ = 1;
    c.EPST = 1.0e-7;
    c.ITMAX = 1000;
    c.OMEGT = -1.0;
    c.NBEOB = 2;
    c.observation_nodes = {{1, 1, 1}, {6, 1, 1}};
    test::ShortInput s;
    s.code_x = 1;
    s.widths_x = std::vector<double>(11, 1.0);
    s.layers = {{5.0, 800.0, 2.65, 2.5, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    s.entries = {{"TEMP", 0.0, 1, 1, 1, 0}, {"TEMP", 10.0, 11, 1, 1, 0}};
    return c.text() + s.text();
}

TEST(ObservationRuns, OneRecordPerStepAndOneAtTheEnd) {
    test::ControlCards c;
    c.NZSCHR = 20;
    c.NZINT = 20;
    c.NAUSG = 20;
    c.step_length = 1000;
    c.time_unit = "TAG";
    auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    const auto lines = lines_of(r.file("BEOB"));
    ASSERT_EQ(lines.size(), 21u);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        char expect[64];
        // The end cell was set by a TEMP entry: 0 + 273.15 formed in REAL*4
        // lies 6.1E-6 K below the melting point, printed as -0.000.
        std::snprintf(expect, sizeof expect, "%12.3f  -0.000   5.000", 1000.0 * static_cast<double>(n));
        EXPECT_EQ(lines[n], expect) << "record " << n + 1;
    }
}

TEST(ObservationRuns, SecondsBeyondTheFixedFieldTurnToExponentForm) {
    // Steps of 1.0E4 s growing tenfold: the run ends at 111110000 s, which
    // F12.3 cannot hold.
    test::ControlCards c;
    c.NZSCHR = 5;
    c.NZINT = 5;
    c.NAUSG = 5;
    c.step_length = 10000;
    c.time_unit = "SEK";
    c.ZFAKT = 10.0;
    auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    const auto lines = lines_of(r.file("BEOB"));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4].substr(0, 12), "11110000.000");
    EXPECT_EQ(lines[5].substr(0, 12), " 1.11110E+08");
    EXPECT_EQ(lines[5].substr(12), "  -0.000   5.000");
}

TEST(ObservationRuns, SeasonalHeatExchangerFollowsItsLoad) {
    auto r = test::run_deck({{"GRUVAT", test::source_file("examples/seasonal_heat_exchanger.gruv")},
                             {"erdsonde.zus", test::source_file("examples/seasonal_heat_exchanger.erdsonde.zus")}});
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
    const auto at_min = [](const std::vector<double>& v) { return std::min_element(v.begin(), v.end()) - v.begin(); };
    const auto at_max = [](const std::vector<double>& v) { return std::max_element(v.begin(), v.end()) - v.begin(); };
    // The borehole cell answers its load within days: coldest when the two
    // strongest extraction months end (day 60), warmest when the strongest
    // injection month ends (day 210).
    EXPECT_NEAR(day[static_cast<std::size_t>(at_min(bore))], 60.0, 5.0);
    EXPECT_NEAR(day[static_cast<std::size_t>(at_max(bore))], 210.0, 5.0);
    // 5 m away the cold arrives by conduction, weeks later and much weaker.
    EXPECT_GT(day[static_cast<std::size_t>(at_min(far))], 90.0);
    EXPECT_GT(*std::min_element(far.begin(), far.end()), *std::min_element(bore.begin(), bore.end()) + 5.0);
    // Quarterly printouts give four slices of the X-Z and X-Y sections.
    for (const char* name : {"TEMPXZ", "TEMPXY"}) {
        const auto iso = lines_of(r.file(name));
        const std::size_t rows = std::string(name) == "TEMPXZ" ? 6 : 11;
        EXPECT_EQ(iso.size(), 3u + 4u * (1u + rows)) << name;
    }
}

}  // namespace
}  // namespace gruv
