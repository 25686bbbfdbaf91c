// Layer-wise short input: card 19 with the boundary codes, card 27 in its
// three forms, card 29 up to ENDE, the keyword check and every failure.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "input/input.hpp"
#include "input/model_fixture.hpp"
#include "support/test_support.hpp"

namespace gruv::test {
namespace {

constexpr const char* kEntryFormat = "(A4,F10.0,4I5)\n";

//! A short-input deck for a 3 x 2 x NZ grid of 2 m x 3 m cells, 1 m layers.
std::string short_deck(int nz, const std::string& codes, const std::string& layer_format,
                       const std::vector<std::string>& layers, const std::vector<std::string>& entries,
                       bool with_end = true) {
    std::string s = "(3I5,3F10.0)\n" + codes + "       1.0       1.0       1.0\n";
    s += "(3F8.2)\n     2.0     2.0     2.0\n(3F8.2)\n     3.0     3.0\n(10F8.2)\n";
    for (int k = 1; k <= nz; ++k) s += "     1.0";
    s += "\n" + layer_format;
    for (const auto& l : layers) s += l + "\n";
    s += kEntryFormat;
    for (const auto& e : entries) s += e + "\n";
    if (with_end) s += "ENDE       0.0    0    0    0    0\n";
    return s;
}

const std::string k27a = "(11F10.0,I5)\n";
const std::string k27b = "(14F10.0,2I5)\n";
const std::string k27c = "(7F10.0,I5)\n";
// 27b: T, CP, RHO, WLK, PHIG, PHIN, SOUC, QUEL, SPEI, WPOT, TRSX, TRSY, TRSZ, SAT, IFLG, JFLG.
const std::string kLayer27b =
    "      10.0     850.0      2.65       2.4      20.0      10.0       5.0    0.0001     0.001     100.0"
    "    1.0E-4    2.0E-4    3.0E-5      60.0    1    1";

class ShortInputTest : public ModelFixture {
protected:
    void run_with(int32_t imode, int nz, const std::string& deck) {
        grid_size(3, 2, nz);
        m.inf4.IMODE = imode;
        input(deck);
        KURZIN(m);
    }
    int stop_with(int32_t imode, int nz, const std::string& deck) {
        grid_size(3, 2, nz);
        m.inf4.IMODE = imode;
        input(deck);
        return status_of([&] { KURZIN(m); });
    }
};

TEST_F(ShortInputTest, HeatOnlyLayersWithVelocityFromSaturation) {
    // 27a: T, CP, RHO, WLK, PHIG, PHIN, SAT, SOUC, alpha, V, vertical V, IFLG.
    run_with(0, 3, short_deck(3, "    0    0    0", k27a,
                              {"      10.0     850.0      2.65       2.4      25.0      10.0     100.0       3.5"
                               "      90.0    1.0E-6       0.0    1",
                               "       8.0     900.0       2.0       2.0      30.0      15.0     100.0       0.0"
                               "       0.0    1.0E-6       0.0    2",
                               "       6.0     950.0       1.8       1.5      40.0      20.0      40.0       0.0"
                               "      45.0       5.0   -2.0E-7    1"},
                              {}));
    const auto& p = m.phys;
    for (int j = 1; j <= 2; ++j)
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(m.temp.TEMP(i, j, 1), 283.15);
            EXPECT_EQ(p.CPGE(i, j, 1), 850.0f);
            EXPECT_EQ(p.RHOG(i, j, 1), 2.65f * 1000.0f);
            EXPECT_EQ(p.WLKG(i, j, 1), 2.4f);
            EXPECT_EQ(p.PHIG(i, j, 1), 0.25f);
            EXPECT_EQ(p.PHIN(i, j, 1), 0.1f);
            EXPECT_EQ(m.ener.SOUC(i, j, 1), 3.5f);
            EXPECT_EQ(m.ifld.IFLG(i, j, 2), 2);
            // Saturated, alpha = 90: the flow runs along +X.
            EXPECT_NEAR(p.GWVX(i, j, 1), 1.0E-6, 1.0E-13);
            EXPECT_NEAR(p.GWVY(i, j, 1), 0.0, 1.0E-13);  // cos(270 deg) in single precision
            EXPECT_EQ(p.GWVZ(i, j, 1), 0.0f);
            // Saturated, alpha = 0: along -Y.
            EXPECT_NEAR(p.GWVX(i, j, 2), 0.0, 1.0E-13);
            EXPECT_NEAR(p.GWVY(i, j, 2), -1.0E-6, 1.0E-13);
            // Unsaturated: only the vertical velocity, whatever alpha and V.
            EXPECT_EQ(p.GWVX(i, j, 3), 0.0f);
            EXPECT_EQ(p.GWVY(i, j, 3), 0.0f);
            EXPECT_EQ(p.GWVZ(i, j, 3), -2.0E-7f);
            EXPECT_EQ(m.temp.TEMPA(i, j, 1), 0.0);  // the previous step is not touched
        }
    EXPECT_EQ(p.SAETT(1), 1.0f);
    EXPECT_EQ(p.SAETT(3), 0.4f);
    EXPECT_EQ(m.inf3.NUMW, 0);
    EXPECT_FALSE(m.io.is_open(5));  // the main input is closed after ENDE
}

TEST_F(ShortInputTest, CoupledLayerSetsHeatAndFlowFields) {
    run_with(1, 1, short_deck(1, "    0    0    0", k27b, {kLayer27b}, {}));
    const auto& p = m.phys;
    const auto& t = m.trns;
    EXPECT_EQ(m.temp.TEMP(3, 2, 1), 283.15);
    EXPECT_EQ(m.ener.SOUC(3, 2, 1), 5.0f);
    EXPECT_EQ(t.QUEL(3, 2, 1), 0.0001f);
    EXPECT_EQ(t.SPEI(3, 2, 1), 0.001f);
    EXPECT_EQ(m.wpot.WPOT(3, 2, 1), 100.0f);
    EXPECT_EQ(t.TRSX(3, 2, 1), 1.0E-4f);
    EXPECT_EQ(t.TRSY(3, 2, 1), 2.0E-4f);
    EXPECT_EQ(t.TRSZ(3, 2, 1), 3.0E-5f);
    EXPECT_EQ(p.PHIN(3, 2, 1), 0.1f);
    EXPECT_EQ(p.SAETT(1), 0.6f);
    EXPECT_EQ(m.ifld.IFLG(1, 1, 1), 1);
    EXPECT_EQ(m.ifld.JFLG(1, 1, 1), 1);
    EXPECT_EQ(m.wpot.WPOTA(1, 1, 1), 0.0f);
}

TEST_F(ShortInputTest, FlowOnlyLayerSetsNoTemperatures) {
    // 27c: WPOT, TRSX, TRSY, TRSZ, QUEL, SPEI, PHIN, JFLG.
    run_with(2, 1, short_deck(1, "    0    0    0", k27c,
                              {"      50.0    1.0E-5    1.0E-5    1.0E-6       0.0      0.01      12.0    1"}, {}));
    EXPECT_EQ(m.wpot.WPOT(2, 2, 1), 50.0f);
    EXPECT_EQ(m.trns.TRSZ(2, 2, 1), 1.0E-6f);
    EXPECT_EQ(m.trns.SPEI(2, 2, 1), 0.01f);
    EXPECT_EQ(m.phys.PHIN(2, 2, 1), 0.12f);
    EXPECT_EQ(m.ifld.JFLG(2, 2, 1), 1);
    EXPECT_EQ(m.temp.TEMP(2, 2, 1), 0.0);
    EXPECT_EQ(m.phys.SAETT(1), 0.0f);
}

TEST_F(ShortInputTest, EntriesAreStoredNotApplied) {
    run_with(1, 2, short_deck(2, "    0    0    0", k27b, {kLayer27b, kLayer27b},
                              {"SOUC      10.0    1    2    1    7", "QUEL     -0.01    2    1    2   -3"}));
    EXPECT_EQ(m.inf3.NUMW, 2);
    EXPECT_EQ(keyword_of(m.zyk2.SWORT(1)), Keyword::SOUC);
    EXPECT_EQ(m.zyk1.WERT(2), -0.01f);
    EXPECT_EQ(m.izy1.IORT(2), 2);
    EXPECT_EQ(m.izy1.JORT(2), 1);
    EXPECT_EQ(m.izy1.KORT(2), 2);
    EXPECT_EQ(m.izy1.IBER(2), -3);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 5.0f);  // applied later by the value conversion
}

