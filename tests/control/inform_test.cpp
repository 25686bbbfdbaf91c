// The control cards: the input summary laid out exactly, and every failure of
// the cards with its message, label, stop text and exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <functional>
#include <sstream>

#include "control/control.hpp"
#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::ControlCards;

//! Reads the control cards of a deck as the program does at start.
struct InformRun {
    std::unique_ptr<Model> m = std::make_unique<Model>();
    std::unique_ptr<test::ScratchDir> dir;
    std::ostringstream console;
    std::istringstream keyboard;
    int status = -1;  // -1: INFORM returned normally

    //! Runs INFORM on the deck written as GRUVAT; without a deck there is no file.
    explicit InformRun(const std::optional<std::string>& deck, const std::string& keys = "") {
        dir = std::make_unique<test::ScratchDir>("inform");
        if (deck) test::write_file("GRUVAT", *deck);
        keyboard.str(keys);
        m->io.console().attach(console, keyboard, false);
        m->par2.SPKONS = 1.0E30f;
        try {
            RunOptions options;
            INFORM(*m, options);
        } catch (const RunStopped& s) {
            status = s.status;
        }
        m->io.flush_all();
    }
    std::string listing() const { return test::read_file(dir->path() / "LISTE"); }
};

// --- the summary ----------------------------------------------------------

TEST(InputSummary, ConstantStepHeatOnlyWithDefaults) {
    ControlCards c;
    c.title = "Waermeleitung in einem Stab";
    c.NZSCHR = 48;
    c.step_length = 30;
    c.time_unit = "MIN";
    c.NX = 20;
    c.NY = 1;
    c.NZ = 1;
    InformRun r(c.text());
    ASSERT_EQ(r.status, -1) << r.console.str();
    EXPECT_FLOAT_EQ(r.m->par1.DELT, 1800.0f);
    EXPECT_EQ(r.m->inf2.IOUT, 6);
    EXPECT_EQ(r.m->ndim.NX1, 19);
    test::expect_golden(r.listing(), "control/golden/summary_constant_step.txt");
}

TEST(InputSummary, GrowingStepCoupledWithObservationNodesAndFluidCard) {
    ControlCards c;
    c.title = "Erdwaermesonde mit Grundwasserstroemung";
    c.NZSCHR = 20;
    c.step_length = 1;
    c.time_unit = "STU";
    c.ZFAKT = 1.2;
    c.EPST = 0.0005;
    c.IMODE = 1;
    c.OMEGT = -1.0;
    c.OMEGA = 1.4;
    c.IRICHT = 1;
    c.ALFA = 0.5;
    c.ALFAT = 0.7;
    c.KONVEK = 1;
    c.ISCHEM = 0;
    c.ISTOFF = 2;
    c.fluid = {4190.0, 2100.0, 1000.0, 0.6, 2.2, 0.024, 999.7, 916.8, 1.2, 333000.0, 0.2, 0.002};
    c.NBEOB = 3;
    c.observation_file = "BEOBACHTUNGSPUNKTE";
    c.observation_nodes = {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}};
    c.KNLAGE = 1;
    InformRun r(c.text());
    ASSERT_EQ(r.status, -1) << r.console.str();
    EXPECT_EQ(r.m->inf1.ISCHEM, 5) << "scheme 0 is read as the exponential scheme";
    EXPECT_FLOAT_EQ(r.m->par4.DTHALB, 0.1f);
    test::expect_golden(r.listing(), "control/golden/summary_growing_step.txt");
}

TEST(InputSummary, MaterialOptionsZeroAndRockConductivityCards) {
    ControlCards zero;
    zero.ISTOFF = 0;
    zero.OMEGT = 0.0;  // stored as -1: the line method
    zero.IPHASE = 1;
    zero.NZ = 2;
    zero.IEIS = {1, 0};
    zero.EISK = {{1.0, 0.5, 0.0}};
    InformRun r0(zero.text());
    ASSERT_EQ(r0.status, -1) << r0.console.str();
    EXPECT_FLOAT_EQ(r0.m->par1.OMEGT, -1.0f);
    EXPECT_DOUBLE_EQ(r0.m->temp.TGEF(2), 273.15);
    EXPECT_FLOAT_EQ(r0.m->ener.EISK(1, 2), 0.5f);
    test::expect_golden(r0.listing(), "control/golden/summary_istoff0.txt");

    ControlCards five;
    five.ISTOFF = 5;
    five.rock_coefficients = {0.001, 0.25, 99.0};  // the third value is not read
    five.IMODE = 2;
    five.OMEGA = 0.8;
    InformRun r5(five.text());
    ASSERT_EQ(r5.status, -1) << r5.console.str();
    EXPECT_FLOAT_EQ(r5.m->par4.WLKA, 0.001f);
    EXPECT_FLOAT_EQ(r5.m->par4.WLKB, 0.25f);
    EXPECT_FLOAT_EQ(r5.m->par4.WLKC, 0.0f);
    test::expect_golden(r5.listing(), "control/golden/summary_istoff5_flow.txt");
}

