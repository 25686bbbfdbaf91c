// The additional data file: head, value records, the marker value, the
// table limit, add-mode entries over several readings, its end and its faults.
#include <gtest/gtest.h>

#include <string>

#include "input/input.hpp"
#include "schedule/schedule.hpp"
#include "support/state_fixture.hpp"
#include "support/test_support.hpp"

namespace gruv::test {
namespace {

class AdditionalDataTest : public StateFixture {
protected:
    void SetUp() override {
        grid_size(3, 2, 1);
        m.inf4.IMODE = 2;  // flow only: the final output prints heads
        m.inf3.IZUSAT = 1;
        auto& g = m.gitt;
        for (int i = 1; i <= 3; ++i) g.ZBRX(i) = 2.0f;
        for (int j = 1; j <= 2; ++j) g.ZBRY(j) = 5.0f;
        g.ZBRZ(1) = 1.0f;
        g.ZVOL.fill(10.0f);
    }
    //! Calls ZUSDAT on the file text (a new file when given); the exit status
    //! when it stops the run, -1 when it returns.
    int call(const std::string& file = "") {
        if (!file.empty()) {
            IZANF = 0;
            additional_file(file);
        }
        return status_of([&] { ZUSDAT(m, IZANF); });
    }
    int32_t IZANF = 0;
};

constexpr const char* kTail = "                Gesamtrechenzeit: <masked> Minuten\n"
                              "                Gesamtrechenzeit: <masked> Minuten\n";

TEST_F(AdditionalDataTest, HeadThenOneRecordPerCall) {
    m.inf3.NUMW = 3;  // entries of card 29 stay in front
    EXPECT_EQ(call("(I5)\n    2\n(A4,4I5)\nQUEL    1    1    1    0\nWPOT    0    2    0    5\n(2F10.0)\n"
                   "  Q [m3/s] Potential\n       5.0     100.0\n     -99.9     101.0\n       0.0     -99.9\n"),
              -1);
    EXPECT_EQ(IZANF, 1);
    EXPECT_EQ(m.inf3.NZUS, 2);
    EXPECT_EQ(keyword_of(m.zyk2.SWORT(4)), Keyword::QUEL);
    EXPECT_EQ(m.izy1.IBER(5), 5);
    // The first record is applied at the first call.
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 5.0f);
    EXPECT_EQ(m.wpot.WPOT(3, 2, 1), 100.0f);
    EXPECT_EQ(m.wpot.WPOT(3, 1, 1), 0.0f);
    // The marker value leaves its change as it is; any other value, 0
    // included, is applied.
    EXPECT_EQ(call(), -1);
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 5.0f);
    EXPECT_EQ(m.wpot.WPOTA(1, 2, 1), 101.0f);
    EXPECT_EQ(call(), -1);
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 0.0f);
    EXPECT_EQ(m.wpot.WPOT(1, 2, 1), 101.0f);
}

TEST_F(AdditionalDataTest, EndOfFileEndsTheRunNormallyAfterTheFinalOutput) {
    EXPECT_EQ(call("(I5)\n    1\n(A4,4I5)\nQUEL    1    1    1    0\n(F10.0)\nQ\n       5.0\n"), -1);
    EXPECT_EQ(call(), kExitNormal);
    // The head printout, then the end message and the computing time (on
    // the listing, which is the console here, and on the console).
    const std::string out = mask_volatile(console());
    EXPECT_NE(out.find(" Konvergenz seit dem letzten Zeitschritt nach"), std::string::npos) << out;
    const std::string tail =
        " Ende der optionalen Eingabedatei erreicht - Bearbeitung abgebrochen\n" + std::string(kTail);
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST_F(AdditionalDataTest, NoChangesStillReadOneLinePerCall) {
    EXPECT_EQ(call("(I5)\n    0\n(A4,4I5)\n(F10.0)\nheading\n\n       1.0\n"), -1);
    EXPECT_EQ(call(), -1);
    EXPECT_EQ(call(), kExitNormal);
    EXPECT_EQ(m.inf3.NZUS, 0);
    EXPECT_NE(console().find(" Ende der optionalen Eingabedatei erreicht -"), std::string::npos);
}

TEST_F(AdditionalDataTest, TableLimitCountsTheEntriesOfTheMainInput) {
    m.inf3.NUMW = 4990;
    std::string file = "(I5)\n   10\n(A4,4I5)\n";
    for (int i = 0; i < 10; ++i) file += "SOUC    1    1    1    0\n";
    EXPECT_EQ(call(file + "(10F5.0)\nW/m3\n" + std::string(45, ' ') + "  1.0\n"), -1);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 1.0f);  // the last of the ten entries
    // One more is refused as soon as the count is read.
    EXPECT_EQ(call("(I5)\n   11\n"), kExitInput);
    const std::string message = " Es sollen 5001 Werte umgewandelt werden - Feld IWERT zu klein dimensioniert\n";
    EXPECT_NE(mask_volatile(console()).find(message + " Zeile 2, Spalten 1-5: '11'\n" + kTail), std::string::npos);
}

