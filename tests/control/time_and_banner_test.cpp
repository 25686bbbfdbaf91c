// Simulated-time headings and progress lines, the computing-time report, the
// banner and the routine trace.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "control/control.hpp"
#include "state/trace.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

struct ConsoleModel {
    std::unique_ptr<Model> m = std::make_unique<Model>();
    std::ostringstream console;
    std::istringstream keyboard;
    ConsoleModel() {
        m->io.console().attach(console, keyboard, false);
        m->inf2.IOUT = 1;
    }
    std::string text() {
        m->io.console().flush();
        std::string s = console.str();
        console.str("");
        return s;
    }
};

TEST(Zeitbe, BreakdownOfSimulatedTime) {
    struct Case {
        float t;
        const char* heading;
    };
    const Case cases[] = {
        {90061.0f, " Temperaturverteilung nach   0 Wochen  1 Tagen  1 Stunden  1 Minuten  1 Sekunden"},
        {604800.0f, " Temperaturverteilung nach   1 Wochen  0 Tagen  0 Stunden  0 Minuten  0 Sekunden"},
        {59.9f, " Temperaturverteilung nach   0 Wochen  0 Tagen  0 Stunden  0 Minuten 59 Sekunden"},
        // 1000 weeks no longer fit I3.
        {604800.0f * 1000.0f, " Temperaturverteilung nach *** Wochen  0 Tagen  0 Stunden  0 Minuten  0 Sekunden"},
        // Beyond 2^31 s (68 years): no overflow, the breakdown goes on.
        {3.0e9f, " Temperaturverteilung nach *** Wochen  2 Tagen  5 Stunden 20 Minuten  0 Sekunden"},
        {std::numeric_limits<float>::infinity(),
         " Temperaturverteilung nach *** Wochen ** Tagen ** Stunden ** Minuten ** Sekunden"},
        {std::nanf(""), " Temperaturverteilung nach *** Wochen ** Tagen ** Stunden ** Minuten ** Sekunden"},
    };
    for (const auto& c : cases) {
        ConsoleModel cm;
        auto dir = std::make_unique<test::ScratchDir>("zeitbe");
        ASSERT_TRUE(cm.m->io.open_output(6, "LISTE"));
        cm.m->par1.ZEIT = c.t;
        ZEITBE(*cm.m, 6);
        cm.m->io.flush_all();
        EXPECT_EQ(test::read_file("LISTE"), std::string("\n") + c.heading + "\n\n") << c.t;
    }
}

