// Whole runs of decks with faulty values: every value that is not a finite
// number is refused with the file, line, columns and text it came from, as
// are grids that leave single precision, input files that are directories,
// and steps grown until simulated time is no longer a number.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "control/control.hpp"
#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

//! A heat-only bar of three nodes in the short input (the deck's cards 19
//! to 29 start at line 18).
test::ShortInput bar() {
    test::ShortInput s;
    s.widths_x = {1.0, 1.0, 1.0};
    s.layers = {{10.0, 1000.0, 2.5, 2.0, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    return s;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

//! The same bar node by node: card 19, the grid and the heat blocks, with
//! `conductivities` as the row of the conductivity block.
std::string node_by_node(const std::string& conductivities) {
    test::ControlCards c;
    c.IEINGA = 1;
    return c.text() + "(3I5,3F15.0)\n    0    0    0            1.0            1.0            1.0\n" +
           "(3F8.2)\n     1.0     1.0     1.0\n(F8.2)\n     1.0\n(F8.2)\n     1.0\n" +
           "(3F8.2)\n    10.0    10.0    10.0\n(3F8.2)\n  1000.0  1000.0  1000.0\n" +
           "(3F8.2)\n     2.5     2.5     2.5\n(3F8.2)\n" + conductivities + "\n" +
           "(3I8)\n       1       1       1\n" + "(3F8.2)\n     0.0     0.0     0.0\n" +
           "(3F8.2)\n     0.0     0.0     0.0\n(F8.2)\n   100.0\n(3F8.2)\n     0.0     0.0     0.0\n";
}

TEST(InputFaultRuns, ValuesThatAreNotNumbersAreRefusedWithTheirPlace) {
    test::ControlCards c;
    const test::ShortInput s = bar();
    const std::string deck = c.text() + s.text();

    test::ControlCards infinite_limit = c;
    infinite_limit.EPST = HUGE_VAL;
    test::ShortInput wide = bar();
    wide.widths_x = {1.0, 1.0, 1.0E38}, wide.widths_y = {2.0E38};
    test::ShortInput huge_capacity = bar();
    huge_capacity.layers[0][1] = 1.0E39;  // beyond single precision
    test::ShortInput nan_entry = bar();
    nan_entry.entries = {{"TEMP", std::nan(""), 1, 1, 1, 0}};
    test::ControlCards restart = c;
    restart.IWARMI = 1;
    test::ControlCards additional = c;
    additional.IZUSAT = 1, additional.NZUSAT = 1;
    test::ControlCards directory = c;
    directory.IZUSAT = 1, directory.NZUSAT = 1, directory.additional_file = ".";

    const struct {
        std::map<std::string, std::string> files;
        std::string console;  // the message, the location line and the stop text
    } cases[] = {
        {{{"GRUVAT", infinite_limit.text() + s.text()}},
         " nicht endlicher Zahlenwert in Karte 7  \n Datei GRUVAT, Zeile 7, Spalten 55-69: 'INF'\n"
         "Bitte Datei ueberpruefen!\n"},
        // A layer thickness of "Infinity" once ran to a normal end.
        {{{"GRUVAT", replaced(deck, "(8F10.0)\n         1\n(16G", "(8F10.0)\n  Infinity\n(16G")}},
         " nicht endlicher Zahlenwert in Karte 25 \n Datei GRUVAT, Zeile 25, Spalten 1-10: 'Infinity'\n"},
        // Finite widths whose face area X*Y is not: the larger factor is named.
        {{{"GRUVAT", c.text() + wide.text()}},
         " Zellenbreite bzw. Knotenabstand Nr.   1 zu gross - Volumen, Flaechen oder Koordinaten nicht darstellbar"
         " in Karte 23 \n Datei GRUVAT, Zeile 23, Spalten 1-10: '2E+38'\n"},
        {{{"GRUVAT", c.text() + huge_capacity.text()}},
         " nicht endlicher Zahlenwert in Karte 27a\n Datei GRUVAT, Zeile 27, Schicht 1, Spalten 16-30: '1E+39'\n"},
        // A double-precision temperature beyond its range.
        {{{"GRUVAT", replaced(deck, "             10", "          1D400")}},
         " nicht endlicher Zahlenwert in Karte 27a\n Datei GRUVAT, Zeile 27, Schicht 1, Spalten 1-15: '1D400'\n"},
        {{{"GRUVAT", c.text() + nan_entry.text()}},
         " nicht endlicher Zahlenwert in Karte 29 \n Datei GRUVAT, Zeile 29, Eintrag 1 (TEMP), Spalten 5-19: 'NAN'\n"},
        {{{"GRUVAT", node_by_node("     2.0     inf     2.0")}},
         " nicht endlicher Zahlenwert im Feld WLKG\n Datei GRUVAT, Zeile 33, Feld WLKG, Knoten (2,1,1), Spalten 9-16: "
         "'inf'\nBitte Datei ueberpruefen!\n"},
        {{{"GRUVAT", additional.text() + s.text()},
          {"ZUSATZ", "(I5)\n    1\n(A4,4I5)\nTEMP    2    1    1    0\n(F10.0)\nT\n       NaN\n"}},
         " nicht endlicher Zahlenwert in den Zusatzdaten\n Datei ZUSATZ, Zeile 7, Eintrag 1 (TEMP), Spalten 1-10: "
         "'NaN'\n"},
        {{{"GRUVAT", restart.text() + s.text()}, {"GRUVWS", "  12.000     NaN  12.000\n"}},
         " nicht endlicher Zahlenwert in der Datei GRUVWS\n"
         " Datei GRUVWS, Zeile 1, Temperaturen, Knoten (2,1,1), Spalten 9-16: 'NaN'\n"},
        {{{"GRUVAT", directory.text() + s.text()}},
         " Datei . ist ein Verzeichnis - Bearbeitung abgebrochen\n Datei GRUVAT, Zeile 5, Spalten 56-75: '.'\n"},
    };
    for (const auto& k : cases) {
        const auto r = test::run_deck(k.files);
        EXPECT_EQ(r.status, kExitInput) << r.console;
        EXPECT_NE(r.console.find(k.console), std::string::npos) << r.console;
        EXPECT_EQ(r.console.find("normal beendet"), std::string::npos);
    }
    // The same decks with sound values run.
    EXPECT_EQ(test::run_deck({{"GRUVAT", node_by_node("     2.0     2.0     2.0")}}).status, kExitNormal);
    EXPECT_EQ(test::run_deck({{"GRUVAT", deck}}).status, kExitNormal);
}

TEST(InputFaultRuns, MainInputFileThatIsADirectory) {
    const auto named = test::run_deck({}, "", ".");
    EXPECT_EQ(named.status, kExitInput);
    EXPECT_NE(named.console.find(" Datei . ist ein Verzeichnis - Bearbeitung abgebrochen\n"), std::string::npos)
        << named.console;
    // "GRUVAT" and a name typed at the prompt are directories: each is said,
    // and the prompt asks again.
    test::ScratchDir dir("directory-prompt");
    std::filesystem::create_directory("GRUVAT");
    std::filesystem::create_directory("DECKS");
    test::write_file("MEIN", test::ControlCards().text() + bar().text());
    std::ostringstream console;
    std::istringstream keys("DECKS\nMEIN\n");
    auto m = std::make_unique<Model>();
    m->io.console().attach(console, keys, false);
    EXPECT_EQ(GRUV3D(*m, RunOptions{}), kExitNormal);
    const std::string prompt = " Eingabedatenfile eingeben    ==> \n";
    EXPECT_NE(console.str().find(" Datei GRUVAT ist ein Verzeichnis\n" + prompt + " Datei DECKS ist ein Verzeichnis\n" +
                                 prompt),
              std::string::npos)
        << console.str();
}

TEST(InputFaultRuns, ValuesOfCardSevenThatStopTheRunLaterNameTheirPlace) {
    // Steps of one day growing by 101 each: the step stops growing at its
    // last finite length (about 1E37 s, step 17), and the end of step 50
    // would lie beyond the largest single-precision number of seconds.
    test::ControlCards grown;
    grown.ZFAKT = 101.0, grown.NZSCHR = 100, grown.NZINT = 100, grown.NAUSG = 1000;
    test::ControlCards no_interval;
    no_interval.NZINT = 0;
    test::ControlCards no_fields;
    no_fields.IEINGA = -1;
    const struct {
        std::string deck;
        int status;
        std::string message;  // on the console and in the listing
    } cases[] = {
        {grown.text() + bar().text(), kExitAborted,
         "                Simulierte Zeit nach Zeitschritt     50 nicht mehr darstellbar - Zeitschrittfaktor ZFAKT zu"
         " gross (Karte 7)\n Datei GRUVAT, Zeile 7, Spalten 40-54: '101'\n"},
        {no_interval.text() + bar().text(), kExitInput,
         "                Zeitschritte pro Intervall NZINT =      0 - mindestens 1 erforderlich (Karte 7)\n"
         " Datei GRUVAT, Zeile 7, Spalten 11-15: '0'\n"},
        {no_fields.text(), kExitInput,
         "                Ohne Feldeingabe (IEINGA < 0) kann kein Zeitschritt berechnet werden (Karte 7)\n"
         " Datei GRUVAT, Zeile 7, Spalten 21-25: '-1'\n"},
    };
    for (const auto& c : cases) {
        const auto r = test::run_deck({{"GRUVAT", c.deck}});
        EXPECT_EQ(r.status, c.status) << r.console;
        const std::string expected = "\n" + c.message + "                Berechnung vorzeitig abgebrochen\n";
        EXPECT_NE(r.console.find(expected), std::string::npos) << r.console;
        EXPECT_NE(r.file("LISTE").find(expected), std::string::npos);
        EXPECT_TRUE(std::isfinite(r.model->par1.ZEIT));
    }
}

}  // namespace
}  // namespace gruv
