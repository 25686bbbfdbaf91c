// The control cards: the input summary laid out exactly, and every failure of
// the cards with its message, label, stop text and exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <sstream>

#include "control/control.hpp"
#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::ControlCards;
using Change = std::function<void(ControlCards&)>;

//! INFORM on a deck written as GRUVAT (no file without a deck); status -1
//! when it returns.
struct InformRun {
    std::unique_ptr<test::ScratchDir> dir = std::make_unique<test::ScratchDir>("inform");
    std::ostringstream console;
    std::istringstream keyboard;
    std::unique_ptr<Model> m = std::make_unique<Model>();
    int status = -1;

    explicit InformRun(const std::optional<std::string>& deck, const std::string& keys = "") : keyboard(keys) {
        if (deck) test::write_file("GRUVAT", *deck);
        m->io.console().attach(console, keyboard, false);
        m->par2.SPKONS = 1.0E30f;
        try {
            INFORM(*m, RunOptions{});
        } catch (const RunStopped& s) {
            status = s.status;
        }
        m->io.flush_all();
    }
    std::string con() const { return console.str(); }
    std::string listing() const { return test::read_file(dir->path() / "LISTE"); }
};

ControlCards changed(const Change& change) {
    ControlCards c;
    change(c);
    return c;
}

// --- the summary ----------------------------------------------------------

TEST(InputSummary, GoldenListings) {
    const std::vector<std::pair<Change, std::string>> cases = {
        {[](ControlCards& c) {  // ISTOFF 1: the built-in fluid table
             c.title = "Waermeleitung in einem Stab";
             c.NZSCHR = 48, c.step_length = 30, c.time_unit = "MIN", c.NX = 20;
         },
         "summary_constant_step"},
        {[](ControlCards& c) {  // ISTOFF 2, observation nodes, both solver blocks
             c.title = "Erdwaermesonde mit Grundwasserstroemung";
             c.NZSCHR = 20, c.time_unit = "STU", c.ZFAKT = 1.2, c.EPST = 0.0005, c.IMODE = 1;
             c.OMEGT = -1.0, c.OMEGA = 1.4, c.IRICHT = 1, c.ALFA = 0.5, c.ALFAT = 0.7, c.KONVEK = 1, c.KNLAGE = 1;
             c.ISTOFF = 2, c.fluid = {4190.0, 2100.0, 1000.0, 0.6, 2.2, 0.024, 999.7, 916.8, 1.2, 333000.0, 0.2, 0.002};
             c.NBEOB = 3, c.observation_file = "BEOBACHTUNGSPUNKTE", c.observation_nodes = {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}};
         },
         "summary_growing_step"},
        {[](ControlCards& c) {  // OMEGT 0 is the line method; one freezing curve
             c.ISTOFF = 0, c.OMEGT = 0.0, c.IPHASE = 1, c.NZ = 2, c.IEIS = {1, 0}, c.EISK = {{1.0, 0.5, 0.0}};
         },
         "summary_istoff0"},
        {[](ControlCards& c) {  // card 11d with two values; flow only
             c.ISTOFF = 5, c.rock_coefficients = {0.001, 0.25, 99.0}, c.IMODE = 2, c.OMEGA = 0.8;
         },
         "summary_istoff5_flow"},
    };
    for (const auto& [change, golden] : cases) {
        InformRun r(changed(change).text());
        ASSERT_EQ(r.status, -1) << r.con();
        test::expect_golden(r.listing(), "control/golden/" + golden + ".txt");
    }
}

TEST(InputSummary, StoredDerivedValues) {
    InformRun coupled(changed([](ControlCards& c) { c.IMODE = 1, c.KONVEK = 1, c.ISCHEM = 0, c.OMEGT = 0.0; }).text());
    EXPECT_EQ(coupled.m->inf1.ISCHEM, 5) << "scheme 0 is the exponential scheme";
    EXPECT_EQ(coupled.m->par1.OMEGT, -1.0f) << "factor 0 is the line method";
    EXPECT_EQ(coupled.m->par4.DTHALB, 0.05f);
    EXPECT_EQ(coupled.m->par1.DELT, 86400.0f);
    InformRun frozen(changed([](ControlCards& c) { c.IPHASE = 1, c.NZ = 2, c.IEIS = {0, 1}, c.EISK = {{0.9, 2.0, 0.1}}; }).text());
    EXPECT_EQ(frozen.m->temp.TGEF(2), 273.15);
    EXPECT_EQ(frozen.m->ener.EISK(2, 3), 0.1f);
    InformRun rock(changed([](ControlCards& c) { c.ISTOFF = 5, c.rock_coefficients = {0.001, 0.25, 99.0}; }).text());
    EXPECT_EQ(rock.m->par4.WLKB, 0.25f);
    EXPECT_EQ(rock.m->par4.WLKC, 0.0f) << "ISTOFF 5 reads two coefficients";
}