TEST_F(ShortInputTest, TableHoldsAtMost4999EntriesBeforeEnde) {
    std::vector<std::string> entries(4999, "CPGE     800.0    1    1    1    7");
    run_with(0, 1, short_deck(1, "    0    0    0", k27a,
                              {"      10.0     850.0      2.65       2.4      25.0      10.0     100.0       3.5"
                               "      90.0    1.0E-6       0.0    1"},
                              entries));
    EXPECT_EQ(m.inf3.NUMW, 4999);

    entries.push_back(entries.back());
    EXPECT_EQ(stop_with(0, 1, short_deck(1, "    0    0    0", k27a,
                                         {"      10.0     850.0      2.65       2.4      25.0      10.0     100.0"
                                          "       3.5      90.0    1.0E-6       0.0    1"},
                                         entries)),
              kExitInput);
    EXPECT_EQ(console(), " Felddimension IWERT muss groesser gewaehlt werden\n");
}

TEST_F(ShortInputTest, LowerCaseEndeIsAnOrdinaryEntry) {
    EXPECT_EQ(stop_with(2, 1, short_deck(1, "    0    0    0", k27c,
                                         {"      50.0    1.0E-5    1.0E-5    1.0E-6       0.0      0.01      12.0    1"},
                                         {"Ende       0.0    0    0    0    0"}, false)),
              kExitInput);
    EXPECT_EQ(console(), " fehlende ENDE - Anweisung in Karte 29 \n");
}

