// The time loop: intervals, printout phases, energy switching messages, the
// steady-state end, and the exit status of each way a run ends.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

//! The control cards (heat only, three nodes, daily steps) with a uniform
//! bar at rest in the short input.
std::string bar_deck(const test::ControlCards& c) {
    test::ShortInput s;
    s.widths_x = {1.0, 1.0, 1.0};
    s.layers = {{10.0, 1000.0, 2.5, 2.0, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    return c.text() + s.text();
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

//! The elapsed days of every table heading of the listing, in order.
std::vector<int> heading_days(const std::string& listing) {
    std::vector<int> days;
    for (const std::size_t p : test::positions_after(listing, " Temperaturverteilung nach")) {
        std::string_view weeks, days_of_week;
        test::TextScan s(listing, p);
        s.blanks().one_or_more_of("0123456789", &weeks).literal(" Wochen").blanks();
        s.one_or_more_of("0123456789", &days_of_week).literal(" Tagen");
        if (s.ok()) days.push_back(std::stoi(std::string(weeks)) * 7 + std::stoi(std::string(days_of_week)));
    }
    return days;
}

TEST(TimeLoop, IntervalsStepsAndPrintouts) {
    struct Case {
        int NZSCHR, NZINT, NAUSG, steps;
        std::vector<int> printed;  //!< elapsed days of every table heading
        int stopped, started;      //!< on/off messages at the interval ends
    };
    const Case cases[] = {
        // Whole intervals only: the tenth step is not computed.
        {10, 3, 100, 9, {0, 3, 6, 9}, 2, 1},
        // An interval longer than the run: only the initial state.
        {4, 5, 1, 0, {0}, 0, 0},
        // The interval-end printouts do not reset the periodic count.
        {21, 7, 5, 21, {0, 5, 7, 10, 14, 15, 20, 21}, 2, 1},
        // One interval: no on/off message, and steps 6 and 7 are never printed.
        {7, 7, 5, 7, {0, 5}, 0, 0},
    };
    for (const Case& k : cases) {
        test::ControlCards c;
        c.NZSCHR = k.NZSCHR, c.NZINT = k.NZINT, c.NAUSG = k.NAUSG;
        auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
        ASSERT_EQ(r.status, kExitNormal) << r.console;
        EXPECT_EQ(r.model->par1.ZEIT, static_cast<float>(k.steps) * 86400.0f) << k.NZSCHR << "/" << k.NZINT;
        EXPECT_EQ(count(r.console, "+ Abgelaufene Zeit:"), k.steps);
        const std::string l = r.file("LISTE");
        EXPECT_EQ(heading_days(l), k.printed) << k.NZSCHR << "/" << k.NZINT;
        EXPECT_EQ(count(l, "                Energieentzug bzw. Energieeingabe gestoppt\n"), k.stopped);
        EXPECT_EQ(count(l, "                Energieentzug bzw. Energieeingabe gestartet\n"), k.started);
        EXPECT_NE(l.find("\n                GRUVELAN-3D Simulation normal beendet\n                Gesamtrechenzeit:"),
                  std::string::npos);
    }
}

TEST(TimeLoop, SteadyStateEndsTheRunEarly) {
    test::ControlCards c;
    c.NZSCHR = 50, c.NZINT = 10, c.ISTAT = 1, c.EPST = 1.0e-3;
    auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    EXPECT_FLOAT_EQ(r.model->par1.ZEIT, 86400.0f) << "a bar at rest is steady after the first step";
    const std::string expected =
        "\n                Abbruchkriterium NIT = 1 und FEHLER < 0.001000 erfuellt\n"
        "                Berechnung vorzeitig abgebrochen\n";
    EXPECT_NE(r.console.find(expected), std::string::npos) << r.console;
    EXPECT_NE(r.file("LISTE").find(expected), std::string::npos);
    EXPECT_EQ(heading_days(r.file("LISTE")), (std::vector<int>{0, 1}));
}

TEST(TimeLoop, IntervalLengthBelowOneIsRejected) {
    test::ControlCards c;
    c.NZINT = 0, c.IENERG = 1;
    auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
    EXPECT_EQ(r.status, kExitInput);
    EXPECT_NE(r.console.find("Zeitschritte pro Intervall NZINT =      0 - mindestens 1 erforderlich (Karte 7)"),
              std::string::npos)
        << r.console;
    // The intervals are counted after the start-up energy balance.
    const std::string l = r.file("LISTE");
    EXPECT_LT(l.find("Energieinhalt gesamt"), l.find("NZINT ="));
}

TEST(TimeLoop, DeckWithoutFieldInputMayOnlyShowItsCards) {
    test::ControlCards c;
    c.IEINGA = -1, c.NZSCHR = 0;
    auto shown = test::run_deck({{"GRUVAT", c.text()}});
    EXPECT_EQ(shown.status, kExitNormal) << shown.console;
    EXPECT_NE(shown.file("LISTE").find("Zusammenfassung der Eingangsparameter"), std::string::npos);

    c.NZSCHR = 5;
    auto refused = test::run_deck({{"GRUVAT", c.text()}});
    EXPECT_EQ(refused.status, kExitInput);
    EXPECT_NE(refused.console.find("Ohne Feldeingabe (IEINGA < 0) kann kein Zeitschritt berechnet werden"),
              std::string::npos);
}

TEST(TimeLoop, GrowingStepsStayFinite) {
    test::ControlCards c;
    c.NZSCHR = 40, c.NZINT = 40, c.NAUSG = 100;
    c.ZFAKT = 1.0e10;  // the step overflows single precision after a few steps
    auto r = test::run_deck({{"GRUVAT", bar_deck(c)}});
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    EXPECT_TRUE(std::isfinite(r.model->par1.DELT));
    EXPECT_GT(r.model->par1.DELT, 1.0e30f);
}

}  // namespace
}  // namespace gruv