TEST(InputSummary, DefaultFluidTableMatchesTheBuiltInData) {
    ControlCards c;  // ISTOFF 1
    InformRun r(c.text());
    ASSERT_EQ(r.status, -1);
    const std::string l = r.listing();
    EXPECT_NE(l.find(" Waermekapazitaet:           4200.0     2114.0        0.0 J/kg*K"), std::string::npos) << l;
    EXPECT_NE(l.find(" Waermeleitfaehigkeit:        0.570      2.250      0.025 W/m*K"), std::string::npos);
    EXPECT_NE(l.find(" Schmelzenthalpie:        3.347E+05 J/kg"), std::string::npos);
    EXPECT_NE(l.find(" T - Schr. bei Frost:        0.1000 K"), std::string::npos);
    EXPECT_NE(l.find(" max. Aender. Eis DWAN:        0.10 %"), std::string::npos);
}

TEST(InputSummary, TerminalOutputGoesToTheConsoleWithoutASecondBanner) {
    ControlCards c;
    c.output_file = "TERMINAL";
    c.ZFAKT = 0.0;  // read as 1: the constant-step line
    InformRun r(c.text());
    ASSERT_EQ(r.status, -1);
    EXPECT_EQ(r.m->inf2.IOUT, 1);
    EXPECT_FLOAT_EQ(r.m->par1.ZFAKT, 1.0f);
    EXPECT_FALSE(std::filesystem::exists(r.dir->path() / "TERMINAL"));
    const std::string con = r.console.str();
    EXPECT_EQ(con.find("Version 1.31"), con.rfind("Version 1.31")) << "the banner is shown once";
    EXPECT_NE(con.find(" Zusammenfassung der Eingangsparameter:"), std::string::npos);
    EXPECT_NE(con.find("  10 Zeitschritte  1440.0 Minuten Zeitschrittlaenge  240.0 Stunden Simulation"),
              std::string::npos)
        << con;
}

TEST(InputSummary, SimulatedHoursSumTheGrowingSteps) {
    ControlCards c;
    c.NZSCHR = 3;
    c.step_length = 1;
    c.time_unit = "STU";
    c.ZFAKT = 2.0;
    InformRun r(c.text());
    ASSERT_EQ(r.status, -1);
    // 1 + 2 + 4 hours.
    EXPECT_NE(r.listing().find(" 2.0000 Zeitschrittfaktor      7.0 Stunden Simulation"), std::string::npos)
        << r.listing();
}

// --- the main input file ----------------------------------------------------

TEST(MainInputFile, PromptRepeatsUntilANameOpens) {
    ControlCards c;
    auto dir = std::make_unique<test::ScratchDir>("prompt");
    test::write_file("MEINDECK", c.text());
    auto m = std::make_unique<Model>();
    std::ostringstream console;
    std::istringstream keys("FEHLT\n\nMEINDECK\n");
    m->io.console().attach(console, keys, false);
    INFORM(*m, RunOptions{});
    m->io.flush_all();
    const std::string con = console.str();
    std::size_t prompts = 0;
    for (std::size_t p = con.find("Eingabedatenfile eingeben"); p != std::string::npos;
         p = con.find("Eingabedatenfile eingeben", p + 1))
        ++prompts;
    EXPECT_EQ(prompts, 3u);
    EXPECT_NE(con.find(" Eingabedatenfile eingeben    ==> "), std::string::npos);
}

TEST(MainInputFile, EndOfKeyboardInputStopsInsteadOfAskingForEver) {
    InformRun r(std::nullopt, "NIX\n");
    EXPECT_EQ(r.status, kExitInput);
    EXPECT_NE(r.console.str().find(" keine Eingabedatei angegeben - Bearbeitung abgebrochen"), std::string::npos);
}

TEST(MainInputFile, EmptyFileIsReportedAgainstCardOne) {
    InformRun empty("");
    EXPECT_EQ(empty.status, kExitInput);
    EXPECT_NE(empty.console.str().find(" unerwartet Dateiende erreicht nach Karte 1  \nBitte Datei ergaenzen!"),
              std::string::npos)
        << empty.console.str();
    InformRun title_only("Nur ein Titel\n");
    EXPECT_NE(title_only.console.str().find(" unerwartet Dateiende erreicht nach Karte 3  \nBitte Datei ergaenzen!"),
              std::string::npos)
        << title_only.console.str();
}

