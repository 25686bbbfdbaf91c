// Layer-wise short input: card 19 with the boundary codes, card 27 in its
// three forms, card 29 up to ENDE, the keyword check and every failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/input.hpp"
#include "support/state_fixture.hpp"
#include "support/test_support.hpp"

namespace gruv::test {
namespace {

const std::string kCard19 = "(3I5,3F10.0)\n    0    0    0       1.0       1.0       1.0\n";
const std::string kGrid = "(3F8.2)\n     2.0     2.0     2.0\n(3F8.2)\n     3.0     3.0\n(10F8.2)\n";  // + NZ layers
const std::string kEntryFormat = "(A4,F10.0,4I5)\n";
const std::string kEnde = "ENDE       0.0    0    0    0    0\n";
// The layer formats and one layer record of each mode:
// 27a: T, CP, RHO, WLK, PHIG, PHIN, SAT, SOUC, alpha, V, vertical V, IFLG.
// 27b: T, CP, RHO, WLK, PHIG, PHIN, SOUC, QUEL, SPEI, WPOT, TRSX, TRSY, TRSZ, SAT, IFLG, JFLG.
// 27c: WPOT, TRSX, TRSY, TRSZ, QUEL, SPEI, PHIN, JFLG.
const std::string k27[3] = {"(11F10.0,I5)\n", "(14F10.0,2I5)\n", "(7F10.0,I5)\n"};
const std::string kLayer[3] = {
    "      10.0     850.0      2.65       2.4      25.0      10.0     100.0       3.5      90.0    1.0E-6       0.0    1\n",
    "      10.0     850.0      2.65       2.4      20.0      10.0       5.0    0.0001     0.001     100.0    1.0E-4"
    "    2.0E-4    3.0E-5      60.0    1    1\n",
    "      50.0    1.0E-5    1.0E-5    1.0E-6       0.0      0.01      12.0    1\n"};

//! A short-input deck for a 3 x 2 x NZ grid of 2 m x 3 m cells, 1 m layers,
//! every layer as `layers` gives it or the mode's standard layer.
std::string short_deck(int32_t imode, int nz, const std::string& codes, const std::vector<std::string>& entries,
                       std::vector<std::string> layers = {}) {
    std::string s = "(3I5,3F10.0)\n" + codes + "       1.0       1.0       1.0\n" + kGrid;
    for (int k = 1; k <= nz; ++k) s += "     1.0";
    s += "\n" + k27[imode];
    layers.resize(static_cast<std::size_t>(nz), kLayer[imode]);
    for (const auto& l : layers) s += l;
    s += kEntryFormat;
    for (const auto& e : entries) s += e + "\n";
    return s;
}

class ShortInputTest : public StateFixture {
protected:
    //! KURZIN on the deck; the exit status when it stops, -1 when it returns.
    int run(int32_t imode, int nz, const std::string& deck) {
        grid_size(3, 2, nz);
        m.inf4.IMODE = imode;
        input(deck);
        return status_of([&] { KURZIN(m); });
    }
};

TEST_F(ShortInputTest, HeatOnlyLayersWithVelocityFromSaturation) {
    // Saturated with alpha 90 and 0, then unsaturated whatever alpha and V.
    ASSERT_EQ(run(0, 3, short_deck(0, 3, "    0    0    0", {kEnde},
                                   {kLayer[0],
                                    "       8.0     900.0       2.0       2.0      30.0      15.0     100.0       0.0"
                                    "       0.0    1.0E-6       0.0    2\n",
                                    "       6.0     950.0       1.8       1.5      40.0      20.0      40.0       0.0"
                                    "      45.0       5.0   -2.0E-7    1\n"})),
              -1)
        << console();
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
            // cos(270 deg) and sin(0 deg) of single-precision angles are
            // not exactly 0.
            EXPECT_NEAR(p.GWVX(i, j, 1), 1.0E-6, 1.0E-13);
            EXPECT_NEAR(p.GWVY(i, j, 1), 0.0, 1.0E-13);
            EXPECT_EQ(p.GWVZ(i, j, 1), 0.0f);
            EXPECT_NEAR(p.GWVX(i, j, 2), 0.0, 1.0E-13);
            EXPECT_NEAR(p.GWVY(i, j, 2), -1.0E-6, 1.0E-13);
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

TEST_F(ShortInputTest, CoupledAndFlowOnlyLayers) {
    ASSERT_EQ(run(1, 1, short_deck(1, 1, "    0    0    0", {kEnde})), -1) << console();
    const auto& p = m.phys;
    const auto& t = m.trns;
    EXPECT_EQ(m.temp.TEMP(3, 2, 1), 283.15);
    EXPECT_EQ((std::vector<float>{p.CPGE(3, 2, 1), p.RHOG(3, 2, 1), p.WLKG(3, 2, 1), p.PHIG(3, 2, 1), p.PHIN(3, 2, 1),
                                  m.ener.SOUC(3, 2, 1), t.QUEL(3, 2, 1), t.SPEI(3, 2, 1), m.wpot.WPOT(3, 2, 1),
                                  t.TRSX(3, 2, 1), t.TRSY(3, 2, 1), t.TRSZ(3, 2, 1), p.SAETT(1)}),
              (std::vector<float>{850.0f, 2.65f * 1000.0f, 2.4f, 0.2f, 0.1f, 5.0f, 0.0001f, 0.001f, 100.0f, 1.0E-4f,
                                  2.0E-4f, 3.0E-5f, 0.6f}));
    EXPECT_EQ(m.ifld.IFLG(1, 1, 1) * 10 + m.ifld.JFLG(1, 1, 1), 11);
    EXPECT_EQ(m.wpot.WPOTA(1, 1, 1), 0.0f);

    // Flow only: no temperatures, no saturation.
    m.temp.TEMP.fill(0.0), m.phys.SAETT.fill(0.0f);
    ASSERT_EQ(run(2, 1, short_deck(2, 1, "    0    0    0", {kEnde})), -1) << console();
    EXPECT_EQ((std::vector<float>{m.wpot.WPOT(2, 2, 1), t.TRSX(2, 2, 1), t.TRSZ(2, 2, 1), t.QUEL(2, 2, 1),
                                  t.SPEI(2, 2, 1), p.PHIN(2, 2, 1), p.SAETT(1)}),
              (std::vector<float>{50.0f, 1.0E-5f, 1.0E-6f, 0.0f, 0.01f, 0.12f, 0.0f}));
    EXPECT_EQ(m.temp.TEMP(2, 2, 1), 0.0);
    EXPECT_EQ(m.ifld.JFLG(2, 2, 1), 1);
}

TEST_F(ShortInputTest, EntriesAreStoredUpTo4999) {
    ASSERT_EQ(run(1, 2, short_deck(1, 2, "    0    0    0",
                                   {"SOUC      10.0    1    2    1    7", "QUEL     -0.01    2    1    2   -3", kEnde})),
              -1);
    EXPECT_EQ(m.inf3.NUMW, 2);
    EXPECT_EQ(keyword_of(m.zyk2.SWORT(1)), Keyword::SOUC);
    EXPECT_EQ((std::vector<int32_t>{m.izy1.IORT(2), m.izy1.JORT(2), m.izy1.KORT(2), m.izy1.IBER(2)}),
              (std::vector<int32_t>{2, 1, 2, -3}));
    EXPECT_EQ(m.zyk1.WERT(2), -0.01f);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 5.0f);  // applied later by the value conversion

    std::vector<std::string> entries(4999, "CPGE     800.0    1    1    1    7");
    entries.push_back(kEnde);
    ASSERT_EQ(run(0, 1, short_deck(0, 1, "    0    0    0", entries)), -1);
    EXPECT_EQ(m.inf3.NUMW, 4999);
    entries.insert(entries.begin(), entries.front());
    EXPECT_EQ(run(0, 1, short_deck(0, 1, "    0    0    0", entries)), kExitInput);
    EXPECT_EQ(console(),
              " Felddimension IWERT muss groesser gewaehlt werden\n"
              " Zeile 5011, Eintrag 5000 (CPGE): 'CPGE     800.0    1    1    1    7'\n");
}

TEST_F(ShortInputTest, UnknownKeywordsAreListedInListingAndConsole) {
    ScratchDir dir("checku");
    ASSERT_TRUE(m.io.open_output(6, "listing"));
    m.inf2.IOUT = 6;
    EXPECT_EQ(run(2, 1, short_deck(2, 1, "    0    0    0",
                                   {"QUEL       1.0    1    1    1    0", "QUEL       1.0    1    1    1    0",
                                    "WARM       1.0    1    1    1    0", "QUEL       1.0    1    1    1    0",
                                    "TRSX       1.0    1    1    1    0", "SPEI       1.0    1    1    1    0",
                                    "Ende       1.0    1    1    1    0", kEnde})),
              kExitInput);
    const std::string lines =
        "                  3. Schluesselwort: WARM unbekannt!\n"
        " Zeile 14, Eintrag 3 (WARM), Spalten 1-4: 'WARM'\n"
        "                  7. Schluesselwort: Ende unbekannt!\n"
        " Zeile 18, Eintrag 7 (Ende), Spalten 1-4: 'Ende'\n"
        "                  2 Fehler in der Haupteingabedatei\n";
    m.io.flush_all();
    EXPECT_EQ(read_file("listing"), lines);
    EXPECT_EQ(console(), lines + " Bitte ueberpruefen Sie die Eingabedatei!\n");
}

TEST_F(ShortInputTest, CheckuLinesShowTwiceWhenTheListingIsTheConsole) {
    m.inf3.NUMW = 1;
    m.zyk2.SWORT(1) = {'W', 'A', 'R', 'M'};
    EXPECT_EQ(status_of([&] { CHECKU(m, 1); }), kExitInput);
    EXPECT_EQ(console(), "                  1. Schluesselwort: WARM unbekannt!\n"
                         "                  1. Schluesselwort: WARM unbekannt!\n"
                         "                  1 Fehler in der Haupteingabedatei\n"
                         "                  1 Fehler in der Haupteingabedatei\n"
                         " Bitte ueberpruefen Sie die Eingabedatei!\n");
}

TEST_F(ShortInputTest, TraceLinesOfTheRoutinesCalled) {
    m.inf2.IBILD = 1;
    ASSERT_EQ(run(2, 1, short_deck(2, 1, "    0    0    0", {kEnde})), -1);
    EXPECT_EQ(console(), "                ********* Subroutine KURZIN **********\n"
                         "                ********* Subroutine GITTER **********\n"
                         "                ********* Subroutine CHECKU **********\n");
}

TEST_F(ShortInputTest, BoundaryCodesOnFirstAndLastPlanes) {
    // Codes X, Y, Z; flags IFLG/JFLG of the 3 x 2 nodes of each layer, row by row.
    const std::tuple<int32_t, int, std::string, std::string> cases[] = {
        // Z code 3 in a coupled run: both flags on layers 1 and 3; Y code 1
        // only T-flags on both rows; the X code 4 does nothing.
        {1, 3, "    4    1    3", "22 22 22 22 22 22|21 21 21 21 21 21|22 22 22 22 22 22"},
        // Flow only: a heat code changes nothing, the head code sets the
        // first and last column; negative codes do nothing.
        {2, 1, "    2   -1    1", "02 01 02 02 01 02"},
        // One layer: top and bottom planes coincide, the code applies to it.
        {1, 1, "    0    0    3", "22 22 22 22 22 22"},
    };
    for (const auto& [imode, nz, codes, flags] : cases) {
        m.ifld = IFLD{};
        ASSERT_EQ(run(imode, nz, short_deck(imode, nz, codes, {kEnde})), -1) << console();
        std::string seen;
        for (int k = 1; k <= nz; ++k)
            for (int j = 1; j <= 2; ++j)
                for (int i = 1; i <= 3; ++i)
                    seen += std::to_string(m.ifld.IFLG(i, j, k)) + std::to_string(m.ifld.JFLG(i, j, k)) +
                            (i < 3 || j < 2 ? " " : k < nz ? "|" : "");
        EXPECT_EQ(seen, flags) << codes;
    }
}

TEST_F(ShortInputTest, FailuresNameTheCard) {
    const std::string layers = kCard19 + kGrid + "     1.0     1.0\n" + k27[2] + kLayer[2] + kLayer[2];
    const std::tuple<int32_t, std::string, std::string> cases[] = {
        {2, "(3I5,3F10.0)\n", " unerwartet Ende der Eingabedatei erreicht in Karte 19 \n Dateiende nach Zeile 1\n"},
        {2, "(3I5,3F10.0)\n    0    a    0       1.0       1.0       1.0\n",
         " fehlerhafte Datenstruktur in Karte 19 \n Zeile 2, Spalten 6-10: 'a'\n"},
        // The format card of card 27 counts as card 19, that of card 29 as
        // the last layer record.
        {2, kCard19 + kGrid + "     1.0     1.0\n",
         " unerwartet Ende der Eingabedatei erreicht in Karte 19 \n Dateiende nach Zeile 8\n"},
        {2, kCard19 + kGrid + "     1.0     1.0\n(7F10.0,I5\n" + kLayer[2],
         " fehlerhafte Datenstruktur in Karte 19 \n Zeile 9, Spalten 1-20: '(7F10.0,I5'\n"},
        {1, kCard19 + kGrid + "     1.0     1.0\n" + k27[1] + kLayer[1],
         " unerwartet Ende der Eingabedatei erreicht in Karte 27b\n Dateiende nach Zeile 10, Schicht 2\n"},
        {0, kCard19 + kGrid + "     1.0     1.0\n" + k27[0] + "      10.0       x.0\n",
         " fehlerhafte Datenstruktur in Karte 27a\n Zeile 10, Schicht 1, Spalten 11-20: 'x.0'\n"},
        {2, layers, " unerwartet Ende der Eingabedatei erreicht in Karte 27c\n Dateiende nach Zeile 11\n"},
        {2, layers + "(A4,F10.0,4I5\n",
         " fehlerhafte Datenstruktur in Karte 27c\n Zeile 12, Spalten 1-20: '(A4,F10.0,4I5'\n"},
        {2, layers + kEntryFormat + "QUEL       1.0    1    1    1    0\n",
         " fehlende ENDE - Anweisung in Karte 29 \n Dateiende nach Zeile 13\n"},
        // A lower-case "Ende" is an ordinary entry.
        {2, layers + kEntryFormat + "Ende       0.0    0    0    0    0\n",
         " fehlende ENDE - Anweisung in Karte 29 \n Dateiende nach Zeile 13\n"},
        {2, layers + kEntryFormat + "QUEL       1.0    1    x    1    0\n",
         " fehlerhafte Datenstruktur in Karte 29 \n Zeile 13, Eintrag 1 (QUEL), Spalten 20-24: 'x'\n"},
    };
    std::string expected;
    for (const auto& [imode, deck, message] : cases) {
        EXPECT_EQ(run(imode, 2, deck), kExitInput) << message;
        expected += message;
        EXPECT_EQ(console(), expected);
    }
}

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
        "TEMP      10.0    1    3    1    5",   // plane J = 3 > NY
        kEnde};
    EXPECT_EQ(run(2, 2, short_deck(2, 2, "    0    0    0", entries)), kExitInput);
    std::string twice;  // the listing is the console here: every line shows twice
    for (const char* line :
         {"                  4. Schluesselwort: QUEL Knoten (     4,     1,     1) ausserhalb des Gitters!\n"
          " Zeile 16, Eintrag 4 (QUEL), Spalten 15-34: '4    1    1    0'\n",
          "                  5. Schluesselwort: TRSX Knoten (     1,     1,     0) ausserhalb des Gitters!\n"
          " Zeile 17, Eintrag 5 (TRSX), Spalten 15-34: '1    1    0    4'\n",
          "                  6. Schluesselwort: TTOT Knoten (     0,     1,     1) ausserhalb des Gitters!\n"
          " Zeile 18, Eintrag 6 (TTOT), Spalten 15-34: '0    1    1   -1'\n",
          "                  7. Schluesselwort: LEAK in der untersten Schicht nicht moeglich!\n"
          " Zeile 19, Eintrag 7 (LEAK), Spalten 15-34: '1    1    2    0'\n",
          "                  9. Schluesselwort: TEMP Knoten (     1,     3,     1) ausserhalb des Gitters!\n"
          " Zeile 21, Eintrag 9 (TEMP), Spalten 15-34: '1    3    1    5'\n",
          "                  5 Fehler in der Haupteingabedatei\n"})
        twice += std::string(line) + line;
    EXPECT_EQ(console(), twice + " Bitte ueberpruefen Sie die Eingabedatei!\n");
}

}  // namespace
}  // namespace gruv::test