TEST_F(ShortInputTest, UnknownKeywordsAreListedInListingAndConsole) {
    ScratchDir dir("checku");
    ASSERT_TRUE(m.io.open_output(6, "listing"));
    m.inf2.IOUT = 6;
    EXPECT_EQ(stop_with(2, 1, short_deck(1, "    0    0    0", k27c,
                                         {"      50.0    1.0E-5    1.0E-5    1.0E-6       0.0      0.01      12.0    1"},
                                         {"QUEL       1.0    1    1    1    0", "QUEL       1.0    1    1    1    0",
                                          "WARM       1.0    1    1    1    0", "QUEL       1.0    1    1    1    0",
                                          "TRSX       1.0    1    1    1    0", "SPEI       1.0    1    1    1    0",
                                          "Ende       1.0    1    1    1    0"})),
              kExitInput);
    const std::string lines = "                  3. Schluesselwort: WARM unbekannt!\n"
                              "                  7. Schluesselwort: Ende unbekannt!\n"
                              "                  2 Fehler in der Haupteingabedatei\n";
    m.io.flush_all();
    EXPECT_EQ(read_file("listing"), lines);
    EXPECT_EQ(console(), lines + " Bitte ueberpruefen Sie die Eingabedatei!\n");
}

TEST_F(ShortInputTest, CheckuLinesShowTwiceWhenTheListingIsTheConsole) {
    m.inf3.NUMW = 1;
    m.zyk2.SWORT(1) = {'W', 'A', 'R', 'M'};
    EXPECT_EQ(status_of([&] { CHECKU(m, 1); }), kExitInput);
    EXPECT_EQ(console(),
              "                  1. Schluesselwort: WARM unbekannt!\n"
              "                  1. Schluesselwort: WARM unbekannt!\n"
              "                  1 Fehler in der Haupteingabedatei\n"
              "                  1 Fehler in der Haupteingabedatei\n"
              " Bitte ueberpruefen Sie die Eingabedatei!\n");
}

TEST_F(ShortInputTest, TraceLinesOfTheRoutinesCalled) {
    m.inf2.IBILD = 1;
    run_with(2, 1, short_deck(1, "    0    0    0", k27c,
                              {"      50.0    1.0E-5    1.0E-5    1.0E-6       0.0      0.01      12.0    1"}, {}));
    EXPECT_EQ(console(), "                ********* Subroutine KURZIN **********\n"
                         "                ********* Subroutine GITTER **********\n"
                         "                ********* Subroutine CHECKU **********\n");
}