TEST(InputSummary, TerminalOutputGoesToTheConsoleWithoutASecondBanner) {
    InformRun r(changed([](ControlCards& c) { c.output_file = "TERMINAL", c.ZFAKT = 0.0; }).text());
    ASSERT_EQ(r.status, -1);
    EXPECT_EQ(r.m->inf2.IOUT, 1);
    EXPECT_FALSE(std::filesystem::exists(r.dir->path() / "TERMINAL"));
    test::expect_golden(r.con(), "control/golden/summary_terminal.txt");  // ZFAKT 0: the constant-step line
}

TEST(InputSummary, SimulatedHoursSumTheGrowingSteps) {
    InformRun r(changed([](ControlCards& c) { c.NZSCHR = 3, c.time_unit = "STU", c.ZFAKT = 2.0; }).text());
    EXPECT_NE(r.listing().find(" 2.0000 Zeitschrittfaktor      7.0 Stunden Simulation"), std::string::npos)
        << "1 + 2 + 4 hours\n" << r.listing();
}

// --- the main input file ----------------------------------------------------

TEST(MainInputFile, PromptRepeatsUntilANameOpens) {
    test::ScratchDir dir("prompt");
    test::write_file("MEINDECK", ControlCards().text());
    std::ostringstream console;
    std::istringstream keys("FEHLT\n\nMEINDECK\n");
    auto m = std::make_unique<Model>();
    m->io.console().attach(console, keys, false);
    INFORM(*m, RunOptions{});
    m->io.flush_all();
    const std::string prompt = " Eingabedatenfile eingeben    ==> ";
    const std::string con = console.str();
    EXPECT_NE(con.find(prompt + "\n" + prompt + "\n" + prompt + "\n"), std::string::npos) << con;
}

TEST(MainInputFile, EndOfKeyboardEmptyFileAndTitleOnly) {
    InformRun nobody(std::nullopt, "NIX\n");
    EXPECT_EQ(nobody.status, kExitInput);
    EXPECT_NE(nobody.con().find(" keine Eingabedatei angegeben - Bearbeitung abgebrochen"), std::string::npos);
    InformRun empty("");
    EXPECT_EQ(empty.status, kExitInput);
    EXPECT_NE(empty.con().find(" unerwartet Dateiende erreicht nach Karte 1  \n Datei GRUVAT, Dateiende nach Zeile 0\n"
                               "Bitte Datei ergaenzen!"),
              std::string::npos);
    InformRun title_only("Nur ein Titel\n");
    EXPECT_NE(title_only.con().find(" unerwartet Dateiende erreicht nach Karte 3  \n"), std::string::npos);
}

// --- failures of the cards ---------------------------------------------------

//! The deck cut after `lines` lines.
std::string cut(const std::string& deck, int lines) {
    std::size_t pos = 0;
    for (int n = 0; n < lines; ++n) pos = deck.find('\n', pos) + 1;
    return deck.substr(0, pos);
}

TEST(CardFailures, EndOfFileNamesTheCardBeingRead) {
    // Cut at each format card and each data card in turn. 17b and 17d are
    // labelled only after their format cards; the format card 17e counts as 17d.
    ControlCards c;
    c.ISTOFF = 3;
    c.NBEOB = 1;
    c.observation_nodes = {{1, 1, 1}};
    ControlCards f;
    f.IPHASE = 3;
    f.NZ = 2;
    f.freezing_celsius = {0.0, -0.5};
    f.IEIS = {0, 1};
    f.EISK = {{0.9, 2.0, 0.1}};
    const std::string frost = f.text();
    const int n = static_cast<int>(std::count(frost.begin(), frost.end(), '\n'));
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {c.text(), 1, "3  "},  {c.text(), 2, "3  "},   {c.text(), 3, "5  "},  {c.text(), 4, "5  "},
        {c.text(), 5, "7  "},  {c.text(), 7, "9  "},   {c.text(), 9, "11 "},  {c.text(), 11, "11b"},
        {c.text(), 13, "11d"}, {c.text(), 15, "13 "},  {c.text(), 17, "15 "}, {c.text(), 19, "15b"},
        {c.text(), 20, "15b"}, {c.text(), 21, "17 "},  {c.text(), 22, "17 "}, {frost, n - 6, "17 "},
        {frost, n - 5, "17b"}, {frost, n - 4, "17b"},  {frost, n - 3, "17d"}, {frost, n - 2, "17d"},
        {frost, n - 1, "17f"}};
    for (const auto& [deck, lines, label] : cases) {
        InformRun r(cut(deck, lines));
        EXPECT_EQ(r.status, kExitInput);
        EXPECT_NE(
            r.con().find(" unerwartet Dateiende erreicht nach Karte " + label +
                         "\n Datei GRUVAT, Dateiende nach Zeile " + std::to_string(lines) + "\nBitte Datei ergaenzen!"),
            std::string::npos)
            << "cut after " << lines << " lines:\n"
            << r.con();
    }
    InformRun whole(frost);
    ASSERT_EQ(whole.status, -1) << whole.con();
    EXPECT_EQ(whole.m->temp.TGEF(2), -0.5 + 273.15);
}

