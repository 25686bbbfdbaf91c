// The check of a deck: one small deck per finding class, each finding pinned
// to its message, line and columns; every finding reported, not only the
// first; the reading going on after a damaged card; no file written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::ControlCards;
using test::ShortInput;

//! One finding a deck must give: its class by the start of its message.
struct Expected {
    Severity severity;
    std::string message;  //!< the first message record, without the blanks around it
    int64_t line;
    int32_t first_column = 0, last_column = 0;
    std::string context = {};
};
constexpr Severity E = Severity::Error;
constexpr Severity W = Severity::Warning;

struct Checked {
    CheckReport report;
    std::string text;  //!< the report as the console shows it
};

//! Checks GRUVAT among `files` in a scratch directory and makes sure the
//! check left the directory as it found it.
Checked check(const std::map<std::string, std::string>& files) {
    test::ScratchDir dir("check");
    for (const auto& [name, text] : files) test::write_file(name, text);
    auto m = std::make_unique<Model>();
    std::ostringstream console;
    std::istringstream keys;
    m->io.console().attach(console, keys, false);
    RunOptions options;
    options.check = true;
    Checked c{check_deck(*m, options), {}};
    write_check_report(m->io.console(), c.report);
    m->io.console().flush();
    c.text = console.str();
    std::size_t found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(files.count(entry.path().filename().string()), 1u) << "written: " << entry.path();
        ++found;
    }
    EXPECT_EQ(found, files.size());
    return c;
}

std::string first_record(const Finding& f) {
    for (const std::string& r : f.message) {
        const auto a = r.find_first_not_of(' ');
        if (a != std::string::npos) return r.substr(a, r.find_last_not_of(' ') - a + 1);
    }
    return {};
}

//! The report holds exactly the expected findings (counted, as shown).
void expect_findings(const Checked& c, const std::vector<Expected>& expected, const std::string& name) {
    int64_t errors = 0, warnings = 0;
    for (const Expected& x : expected) {
        ++(x.severity == E ? errors : warnings);
        bool found = false;
        for (const CheckFinding& f : c.report.findings) {
            const SourcePlace& p = f.finding.place;
            found = found || (f.severity == x.severity && first_record(f.finding) == x.message && p.line == x.line &&
                              p.first_column == x.first_column && p.last_column == x.last_column &&
                              (x.context.empty() || p.context == x.context));
        }
        EXPECT_TRUE(found) << name << ": missing '" << x.message << "' at line " << x.line << "\n" << c.text;
    }
    EXPECT_EQ(c.report.errors, errors) << name << "\n" << c.text;
    EXPECT_EQ(c.report.warnings, warnings) << name << "\n" << c.text;
    EXPECT_EQ(c.report.status(), errors > 0 ? 1 : 0) << name;
}