TEST_F(ShortInputTest, KeywordTableOrder) {
    const char* words[] = {"CPGE", "GWNB", "GWVX", "GWVY", "GWVZ", "HTOT", "IFLG", "JFLG", "LEAK", "PHIG", "PHIN",
                           "QUEL", "RHOG", "RNZF", "SPEI", "SOUC", "TRSX", "TRSY", "TRSZ", "TTOT", "TXYZ", "TEMP",
                           "WATT", "WPXM", "WPYM", "WPZM", "WPXY", "WPXZ", "WPYZ", "WLKG", "WPOT"};
    for (int n = 0; n < 31; ++n) {
        EXPECT_EQ(keyword_index(words[n]), n + 1) << words[n];
        EXPECT_EQ(keyword_text(static_cast<Keyword>(n + 1)), words[n]);
    }
    EXPECT_EQ(keyword_index("ENDE"), 0);
    EXPECT_EQ(keyword_index("temp"), 0);
    EXPECT_EQ(keyword_index("TEM"), 0);
}

TEST_F(ShortInputTest, BoundaryCodesOnFirstAndLastPlanes) {
    // Code 3 for Z in a coupled run: both flags on layers 1 and 3; the Y code
    // 1 sets only T-flags on rows 1 and 2; the X code 4 does nothing.
    run_with(1, 3, short_deck(3, "    4    1    3", k27b, {kLayer27b, kLayer27b, kLayer27b}, {}));
    const auto& f = m.ifld;
    for (int j = 1; j <= 2; ++j)
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(f.IFLG(i, j, 1), 2);
            EXPECT_EQ(f.JFLG(i, j, 1), 2);
            EXPECT_EQ(f.JFLG(i, j, 3), 2);
            EXPECT_EQ(f.IFLG(i, j, 2), 2);  // every row is a boundary row with NY = 2
            EXPECT_EQ(f.JFLG(i, j, 2), 1);
        }
}

TEST_F(ShortInputTest, BoundaryCodesFollowTheMode) {
    // Flow only: a heat code (1) changes nothing, a head code (2) sets the
    // first and last column.
    run_with(2, 1, short_deck(1, "    2   -1    1", k27c,
                              {"      50.0    1.0E-5    1.0E-5    1.0E-6       0.0      0.01      12.0    1"}, {}));
    for (int j = 1; j <= 2; ++j) {
        EXPECT_EQ(m.ifld.JFLG(1, j, 1), 2);
        EXPECT_EQ(m.ifld.JFLG(2, j, 1), 1);
        EXPECT_EQ(m.ifld.JFLG(3, j, 1), 2);
        EXPECT_EQ(m.ifld.IFLG(1, j, 1), 0);
    }
}

TEST_F(ShortInputTest, BoundaryCodeOnASingleLayerSetsThatLayer) {
    // With one layer the top and bottom planes coincide: the code applies
    // to that one plane.
    run_with(1, 1, short_deck(1, "    0    0    3", k27b, {kLayer27b}, {}));
    for (int j = 1; j <= 2; ++j)
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(m.ifld.IFLG(i, j, 1), 2);
            EXPECT_EQ(m.ifld.JFLG(i, j, 1), 2);
        }
}

struct ShortFailure {
    const char* name;
    int32_t imode;
    std::string deck;
    std::string message;
};

class ShortFailureTest : public ShortInputTest, public ::testing::WithParamInterface<ShortFailure> {};

TEST_P(ShortFailureTest, StopsWithTheCardLabel) {
    const ShortFailure& c = GetParam();
    EXPECT_EQ(stop_with(c.imode, 2, c.deck), kExitInput);
    EXPECT_EQ(console(), c.message);
}

const std::string kGrid2 = "(3F8.2)\n     2.0     2.0     2.0\n(3F8.2)\n     3.0     3.0\n(3F8.2)\n     1.0     1.0\n";
const std::string kCard19 = "(3I5,3F10.0)\n    0    0    0       1.0       1.0       1.0\n";
const std::string kLayer27c = "      50.0    1.0E-5    1.0E-5    1.0E-6       0.0      0.01      12.0    1\n";