TEST(CardFailures, RejectedCardsNameTheirCard) {
    const std::string deck = ControlCards().text();
    std::string bad_value = deck;  // a letter in a numeric field of card 11
    bad_value.replace(deck.find('\n', deck.find("(2F15.0,8I5)")) + 1, 15, "        1.0x   ");
    std::string bad_format = deck;  // card 15's format card
    bad_format.replace(deck.find("(3I5)"), 5, "(3Q5)");
    std::vector<std::pair<std::string, std::string>> cases = {
        {bad_value,
         " fehlerhaftes Datenformat in Karte 11 \n Datei GRUVAT, Zeile 11, Spalten 1-15: '1.0x'\n"
         "Bitte Datei ueberpruefen!\n"},
        {bad_format,
         " fehlerhaftes Datenformat in Karte 15 \n Datei GRUVAT, Zeile 14, Spalten 1-20: '(3Q5)'\n"
         "Bitte Datei ueberpruefen!\n"},
        {changed([](ControlCards& c) { c.IZUSAT = 1, c.NZUSAT = 5, c.additional_file = "ZEITREIHE"; }).text(),
         " Datei ZEITREIHE            nicht gefunden - Bearbeitung abgebrochen\n"
         " Datei GRUVAT, Zeile 5, Spalten 56-75: 'ZEITREIHE'\n"},
        {changed([](ControlCards& c) { c.output_file = "FEHLT/LISTE"; }).text(),
         " Datei FEHLT/LISTE kann nicht angelegt werden - Bearbeitung abgebrochen\n"
         " Datei GRUVAT, Zeile 5, Spalten 36-55: 'FEHLT/LISTE'\n"},
        {changed([](ControlCards& c) { c.NX = 101; }).text(),
         " Konflikt in der Knotendimensionierung:\n ======================================\n\n"
         " Anzahl der Knoten:    NX  ==>   101  NY  ==>     1  NZ  ==>     1\n\n\n"
         " Programmdimensionen:  IX  ==>   100  IY  ==>   100  IZ  ==>    10\n\n"
         " Datei GRUVAT, Zeile 17, Spalten 1-5: '101'\n Bitte Dimensionierung anpassen !\n"},
        {changed([](ControlCards& c) { c.NZ = 0; }).text(),
         "NZ  ==>     0\n\n\n Programmdimensionen:  IX  ==>   100  IY  ==>   100  IZ  ==>    10\n\n"
         " Datei GRUVAT, Zeile 17, Spalten 11-15: '0'\n"},
        {changed([](ControlCards& c) { c.NZ = 11; }).text(),
         "NZ  ==>    11\n\n\n Programmdimensionen:  IX  ==>   100  IY  ==>   100  IZ  ==>    10\n\n"
         " Datei GRUVAT, Zeile 17, Spalten 11-15: '11'\n"},
    };
    // Values the run cannot go on with: a list-directed line naming the card.
    const std::vector<std::tuple<Change, std::string, std::string>> rejected = {
        {[](ControlCards& c) { c.time_unit = "sek"; },
         "unbekannte Zeiteinheit 'sek' (erlaubt: SEK, MIN, STU, TAG) in Karte 7  ", "Zeile 7, Spalten 37-39: 'sek'"},
        {[](ControlCards& c) { c.step_length = 0; }, "Zeitschrittlaenge 0 muss groesser 0 sein in Karte 7  ",
         "Zeile 7, Spalten 31-35: '0'"},
        {[](ControlCards& c) { c.step_length = -5; }, "Zeitschrittlaenge -5 muss groesser 0 sein in Karte 7  ",
         "Zeile 7, Spalten 31-35: '-5'"},
        {[](ControlCards& c) {
             c.NBEOB = 11, c.observation_nodes.assign(11, {1, 1, 1});
         },
         "hoechstens 10 Beobachtungsknoten erlaubt, NBEOB = 11 in Karte 5  ", "Zeile 5, Spalten 1-5: '11'"},
        {[](ControlCards& c) { c.IZUSAT = 1, c.NZUSAT = 0; },
         "Zeitschritte zwischen zwei Lesungen der Zusatzdatei NZUSAT = 0 - mindestens 1 erforderlich in Karte 5  ",
         "Zeile 5, Spalten 11-15: '0'"},
        {[](ControlCards& c) {
             c.NBEOB = 2, c.observation_nodes = {{1, 1, 1}, {4, 1, 1}};
         },
         "Beobachtungsknoten 2 liegt ausserhalb des Gitters in Karte 15b", "Zeile 18, Spalten 1-5: '4'"},
        {[](ControlCards& c) { c.KNLAGE = 2; }, "Gitterkonvention KNLAGE = 2 nicht erlaubt (nur 0 oder 1) in Karte 11 ",
         "Zeile 11, Spalten 31-35: '2'"},
        {[](ControlCards& c) { c.ISTOFF = -1; },
         "Stoffdatenoption ISTOFF = -1 nicht erlaubt (nur 0 bis 5) in Karte 11 ", "Zeile 11, Spalten 61-65: '-1'"},
        {[](ControlCards& c) { c.ISTOFF = 6; }, "Stoffdatenoption ISTOFF = 6 nicht erlaubt (nur 0 bis 5) in Karte 11 ",
         "Zeile 11, Spalten 61-65: '6'"},
        {[](ControlCards& c) { c.ISTOFF = 2, c.fluid[10] = 0.0; },
         "Temperaturschritt bei Frost DTGEF muss groesser 0 sein in Karte 11b", "Zeile 13, Spalten 151-165: '0'"},
        {[](ControlCards& c) { c.ISTOFF = 2, c.fluid[11] = -0.01; },
         "max. Aenderung des Eisanteils DWAN darf nicht negativ sein in Karte 11b",
         "Zeile 13, Spalten 166-180: '-0.01'"},
        {[](ControlCards& c) { c.IMODE = 3; }, "Rechenmodus IMODE = 3 nicht erlaubt (nur 0, 1 oder 2) in Karte 13 ",
         "Zeile 13, Spalten 76-80: '3'"},
        {[](ControlCards& c) { c.IRICHT = 2; },
         "Iterationsrichtung IRICHT = 2 nicht erlaubt (nur 0 oder 1) in Karte 11 ", "Zeile 11, Spalten 56-60: '2'"},
        {[](ControlCards& c) { c.IMODE = 2, c.IVISK = 1; },
         "Viskositaetskorrektur IVISK = 1 braucht Temperaturen, nicht moeglich mit IMODE = 2 in Karte 13 ",
         "Zeile 13, Spalten 81-85: '1'"},
        {[](ControlCards& c) { c.KONVEK = 2; },
         "Konvektionsschalter KONVEK = 2 nicht erlaubt (nur 0 oder 1) in Karte 11 ", "Zeile 11, Spalten 41-45: '2'"},
        {[](ControlCards& c) { c.KONVEK = 1, c.ISCHEM = 6; },
         "Konvektionsschema ISCHEM = 6 nicht erlaubt (nur 0 bis 5) in Karte 11 ", "Zeile 11, Spalten 36-40: '6'"},
        {[](ControlCards& c) { c.IPHASE = 4; },
         "Phasenwechseloption IPHASE = 4 nicht erlaubt (nur 0 bis 3) in Karte 11 ", "Zeile 11, Spalten 46-50: '4'"},
    };
    for (const auto& [change, message, place] : rejected)
        cases.emplace_back(changed(change).text(),
                           " " + message + "\n Datei GRUVAT, " + place + "\nBitte Datei ueberpruefen!\n");
    for (const auto& [text, message] : cases) {
        InformRun r(text);
        EXPECT_EQ(r.status, kExitInput) << message;
        EXPECT_NE(r.con().find(message), std::string::npos) << r.con();
        EXPECT_EQ(r.listing(), "") << "nothing is written to the listing before the summary";
    }
    EXPECT_EQ(InformRun(changed([](ControlCards& c) { c.NX = 100, c.NY = 100, c.NZ = 10; }).text()).status, -1);
}

}  // namespace
}  // namespace gruv