//! A heat-only bar of three 1 m cells (cards 19 to 29 from line 18 on).
ShortInput bar() {
    ShortInput s;
    s.widths_x = {1.0, 1.0, 1.0};
    s.layers = {{10.0, 1000.0, 2.5, 2.0, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    return s;
}

//! The deck with line n (1-based) replaced; an empty text removes the line,
//! a text ending in a line end adds one.
std::string with_line(const std::string& deck, int n, const std::string& text) {
    std::istringstream in(deck);
    std::string out, line;
    for (int k = 1; std::getline(in, line); ++k) {
        if (k != n) {
            out += line + "\n";
        } else if (!text.empty()) {
            out += text + (text.back() == '\n' ? "" : "\n");
        }
    }
    return out;
}

std::string line_of(const std::string& deck, int n) {
    std::istringstream in(deck);
    std::string line;
    for (int k = 1; k <= n; ++k) std::getline(in, line);
    return line;
}

//! Line n with columns first..first+text.size()-1 replaced by text.
std::string with_columns(const std::string& deck, int n, int first, const std::string& text) {
    std::string line = line_of(deck, n);
    line.resize(std::max(line.size(), static_cast<std::size_t>(first - 1) + text.size()), ' ');
    line.replace(static_cast<std::size_t>(first - 1), text.size(), text);
    return with_line(deck, n, line);
}

//! The bar node by node, NY rows of three nodes (card 19 at line 18, the
//! first block at line 26); `rows` replaces the rows of a block by its name.
std::string node_by_node(const std::map<std::string, std::string>& rows, int NY = 1) {
    ControlCards c;
    c.IEINGA = 1, c.NY = NY;
    std::string d = c.text() + "(3I5,3F15.0)\n    0    0    0            1.0            1.0            1.0\n" +
                    "(3F8.2)\n     1.0     1.0     1.0\n(8F8.2)\n";
    for (int j = 0; j < NY; ++j) d += "     1.0";
    d += "\n(F8.2)\n     1.0\n";
    const std::map<std::string, std::string> sound = {
        {"TEMP", "    10.0    10.0    10.0"}, {"CPGE", "  1000.0  1000.0  1000.0"}, {"RHOG", "     2.5     2.5     2.5"},
        {"WLKG", "     2.0     2.0     2.0"}, {"IFLG", "       1       1       1"}, {"PHIG", "     0.0     0.0     0.0"},
        {"PHIN", "     0.0     0.0     0.0"}, {"SOUC", "     0.0     0.0     0.0"}};
    const auto block = [&](const std::string& name) {
        d += name == "IFLG" ? "(3I8)\n" : "(3F8.2)\n";
        for (int j = 0; j < NY; ++j) d += (rows.count(name) != 0 ? rows.at(name) : sound.at(name)) + "\n";
    };
    for (const char* name : {"TEMP", "CPGE", "RHOG", "WLKG", "IFLG", "PHIG", "PHIN"}) block(name);
    d += "(F8.2)\n" + (rows.count("SAETT") != 0 ? rows.at("SAETT") : std::string("   100.0")) + "\n";
    block("SOUC");
    return d;
}

TEST(DeckCheck, EveryFindingClassWithItsPlace) {
    const ControlCards c;
    const std::string base = c.text() + bar().text();
    const auto deck = [](const std::function<void(ControlCards&, ShortInput&)>& change) {
        ControlCards cc;
        ShortInput s = bar();
        change(cc, s);
        return cc.text() + s.text();
    };
    // A bar of 2 x 2 x 2 nodes in prescribed groundwater flow along X.
    const auto flowing = [&deck](int ISCHEM, int IDSTOP) {
        return deck([=](ControlCards& cc, ShortInput& s) {
            cc.NX = 2, cc.NY = 2, cc.NZ = 2, cc.KONVEK = 1, cc.ISCHEM = ISCHEM, cc.IDSTOP = IDSTOP;
            s.widths_x = {1.0, 1.0}, s.widths_y = {1.0, 1.0}, s.widths_z = {1.0, 1.0};
            const std::vector<double> layer{10.0, 1000.0, 2.5, 2.0, 0.0, 0.0, 100.0, 0.0, 90.0, 1.0E-5, 0.0, 1};
            s.layers = {layer, layer};
        });
    };
    const std::string head_only = "(I5)\n    1\n(A4,4I5)\nTEMP    2    1    1    0\n(F10.0)\nT\n";

    const struct Case {
        std::string name;
        std::map<std::string, std::string> files;
        std::vector<Expected> findings;
    } cases[] = {
        {"sound deck", {{"GRUVAT", base}}, {}},
        // The German decimal comma: the field ends at the comma, the heat
        // error limit reads "0         0.000" as 0, and so on to the end of
        // the card; the shifted fields are the comma's doing and not reported.
        {"decimal comma",
         {{"GRUVAT", with_columns(base, 7, 40, "            1,0")}},
         {{W, "Komma im Zahlenfeld - das Feld endet am Komma, die folgenden Felder verschieben sich", 7, 40, 54},
          {W, "erlaubter Iterationsfehler der Temperaturberechnung EPST nicht groesser 0 - jede Loesung laeuft bis ITMAX",
           7, 54, 68}}},
        // ITMAX 300 moved one column to the right reads as 30; NZINT as "0  10".
        {"value shifted by a column",
         {{"GRUVAT", with_columns(base, 7, 6, "   300  10")}},
         {{W, "Ziffern laufen ueber die Feldgrenze - Wert um eine Spalte verschoben?", 7, 6, 15},
          {W, "Leerzeichen zwischen den Ziffern einer Zahl - Fortran liest '1 0' als 10", 7, 11, 15}}},
        {"values the format does not read",
         {{"GRUVAT", with_line(base, 15, "    0    0    0    9")}},
         {{W, "Formatkarte passt nicht zu den Daten: Text hinter dem letzten Feld wird nicht gelesen", 15, 16, 20}}},
        {"solver limits",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.ITMAX = 3, cc.EPST = 0.0; })}},
         {{W, "hoechstens 3 Iterationen je Loesung (ITMAX kleiner 5) - die Loesungen brechen vor dem Ziel ab", 7, 6, 10},
          {W, "erlaubter Iterationsfehler der Temperaturberechnung EPST nicht groesser 0 - jede Loesung laeuft bis ITMAX",
           7, 55, 69}}},
        // A flow-only deck: the flow error limit, a negative conductivity in its layer record.
        {"flow limit and conductivity",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput& s) {
               cc.IMODE = 2, cc.EPSH = 0.0;
               s.layers = {{10.0, -1.0E-5, 1.0E-5, 1.0E-5, 0.0, 0.1, 20.0, 1}};
           })}},
         {{W, "erlaubter Iterationsfehler der Stroemungsberechnung EPSH nicht groesser 0 - jede Loesung laeuft bis ITMAX",
           13, 61, 75},
          {W, "negative hydraulische Leitfaehigkeit (TRSX)", 27, 16, 30, "Schicht 1"}}},
        {"water properties",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.ISTOFF = 2, cc.fluid[6] = -1000.0; })}},
         {{W, "negative Dichte (RHOW)", 13, 91, 105}}},
        {"values outside physical sense",
         {{"GRUVAT", deck([](ControlCards&, ShortInput& s) {
               s.layers[0][4] = 150.0;  // total porosity in percent
               s.entries = {{"WLKG", -2.0, 1, 1, 1, 0}, {"TEMP", -300.0, 2, 1, 1, 0}, {"RHOG", -1.0, 1, 1, 1, -7}};
           })}},
         {{W, "Gesamtporositaet ausserhalb 0 bis 100 % (PHIG)", 27, 61, 75, "Schicht 1"},
          {W, "negative Waermeleitfaehigkeit des Gesteins (WLKG)", 29, 5, 19, "Eintrag 1 (WLKG)"},
          {W, "Temperatur unter dem absoluten Nullpunkt (-273.15 Grad C) (TEMP)", 30, 5, 19, "Eintrag 2 (TEMP)"}}},
        {"time step beyond the time-step test",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.IZTEST = 1, cc.step_length = 10; })}},
         {{W,
           "Zeitschrittlaenge 14400.0 Minuten groesser als die max. Zeitschrittlaenge 10416.7 Minuten des "
           "Zeitschritttests",
           7, 31, 35}}},
        {"grid Peclet number with central differences",
         {{"GRUVAT", flowing(1, 0)}},
         {{W,
           "Gitter-Peclet-Zahl 73.684 an Knoten (1,1,1) groesser 2 - zentrale Differenzen (ISCHEM = 1) lassen die "
           "Temperaturen schwingen",
           11, 36, 40}}},
        {"grid Peclet number, upwind scheme", {{"GRUVAT", flowing(2, 0)}}, {}},
        {"grid Peclet test that stops the run",
         {{"GRUVAT", flowing(2, 2)}},
         {{E, "Achtung!!!     Gitter-Peclet-Zahl an Knoten (  1  1  1) mit     73.684 zu gross", 9, 46, 50}}},
        {"entries that overwrite each other",
         {{"GRUVAT", deck([](ControlCards&, ShortInput& s) {
               s.entries = {{"TEMP", 12.0, 2, 1, 1, 0}, {"WLKG", 3.0, 1, 1, 1, 1}, {"TEMP", 14.0, 1, 1, 1, 7}};
           })}},
         {{W, "Eintrag 1 (TEMP) wird von Eintrag 3 (TEMP) ganz ueberschrieben und bleibt ohne Wirkung", 29, 1, 4,
           "Eintrag 1 (TEMP)"}}},
        {"observation node on a fixed temperature",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput& s) {
               cc.NBEOB = 2, cc.observation_nodes = {{2, 1, 1}, {3, 1, 1}};
               s.code_x = 1;  // fixed temperatures on the first and the last column
           })}},
         {{W, "Beobachtungsknoten 2 liegt auf einem Knoten fester Temperatur (IFLG = 2)", 18, 1, 15}}},
        {"additional data file without a value record",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.IZUSAT = 1, cc.NZUSAT = 1; })},
          {"ZUSATZ", head_only}},
         {{W, "Zusatzeingabedatei ohne Wertesatz - der Lauf endet vor dem ersten Zeitschritt", 6}}},

        // Errors: every one, with the reading going on.
        {"two damaged cards",
         {{"GRUVAT", with_columns(with_columns(base, 9, 21, "    x"), 13, 76, "    y")}},
         {{E, "fehlerhaftes Datenformat in Karte 9", 9, 21, 25}, {E, "fehlerhaftes Datenformat in Karte 13", 13, 76, 80}}},
        {"two damaged values of one card",
         {{"GRUVAT", with_columns(with_columns(base, 9, 21, "    x"), 9, 41, "    y")}},
         {{E, "fehlerhaftes Datenformat in Karte 9", 9, 21, 25}, {E, "fehlerhaftes Datenformat in Karte 9", 9, 41, 45}}},
        {"damaged format card", {{"GRUVAT", with_line(base, 12, "(5F15.0,3I5")}},
         {{E, "fehlerhaftes Datenformat in Karte 13", 12, 1, 20}}},
        {"line too many", {{"GRUVAT", with_line(base, 9, line_of(base, 9) + "\n" + line_of(base, 9) + "\n")}},
         {{E, "keine Formatkarte - Zeile zu viel vor der naechsten Formatkarte", 10, 1, 20}}},
        {"data line missing", {{"GRUVAT", with_line(base, 9, "")}},
         {{E, "fehlerhaftes Datenformat in Karte 9", 9, 1, 15}, {E, "fehlerhaftes Datenformat in Karte 9", 9, 9, 13}}},
        {"value that is not a number", {{"GRUVAT", with_columns(base, 7, 55, "       Infinity")}},
         {{E, "nicht endlicher Zahlenwert in Karte 7", 7, 55, 69}}},
        {"value out of range", {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.KNLAGE = 2; })}},
         {{E, "Gitterkonvention KNLAGE = 2 nicht erlaubt (nur 0 oder 1) in Karte 11", 11, 31, 35},
          // read on as node distances: two of three values
          {W, "Formatkarte passt nicht zu den Daten: Text hinter dem letzten Feld wird nicht gelesen", 21, 21, 30}}},
        {"deck ends early", {{"GRUVAT", c.text().substr(0, c.text().find("(3I5)\n    0    0    0\n"))}},
         {{E, "unerwartet Dateiende erreicht nach Karte 15", 13}}},
        {"grid card", {{"GRUVAT", with_line(base, 21, "         0         0         1")}},
         {{E, "Zellenbreite bzw. Knotenabstand Nr.   1 ist nicht groesser 0 in Karte 21", 21, 1, 10},
          {E, "Zellenbreite bzw. Knotenabstand Nr.   2 ist nicht groesser 0 in Karte 21", 21, 11, 20}}},
        {"layer record", {{"GRUVAT", with_columns(base, 27, 16, "           1x0")}},
         {{E, "fehlerhafte Datenstruktur in Karte 27a", 27, 16, 30, "Schicht 1"}}},
        {"keyword entries",
         {{"GRUVAT", deck([](ControlCards&, ShortInput& s) {
               s.entries = {{"TEMX", 1.0, 1, 1, 1, 0}, {"SOUC", 1.0, 4, 1, 1, 0}, {"TEMP", 1.0, 1, 1, 1, 0}};
           })}},
         {{E, "1. Schluesselwort: TEMX unbekannt!", 29, 1, 4},
          {E, "2. Schluesselwort: SOUC Knoten (     4,     1,     1) ausserhalb des Gitters!", 30, 20, 39}}},
        {"no ENDE", {{"GRUVAT", base.substr(0, base.find("ENDE"))}},
         {{E, "fehlende ENDE - Anweisung in Karte 29", 28}}},
        {"dimensions", {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.NX = 101; })}},
         {{E, "Konflikt in der Knotendimensionierung:", 17, 1, 5}}},
        {"before the time loop",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.NZINT = 0; })}},
         {{E, "Zeitschritte pro Intervall NZINT =      0 - mindestens 1 erforderlich (Karte 7)", 7, 11, 15}}},
        {"steps grown beyond any time",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.ZFAKT = 101.0, cc.NZSCHR = 100, cc.NZINT = 100; })}},
         {{E,
           "Simulierte Zeit nach Zeitschritt     50 nicht mehr darstellbar - Zeitschrittfaktor ZFAKT zu gross (Karte 7)",
           7, 40, 54}}},
        {"listing that cannot be created",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.output_file = "fehlt/LISTE"; })}},
         {{E, "Datei fehlt/LISTE kann nicht angelegt werden - Bearbeitung abgebrochen", 5, 36, 55}}},
        {"field blocks",
         {{"GRUVAT", node_by_node({{"CPGE", "  1000.0 -1000.0  1000.0"},
                                   {"WLKG", "     2.0       x       y"},
                                   {"SAETT", "   120.0"}})}},
         {{W, "negative Waermekapazitaet des Gesteins (CPGE)", 29, 9, 16, "Feld CPGE, Knoten (2,1,1)"},
          {E, "Datenfehler in Routine READMR", 33, 9, 16, "Feld WLKG, Knoten (2,1,1)"},
          {E, "Datenfehler in Routine READMR", 33, 17, 24, "Feld WLKG, Knoten (3,1,1)"},
          {W, "Wassersaettigung ausserhalb 0 bis 100 % (SAETT)", 41, 1, 8, "Schicht 1"}}},
        {"additional data file",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.IZUSAT = 1, cc.NZUSAT = 1; })},
          {"ZUSATZ", "(I5)\n    2\n(A4,4I5)\nTEMP    2    1    1    0\nPHIX    1    1    1    0\n(2F10.0)\nT\n"
                     "      10.0       0.0\n       1x0       0.0\n      10.0       0.0\n      20.0       z.0\n"}},
         {{E, "2. Schluesselwort: PHIX unbekannt!", 5, 1, 4},
          {E, "Fehler in der Datenstruktur der Zusatzdaten", 9, 1, 10, "Eintrag 1 (TEMP)"},
          {E, "Fehler in der Datenstruktur der Zusatzdaten", 11, 11, 20, "Eintrag 2 (PHIX)"}}},
        {"additional data file missing",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.IZUSAT = 1, cc.NZUSAT = 1; })}},
         {{E, "Datei ZUSATZ               nicht gefunden - Bearbeitung abgebrochen", 5, 56, 75}}},
        {"restart file missing", {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.IWARMI = 1; })}},
         {{E, "Datei GRUVWS nicht verhanden - Simulation abgebrochen", 9, 36, 40}}},
        {"restart file of another grid",
         {{"GRUVAT", deck([](ControlCards& cc, ShortInput&) { cc.IWARMI = 1; })},
          {"GRUVWS", "  12.000  12.000\n"}},
         {{E, "Fehler in der Datenstruktur der Datei GRUVWS", 1, 17, 24}}},
    };
    for (const Case& k : cases) expect_findings(check(k.files), k.findings, k.name);
}