// --- failures of the cards ---------------------------------------------------

//! The deck cut after `lines` lines.
std::string cut(const std::string& deck, int lines) {
    std::size_t pos = 0;
    for (int n = 0; n < lines; ++n) pos = deck.find('\n', pos) + 1;
    return deck.substr(0, pos);
}

TEST(CardFailures, EndOfFileNamesTheCardBeingRead) {
    ControlCards c;
    c.ISTOFF = 3;
    c.NBEOB = 1;
    c.observation_nodes = {{1, 1, 1}};
    const std::string deck = c.text();
    // Cut the deck at each format card and each data card in turn.
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "3  "},  {2, "3  "},  {3, "5  "},  {4, "5  "},  {5, "7  "},  {7, "9  "},  {9, "11 "},
        {11, "11b"}, {13, "11d"}, {15, "13 "}, {17, "15 "}, {19, "15b"}, {20, "15b"}, {21, "17 "},
        {22, "17 "}};
    for (const auto& [lines, label] : cases) {
        InformRun r(cut(deck, lines));
        EXPECT_EQ(r.status, kExitInput) << lines;
        EXPECT_NE(r.console.str().find(" unerwartet Dateiende erreicht nach Karte " + label + "\nBitte Datei ergaenzen!"),
                  std::string::npos)
            << "cut after " << lines << " lines:\n"
            << r.console.str();
    }
}

TEST(CardFailures, PhaseChangeCardsReportTheLabelsOfTheirFormatCards) {
    ControlCards c;
    c.IPHASE = 3;
    c.NZ = 2;
    c.freezing_celsius = {0.0, -0.5};
    c.IEIS = {0, 1};
    c.EISK = {{0.9, 2.0, 0.1}};
    const std::string deck = c.text();
    const int full = static_cast<int>(std::count(deck.begin(), deck.end(), '\n'));
    // 17b's format card missing: still counted against card 17; its data: 17b.
    // 17d's format card: 17b; its data and the format card 17e: 17d; 17f data: 17f.
    const std::vector<std::pair<int, std::string>> cases = {
        {full - 7, "17 "}, {full - 6, "17 "}, {full - 5, "17b"}, {full - 4, "17b"}, {full - 3, "17d"},
        {full - 2, "17d"}, {full - 1, "17f"}};
    for (const auto& [lines, label] : cases) {
        InformRun r(cut(deck, lines));
        EXPECT_NE(r.console.str().find("nach Karte " + label), std::string::npos)
            << "cut after " << lines << " lines:\n"
            << r.console.str();
    }
    InformRun whole(deck);
    ASSERT_EQ(whole.status, -1) << whole.console.str();
    EXPECT_DOUBLE_EQ(whole.m->temp.TGEF(2), -0.5 + 273.15);
    EXPECT_FLOAT_EQ(whole.m->ener.EISK(2, 3), 0.1f);
}

TEST(CardFailures, UnreadableDataAndBadFormatCards) {
    ControlCards c;
    std::string deck = c.text();
    const std::size_t p = deck.find("(2F15.0,8I5)");  // card 11: a letter in a numeric field
    std::string bad_value = deck;
    bad_value.replace(deck.find('\n', p) + 1, 15, "        1.0x   ");
    InformRun r1(bad_value);
    EXPECT_EQ(r1.status, kExitInput);
    EXPECT_NE(r1.console.str().find(" fehlerhaftes Datenformat in Karte 11 \nBitte Datei ueberpruefen!"),
              std::string::npos)
        << r1.console.str();

    std::string bad_format = deck;
    bad_format.replace(deck.find("(3I5)"), 5, "(3Q5)");  // card 15's format card
    InformRun r2(bad_format);
    EXPECT_NE(r2.console.str().find(" fehlerhaftes Datenformat in Karte 15 "), std::string::npos) << r2.console.str();
}