INSTANTIATE_TEST_SUITE_P(
    Cards, ShortFailureTest,
    ::testing::Values(
        ShortFailure{"EndAtCard19", 2, "(3I5,3F10.0)\n", " unerwartet Ende der Eingabedatei erreicht in Karte 19 \n"},
        ShortFailure{"LetterInCard19", 2, "(3I5,3F10.0)\n    0    a    0       1.0       1.0       1.0\n",
                     " fehlerhafte Datenstruktur in Karte 19 \n"},
        ShortFailure{"EndAtCard27Format", 2, kCard19 + kGrid2,
                     " unerwartet Ende der Eingabedatei erreicht in Karte 19 \n"},
        ShortFailure{"BrokenCard27Format", 2, kCard19 + kGrid2 + "(7F10.0,I5\n" + kLayer27c,
                     " fehlerhafte Datenstruktur in Karte 19 \n"},
        ShortFailure{"EndInLayerRecord", 1, kCard19 + kGrid2 + k27b + kLayer27b + "\n",
                     " unerwartet Ende der Eingabedatei erreicht in Karte 27b\n"},
        ShortFailure{"LetterInLayerRecord", 0,
                     kCard19 + kGrid2 + k27a +
                         "      10.0     850.0      2.65       2.4      25.0      10.0     100.0       x.5"
                         "      90.0    1.0E-6       0.0    1\n",
                     " fehlerhafte Datenstruktur in Karte 27a\n"},
        ShortFailure{"EndAtCard29Format", 2, kCard19 + kGrid2 + k27c + kLayer27c + kLayer27c,
                     " unerwartet Ende der Eingabedatei erreicht in Karte 27c\n"},
        ShortFailure{"BrokenCard29Format", 2, kCard19 + kGrid2 + k27c + kLayer27c + kLayer27c + "(A4,F10.0,4I5\n",
                     " fehlerhafte Datenstruktur in Karte 27c\n"},
        ShortFailure{"NoEnde", 2,
                     kCard19 + kGrid2 + k27c + kLayer27c + kLayer27c + kEntryFormat +
                         "QUEL       1.0    1    1    1    0\n",
                     " fehlende ENDE - Anweisung in Karte 29 \n"},
        ShortFailure{"LetterInEntry", 2,
                     kCard19 + kGrid2 + k27c + kLayer27c + kLayer27c + kEntryFormat +
                         "QUEL       1.0    1    x    1    0\n",
                     " fehlerhafte Datenstruktur in Karte 29 \n"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Entries whose nodes lie outside the grid would write outside the arrays:
// they are rejected after card 29, before anything is applied.
TEST_F(ShortInputTest, EntriesOutsideTheGridAreRejected) {
    const std::vector<std::string> entries = {
        "SOUC      10.0    0    0    0    7",   // whole grid: indices unused
        "SOUC      10.0    9    9    2   -4",   // plane K = 2 in add mode: only K counts
        "IFLG       2.0    1    2    2   -4",   // flags: a negative selector is the single node
        "QUEL       1.0    4    1    1    0",   // I = 4 > NX
        "TRSX       1.0    1    1    0    4",   // plane K = 0
        "TTOT       0.0    0    1    1   -1",   // row in add mode, but the flag part needs I
        "LEAK    1.0E-8    1    1    2    0",   // no layer below layer 2
        "LEAK    1.0E-8    1    1    1    7",   // layer 1 over layer 2: fine
        "TEMP      10.0    1    3    1    5"};  // plane J = 3 > NY
    EXPECT_EQ(stop_with(2, 2, short_deck(2, "    0    0    0", k27c, {kLayer27c.substr(0, kLayer27c.size() - 1),
                                                                        kLayer27c.substr(0, kLayer27c.size() - 1)},
                                         entries)),
              kExitInput);
    const std::string lines =
        "                  4. Schluesselwort: QUEL Knoten (     4,     1,     1) ausserhalb des Gitters!\n"
        "                  5. Schluesselwort: TRSX Knoten (     1,     1,     0) ausserhalb des Gitters!\n"
        "                  6. Schluesselwort: TTOT Knoten (     0,     1,     1) ausserhalb des Gitters!\n"
        "                  7. Schluesselwort: LEAK in der untersten Schicht nicht moeglich!\n"
        "                  9. Schluesselwort: TEMP Knoten (     1,     3,     1) ausserhalb des Gitters!\n"
        "                  5 Fehler in der Haupteingabedatei\n";
    // The listing is the console here: every line shows twice.
    std::string twice;
    std::size_t pos = 0;
    while (pos < lines.size()) {
        const std::size_t end = lines.find('\n', pos) + 1;
        twice += lines.substr(pos, end - pos) + lines.substr(pos, end - pos);
        pos = end;
    }
    EXPECT_EQ(console(), twice + " Bitte ueberpruefen Sie die Eingabedatei!\n");
}

}  // namespace
}  // namespace gruv::test