TEST(DeckCheck, FindingsOfOneKindUnderOneFormatCardAreCounted) {
    // A porosity of 150 % on every node of a block of 3 x 5 nodes: three
    // findings are shown, the other twelve counted.
    const Checked c = check({{"GRUVAT", node_by_node({{"PHIG", "   150.0   150.0   150.0"}}, 5)}});
    EXPECT_EQ(c.report.warnings, 15);
    ASSERT_EQ(c.report.findings.size(), 3u) << c.text;
    EXPECT_EQ(c.report.findings[2].more, 12);
    EXPECT_NE(c.text.find(" ... und 12 weitere Stellen dieser Art bis Zeile "), std::string::npos) << c.text;
    EXPECT_NE(c.text.find(" Pruefung von GRUVAT: 0 Fehler, 15 Warnungen\n"), std::string::npos) << c.text;
}

TEST(DeckCheck, ReportShowsMessageAndPlaceInFileOrder) {
    ControlCards cc;
    cc.ITMAX = 3;
    const std::string deck = with_columns(cc.text() + bar().text(), 9, 21, "    x");
    const Checked c = check({{"GRUVAT", deck}});
    EXPECT_EQ(c.text,
              " Warnung: hoechstens 3 Iterationen je Loesung (ITMAX kleiner 5) - die Loesungen brechen vor dem Ziel ab\n"
              " Datei GRUVAT, Zeile 7, Spalten 6-10: '3'\n"
              " Fehler: fehlerhaftes Datenformat in Karte 9\n"
              " Datei GRUVAT, Zeile 9, Spalten 21-25: 'x'\n"
              " Pruefung von GRUVAT: 1 Fehler, 1 Warnung\n");
}

}  // namespace
}  // namespace gruv