TEST_F(AdditionalDataTest, AddModeEntriesApplyTheChangeOfTheirValue) {
    // A constant recharge acts once, not once more at every reading; an
    // inflow that changes from 2 to 3 to 1 leaves 1 on top of the base; the
    // fixed values of an added HTOT are added once.
    m.trns.QUEL.fill(0.5f);
    m.trns.SPEI.fill(0.1f);
    EXPECT_EQ(call("(I5)\n    3\n(A4,4I5)\nGWNB    1    1    1    0\nRNZF    2    1    1   -9\n"
                   "HTOT    3    1    1   -9\n(3F10.0)\nGWNB RNZF HTOT\n    1.0E-3       2.0       0.0\n"
                   "    1.0E-3       3.0       0.0\n    1.0E-3       1.0       0.0\n"),
              -1);
    for (int n = 0; n < 2; ++n) EXPECT_EQ(call(), -1);
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 1.0E-3f * 2.0f * 5.0f + 0.5f);
    EXPECT_EQ(m.trns.QUEL(2, 1, 1), 1.5f);
    EXPECT_EQ(m.trns.SPEI(3, 1, 1), 0.1f + 1.0E30f);
    EXPECT_EQ(m.ifld.JFLG(3, 1, 1), 2);
}

TEST_F(AdditionalDataTest, FaultsEndTheRunWithTheirMessage) {
    const std::string unknown =
        "                  2. Schluesselwort: QUAL unbekannt!\n"
        " Zeile 4, Eintrag 2 (QUAL), Spalten 1-4: 'QUAL'\n";
    const std::string outside =
        "                  3. Schluesselwort: WATT Knoten (     1,     3,     1) ausserhalb des Gitters!\n"
        " Zeile 5, Eintrag 3 (WATT), Spalten 5-24: '1    3    1    0'\n";
    const std::string one_error = "                  1 Fehler in der Zusatzeingabedatei\n";
    const std::string structure = " Fehler in der Datenstruktur der Zusatzdaten\n";
    const struct {
        const char* file;
        std::string console;
    } cases[] = {
        // Value records that cannot be read: letters in a numeric field, a
        // value format that is no format (with and without changes).
        {"(I5)\n    1\n(A4,4I5)\nQUEL    1    1    1    0\n(F10.0)\nQ\n      5.0x\n",
         structure + " Zeile 7, Eintrag 2 (QUEL), Spalten 1-10: '5.0x'\n" + kTail},
        {"(I5)\n    1\n(A4,4I5)\nQUEL    1    1    1    0\n(F10.0\nQ\n       5.0\n",
         structure + " Zeile 5, Spalten 1-20: '(F10.0'\n" + kTail},
        {"(I5)\n    0\n(A4,4I5)\n(F10.0\nQ\n\n", structure + " Zeile 4, Spalten 1-20: '(F10.0'\n" + kTail},
        // The head: keywords outside the table, nodes outside the grid, a
        // negative count, damaged blocks.
        {"(I5)\n    1\n(A4,4I5)\nQUAL    1    1    1    0\n(F10.0)\nQ\n       5.0\n",
         unknown + unknown + one_error + one_error + " Bitte ueberpruefen Sie die Eingabedatei!\n"},
        {"(I5)\n    2\n(A4,4I5)\nSOUC    1    1    1    7\nWATT    1    3    1    0\n(2F10.0)\nW\n    5.0    1.0\n",
         outside + outside + one_error + one_error + " Bitte ueberpruefen Sie die Eingabedatei!\n"},
        {"(I5)\n   -1\n(A4,4I5)\n(F10.0)\nQ\n",
         " negative Anzahl von Aenderungen in Block 1 der Zusatzeingabedatei\n Zeile 2, Spalten 1-5: '-1'\n"
         "Bitte Datei ueberpruefen!\n"},
        {"(I5)\n    x\n",
         " fehlerhaftes Datenformat in Block 1 der Zusatzeingabedatei\n Zeile 2, Spalten 1-5: 'x'\n"
         "Bitte Datei ueberpruefen!\n"},
        {"(I5)\n    1\n(A4,4I5)\nQUEL    1    1    1    0\n(F10.0)\n",
         " unerwartet Dateiende erreicht in Block 3 der Zusatzeingabedatei\n Dateiende nach Zeile 5\n"
         "Bitte Datei ergaenzen!\n"},
    };
    m.inf3.NUMW = 1;
    for (const auto& c : cases) {
        const std::size_t before = console().size();
        EXPECT_EQ(call(c.file), kExitInput) << c.file;
        EXPECT_EQ(mask_volatile(console().substr(before)), c.console) << c.file;
    }
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 0.0f);  // nothing of a rejected head is applied
}

}  // namespace
}  // namespace gruv::test