TEST(CardFailures, DimensionConflict) {
    for (auto [nx, nz] : {std::pair{101, 1}, std::pair{5, 0}, std::pair{5, 11}}) {
        ControlCards c;
        c.NX = nx;
        c.NZ = nz;
        InformRun r(c.text());
        EXPECT_EQ(r.status, kExitInput);
        const std::string con = r.console.str();
        EXPECT_NE(con.find(" Konflikt in der Knotendimensionierung:\n ======================================\n\n"
                           " Anzahl der Knoten:    NX  ==>  " +
                           test::field(nx, 4) + "  NY  ==>     1  NZ  ==>  " + test::field(nz, 4) +
                           "\n\n\n Programmdimensionen:  IX  ==>   100  IY  ==>   100  IZ  ==>    10\n\n"
                           " Bitte Dimensionierung anpassen !"),
                  std::string::npos)
            << con;
        EXPECT_EQ(r.listing(), "") << "nothing is written to the listing before the summary";
    }
    ControlCards fits;
    fits.NX = 100;
    fits.NY = 100;
    fits.NZ = 10;
    EXPECT_EQ(InformRun(fits.text()).status, -1);
}

TEST(CardFailures, MissingAdditionalDataFile) {
    ControlCards c;
    c.IZUSAT = 1;
    c.NZUSAT = 5;
    c.additional_file = "ZEITREIHE";
    InformRun r(c.text());
    EXPECT_EQ(r.status, kExitInput);
    EXPECT_NE(r.console.str().find(" Datei ZEITREIHE            nicht gefunden - Bearbeitung abgebrochen"),
              std::string::npos)
        << r.console.str();
}

TEST(CardFailures, ValuesThatWouldBreakTheRunAreRejectedWithTheirCard) {
    struct Case {
        std::function<void(ControlCards&)> change;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[](ControlCards& c) { c.time_unit = "sek"; }, "unbekannte Zeiteinheit 'sek' (erlaubt: SEK, MIN, STU, TAG) in Karte 7  "},
        {[](ControlCards& c) { c.step_length = 0; }, "Zeitschrittlaenge 0 muss groesser 0 sein in Karte 7  "},
        {[](ControlCards& c) { c.step_length = -5; }, "Zeitschrittlaenge -5 muss groesser 0 sein in Karte 7  "},
        {[](ControlCards& c) {
             c.NBEOB = 11;
             c.observation_nodes.assign(11, {1, 1, 1});
         },
         "hoechstens 10 Beobachtungsknoten erlaubt, NBEOB = 11 in Karte 5  "},
        {[](ControlCards& c) {
             c.NBEOB = 2;
             c.observation_nodes = {{1, 1, 1}, {4, 1, 1}};
         },
         "Beobachtungsknoten 2 liegt ausserhalb des Gitters in Karte 15b"},
        {[](ControlCards& c) { c.KNLAGE = 2; }, "Gitterkonvention KNLAGE = 2 nicht erlaubt (nur 0 oder 1) in Karte 11 "},
        {[](ControlCards& c) { c.ISTOFF = -1; }, "Stoffdatenoption ISTOFF = -1 nicht erlaubt (nur 0 bis 5) in Karte 11 "},
        {[](ControlCards& c) { c.ISTOFF = 6; }, "Stoffdatenoption ISTOFF = 6 nicht erlaubt (nur 0 bis 5) in Karte 11 "},
        {[](ControlCards& c) {
             c.ISTOFF = 2;
             c.fluid[10] = 0.0;
         },
         "Temperaturschritt bei Frost DTGEF muss groesser 0 sein in Karte 11b"},
        {[](ControlCards& c) {
             c.ISTOFF = 2;
             c.fluid[11] = -0.01;
         },
         "max. Aenderung des Eisanteils DWAN darf nicht negativ sein in Karte 11b"},
        {[](ControlCards& c) { c.IMODE = 3; }, "Rechenmodus IMODE = 3 nicht erlaubt (nur 0, 1 oder 2) in Karte 13 "},
        {[](ControlCards& c) { c.IRICHT = 2; }, "Iterationsrichtung IRICHT = 2 nicht erlaubt (nur 0 oder 1) in Karte 11 "},
        {[](ControlCards& c) {
             c.IMODE = 2;
             c.IVISK = 1;
         },
         "Viskositaetskorrektur IVISK = 1 braucht Temperaturen, nicht moeglich mit IMODE = 2 in Karte 13 "},
        {[](ControlCards& c) {
             c.KONVEK = 1;
             c.ISCHEM = 6;
         },
         "Konvektionsschema ISCHEM = 6 nicht erlaubt (nur 0 bis 5) in Karte 11 "},
    };
    for (const auto& k : cases) {
        ControlCards c;
        k.change(c);
        InformRun r(c.text());
        EXPECT_EQ(r.status, kExitInput) << k.message;
        EXPECT_NE(r.console.str().find(" " + k.message + "\nBitte Datei ueberpruefen!"), std::string::npos)
            << r.console.str();
    }
}

}  // namespace
}  // namespace gruv
