// Simulated-time headings and progress lines, the computing-time report, the
// console's overwritten lines, the banner, the routine trace and the weights.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "control/control.hpp"
#include "state/trace.hpp"
#include "support/grid_model.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

//! The console text since the last call.
std::string take(test::CapturedModel& c) {
    std::string s = c.text();
    c.console.str("");
    return s;
}

TEST(Zeitbe, BreakdownOfSimulatedTime) {
    const std::pair<float, const char*> cases[] = {
        {90061.0f, "  0 Wochen  1 Tagen  1 Stunden  1 Minuten  1"},
        {604800.0f, "  1 Wochen  0 Tagen  0 Stunden  0 Minuten  0"},
        {59.9f, "  0 Wochen  0 Tagen  0 Stunden  0 Minuten 59"},
        {604800.0f * 1000.0f, "*** Wochen  0 Tagen  0 Stunden  0 Minuten  0"},  // 1000 weeks overflow I3
        // 2^31 s (24855 days, 3:14:08) and beyond: the breakdown goes on in 64 bits.
        {2147483648.0f, "*** Wochen  5 Tagen  3 Stunden 14 Minuten  8"},
        {3.0e9f, "*** Wochen  2 Tagen  5 Stunden 20 Minuten  0"},
        {std::numeric_limits<float>::infinity(), "*** Wochen ** Tagen ** Stunden ** Minuten **"},
        {std::nanf(""), "*** Wochen ** Tagen ** Stunden ** Minuten **"},
    };
    test::CapturedModel c;
    test::ScratchDir dir("zeitbe");
    ASSERT_TRUE(c.m.io.open_output(6, "LISTE"));
    std::string expected;
    for (const auto& [t, fields] : cases) {
        c.m.par1.ZEIT = t;
        ZEITBE(c.m, 6);
        expected += std::string("\n Temperaturverteilung nach ") + fields + " Sekunden\n\n";
    }
    c.m.io.flush_all();
    EXPECT_EQ(test::read_file("LISTE"), expected);
}

TEST(Zeitbe, ProgressLineFormsByTraceLevel) {
    test::CapturedModel c;
    c.m.par1.ZEIT = 90061.0f;
    c.m.inf2.NIT = 7;
    ZEITBE(c.m, 1);
    EXPECT_EQ(take(c), "+ Abgelaufene Zeit:   0 Wochen  1 Tagen  1 Stunden  1 Min.  1 Sek. NIT =   7 \n");
    c.m.inf2.IBILD = 1;
    ZEITBE(c.m, 1);
    EXPECT_EQ(take(c), "                ********* Subroutine ZEITBE **********\n"
                       " Abgelaufene Zeit:   0 Wochen  1 Tagen  1 Stunden  1 Minuten  1 Sekunden\n");
    c.m.inf2.IBILD = -1;
    ZEITBE(c.m, 1);
    EXPECT_EQ(take(c), "");
    // A time beyond any breakdown fills every number field of the line.
    c.m.inf2.IBILD = 0;
    c.m.par1.ZEIT = std::numeric_limits<float>::infinity();
    ZEITBE(c.m, 1);
    EXPECT_EQ(take(c), "+ Abgelaufene Zeit: *** Wochen ** Tagen ** Stunden ** Min. ** Sek. NIT = *** \n");
}

TEST(Console, PlusRecordsOverwriteEachOtherOnATerminal) {
    auto m = std::make_unique<Model>();
    std::ostringstream out;
    std::istringstream in("antwort\n");
    m->io.console().attach(out, in, true);
    auto& con = m->io.console();
    con.put_record(" erste Zeile");
    con.put_record("+ Iteration 1");
    con.put_record("+ Iter 2");
    con.put_record(" danach");
    con.prompt(" Frage ==> ");
    std::string answer;
    ASSERT_TRUE(con.read_line(answer));
    con.put_record(" weiter");
    con.flush();
    EXPECT_EQ(out.str(), " erste Zeile\n  Iteration 1\r  Iter 2     \n danach\n Frage ==>  weiter\n");
    EXPECT_EQ(answer, "antwort");
}

TEST(Clock, ComputingTimeOnListingAndConsoleAndTheMidnightWrap) {
    test::CapturedModel c;
    c.m.inf3.IUHR = clock_hundredths();
    c.m.par2.RECHZT = 1.5f;
    ZEITCL(c.m);
    // IOUT is the console here: the line appears twice.
    const std::string line = "                Gesamtrechenzeit:       1.50";
    const std::string t = take(c);
    EXPECT_EQ(t.find(line), 0u) << t;
    EXPECT_NE(t.find(line, 1), std::string::npos) << t;
    // A reference just before midnight, seen from any time of day: the step
    // is counted modulo one day and stays positive.
    c.m.par2.RECHZT = 0.0f;
    c.m.inf3.IUHR = 8639999;
    account_clock(c.m, true);
    EXPECT_GT(c.m.par2.RECHZT, 0.0f);
    EXPECT_LT(c.m.par2.RECHZT, 24.0f * 60.0f);
    EXPECT_LT(c.m.inf3.IUHR, 8640000) << "the reference moves to the time of the reading";
}

TEST(Banner, ConsoleAndFileForms) {
    test::CapturedModel c;
    HEADER(c.m, 1);
    test::expect_golden(take(c), "control/golden/banner_console.txt");
    test::ScratchDir dir("banner");
    ASSERT_TRUE(c.m.io.open_output(6, "LISTE"));
    HEADER(c.m, 6);
    c.m.io.flush_all();
    test::expect_golden(test::read_file("LISTE"), "control/golden/banner_file.txt");
}

TEST(Trace, RoutineLineFromColumn17AtTheTraceLevel) {
    test::CapturedModel c;
    ROUTIN(c.m, "KOEFFH");
    EXPECT_EQ(take(c), std::string(16, ' ') + "********* Subroutine KOEFFH **********\n");
    INFINT(c.m);
    EXPECT_EQ(take(c), "") << "no trace at IBILD 0";
    c.m.inf2.IBILD = 1;
    INFINT(c.m);
    EXPECT_EQ(take(c), std::string(16, ' ') + "********* Subroutine INFINT **********\n");
}

TEST(Infint, WeightsOfBothGridConventions) {
    test::CapturedModel c;
    auto& g = c.m.gitt;
    c.m.ndim = NDIM{3, 1, 2, 2, 0, 1};
    g.ABXO(1) = 5.0f, g.KABX(1) = 15.0f, g.ABXO(2) = 10.0f, g.KABX(2) = 25.0f, g.ABZO(1) = 1.0f, g.KABZ(1) = 4.0f;
    g.GEWY(1) = 7.0f;  // NY = 1: no Y weight is set
    INFINT(c.m);
    EXPECT_EQ(g.GEWX(1), 5.0f / 15.0f);
    EXPECT_EQ(g.GEWX(2), 0.4f);
    EXPECT_EQ(g.GEWZ(1), 0.25f);
    EXPECT_EQ(g.GEWY(1), 7.0f);
    c.m.inf1.KNLAGE = 1;
    INFINT(c.m);
    EXPECT_EQ(g.GEWX(2), 0.5f);
    EXPECT_EQ(g.GEWZ(1), 0.5f);
    EXPECT_EQ(g.GEWY(1), 7.0f);
}

}  // namespace
}  // namespace gruv