TEST(Zeitbe, ProgressLineFormsByTraceLevel) {
    ConsoleModel cm;
    cm.m->par1.ZEIT = 90061.0f;
    cm.m->inf2.NIT = 7;
    ZEITBE(*cm.m, 1);
    EXPECT_EQ(cm.text(), "+ Abgelaufene Zeit:   0 Wochen  1 Tagen  1 Stunden  1 Min.  1 Sek. NIT =   7 \n");
    cm.m->inf2.IBILD = 1;
    ZEITBE(*cm.m, 1);
    EXPECT_EQ(cm.text(),
              "                ********* Subroutine ZEITBE **********\n"
              " Abgelaufene Zeit:   0 Wochen  1 Tagen  1 Stunden  1 Minuten  1 Sekunden\n");
    cm.m->inf2.IBILD = -1;
    ZEITBE(*cm.m, 1);
    EXPECT_EQ(cm.text(), "");
    // A time beyond any breakdown fills every number field of the line.
    cm.m->inf2.IBILD = 0;
    cm.m->par1.ZEIT = std::numeric_limits<float>::infinity();
    ZEITBE(*cm.m, 1);
    EXPECT_EQ(cm.text(), "+ Abgelaufene Zeit: *** Wochen ** Tagen ** Stunden ** Min. ** Sek. NIT = *** \n");
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

TEST(Zeitcl, ReportsTheComputingTimeOnListingAndConsole) {
    ConsoleModel cm;
    cm.m->inf3.IUHR = clock_hundredths();
    cm.m->par2.RECHZT = 1.5f;
    ZEITCL(*cm.m);
    const std::string t = cm.text();
    // IOUT is the console here: the line appears twice.
    const std::string line = "                Gesamtrechenzeit:       1.50";
    EXPECT_EQ(t.find(line), 0u) << t;
    EXPECT_NE(t.find(line, 1), std::string::npos) << t;
    EXPECT_GE(cm.m->par2.RECHZT, 1.5f);
}

TEST(ClockAccounting, MidnightWrapKeepsTheTimePositive) {
    ConsoleModel cm;
    // A reference just before midnight seen from any time of day: the step is
    // counted modulo one day.
    cm.m->inf3.IUHR = 8639999;
    account_clock(*cm.m, true);
    EXPECT_GT(cm.m->par2.RECHZT, 0.0f);
    EXPECT_LT(cm.m->par2.RECHZT, 24.0f * 60.0f);
    EXPECT_LT(cm.m->inf3.IUHR, 8640000) << "the reference moves to the time of the reading";
}

TEST(Banner, ConsoleAndFileForms) {
    ConsoleModel cm;
    HEADER(*cm.m, 1);
    const std::string console = cm.text();
    auto dir = std::make_unique<test::ScratchDir>("banner");
    ASSERT_TRUE(cm.m->io.open_output(6, "LISTE"));
    HEADER(*cm.m, 6);
    cm.m->io.flush_all();
    test::expect_golden(console, "control/golden/banner_console.txt");
    test::expect_golden(test::read_file("LISTE"), "control/golden/banner_file.txt");
    // The console form clears the screen with 26 empty lines; the file form
    // starts and ends with the page-feed line.
    EXPECT_EQ(console.substr(0, 27), std::string(26, '\n') + "*");
    const std::string file = test::read_file("LISTE");
    EXPECT_EQ(file.substr(0, 2), "1\n");
    EXPECT_EQ(file.substr(file.size() - 2), "1\n");
    // Every name row: a blank, 39 characters, two blanks, 36 characters.
    std::istringstream rows(file);
    std::string row;
    int name_rows = 0;
    while (std::getline(rows, row))
        if (row.size() == 78 && row[0] == ' ' && row.substr(40, 2) == "  ") ++name_rows;
    EXPECT_EQ(name_rows, 7);
}

TEST(Trace, RoutineLineFromColumn17) {
    ConsoleModel cm;
    ROUTIN(*cm.m, "KOEFFH");
    EXPECT_EQ(cm.text(), std::string(16, ' ') + "********* Subroutine KOEFFH **********\n");
    cm.m->ndim = NDIM{2, 1, 1, 1, 0, 0};
    AUFNUL(*cm.m);
    EXPECT_EQ(cm.text(), "") << "no trace at IBILD 0";
    cm.m->inf2.IBILD = 1;
    KOPIER(*cm.m, 1);
    EXPECT_NE(cm.text().find("Subroutine KOPIER"), std::string::npos);
}

TEST(Infint, WeightsOfBothGridConventions) {
    ConsoleModel cm;
    auto& m = *cm.m;
    m.ndim = NDIM{3, 1, 2, 2, 0, 1};
    m.gitt.ABXO(1) = 5.0f;
    m.gitt.KABX(1) = 15.0f;
    m.gitt.ABXO(2) = 10.0f;
    m.gitt.KABX(2) = 25.0f;
    m.gitt.ABZO(1) = 1.0f;
    m.gitt.KABZ(1) = 4.0f;
    m.gitt.GEWY(1) = 7.0f;  // NY = 1: no Y weight is set
    INFINT(m);
    EXPECT_FLOAT_EQ(m.gitt.GEWX(1), 5.0f / 15.0f);
    EXPECT_FLOAT_EQ(m.gitt.GEWX(2), 0.4f);
    EXPECT_FLOAT_EQ(m.gitt.GEWZ(1), 0.25f);
    EXPECT_FLOAT_EQ(m.gitt.GEWY(1), 7.0f);
    m.inf1.KNLAGE = 1;
    INFINT(m);
    EXPECT_FLOAT_EQ(m.gitt.GEWX(1), 0.5f);
    EXPECT_FLOAT_EQ(m.gitt.GEWZ(1), 0.5f);
}

}  // namespace
}  // namespace gruv
