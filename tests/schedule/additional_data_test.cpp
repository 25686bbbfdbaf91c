// The additional data file: head, value records, the marker value, the
// table limit, add-mode entries over several readings, and its end.
#include <gtest/gtest.h>

#include <string>

#include "input/input.hpp"
#include "input/model_fixture.hpp"
#include "schedule/schedule.hpp"
#include "support/test_support.hpp"

namespace gruv::test {
namespace {

class AdditionalDataTest : public ModelFixture {
protected:
    void SetUp() override {
        grid_size(3, 2, 1);
        m.inf4.IMODE = 2;  // flow only: the final output prints heads
        m.inf3.IZUSAT = 1;
        auto& g = m.gitt;
        for (int i = 1; i <= 3; ++i) g.ZBRX(i) = 2.0f;
        for (int j = 1; j <= 2; ++j) g.ZBRY(j) = 5.0f;
        g.ZBRZ(1) = 1.0f;
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 3; ++i) g.ZVOL(i, j, 1) = 10.0f;
    }
    int call() {
        return status_of([&] { ZUSDAT(m, IZANF); });
    }
    int32_t IZANF = 0;
};

TEST_F(AdditionalDataTest, HeadThenOneRecordPerCall) {
    m.inf3.NUMW = 3;  // entries of card 29 stay in front
    input("(I5)\n    2\n(A4,4I5)\nQUEL    1    1    1    0\nWPOT    0    2    0    5\n(2F10.0)\n  Q [m3/s] Potential\n"
          "       5.0     100.0\n     -99.9     101.0\n       0.0     -99.9\n",
          8);
    EXPECT_EQ(call(), -1);
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
    input("(I5)\n    1\n(A4,4I5)\nQUEL    1    1    1    0\n(F10.0)\nQ\n       5.0\n", 8);
    EXPECT_EQ(call(), -1);
    EXPECT_EQ(call(), kExitNormal);
    const std::string out = mask_volatile(console());
    // The head printout, then the end message and the computing time (on
    // the listing, which is the console here, and on the console).
    EXPECT_NE(out.find(" Konvergenz seit dem letzten Zeitschritt nach"), std::string::npos) << out;
    const std::string tail = " Ende der optionalen Eingabedatei erreicht - Bearbeitung abgebrochen\n"
                             "                Gesamtrechenzeit: <masked> Minuten\n"
                             "                Gesamtrechenzeit: <masked> Minuten\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST_F(AdditionalDataTest, NoChangesStillReadOneLinePerCall) {
    input("(I5)\n    0\n(A4,4I5)\n(F10.0)\nheading\n\n       1.0\n", 8);
    EXPECT_EQ(call(), -1);
    EXPECT_EQ(call(), -1);
    EXPECT_EQ(call(), kExitNormal);
    EXPECT_EQ(m.inf3.NZUS, 0);
    EXPECT_NE(console().find(" Ende der optionalen Eingabedatei erreicht -"), std::string::npos);
}

TEST_F(AdditionalDataTest, TableLimitCountsTheEntriesOfTheMainInput) {
    m.inf3.NUMW = 4990;
    auto head = [](int n) {
        std::string s = "(I5)\n" + std::string(n < 10 ? "    " : "   ") + std::to_string(n) + "\n(A4,4I5)\n";
        for (int i = 0; i < n; ++i) s += "SOUC    1    1    1    0\n";
        s += "(11F5.0)\nW/m3\n";
        for (int i = 0; i < n; ++i) s += "  1.0";
        return s + "\n";
    };
    input(head(10), 8);
    EXPECT_EQ(call(), -1);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 1.0f);

    IZANF = 0;
    input(head(11), 8);
    EXPECT_EQ(call(), kExitInput);
    EXPECT_NE(console().find(" Es sollen 5001 Werte umgewandelt werden - Feld IWERT zu klein dimensioniert\n"),
              std::string::npos);
    EXPECT_NE(console().find("Gesamtrechenzeit"), std::string::npos);
}

TEST_F(AdditionalDataTest, ValueRecordNotReadableUnderItsFormat) {
    // Letters in a numeric field, and a value format that is no format at all
    // (with and without changes): the value record cannot be read.
    for (const char* file : {"(I5)\n    1\n(A4,4I5)\nQUEL    1    1    1    0\n(F10.0)\nQ\n      5.0x\n",
                             "(I5)\n    1\n(A4,4I5)\nQUEL    1    1    1    0\n(F10.0\nQ\n       5.0\n",
                             "(I5)\n    0\n(A4,4I5)\n(F10.0\nQ\n\n"}) {
        IZANF = 0;
        const std::string before = console();
        input(file, 8);
        EXPECT_EQ(call(), kExitInput) << file;
        EXPECT_EQ(mask_volatile(console().substr(before.size())), " Fehler in der Datenstruktur der Zusatzdaten\n"
                                                                 "                Gesamtrechenzeit: <masked> Minuten\n"
                                                                 "                Gesamtrechenzeit: <masked> Minuten\n")
            << file;
    }
}

TEST_F(AdditionalDataTest, AddModeEntriesApplyTheChangeOfTheirValue) {
    // A constant recharge acts once, not once more at every reading; an
    // inflow that changes from 2 to 3 to 1 leaves 1 on top of the base.
    m.trns.QUEL.fill(0.5f);
    input("(I5)\n    2\n(A4,4I5)\nGWNB    1    1    1    0\nRNZF    2    1    1   -9\n(2F10.0)\nGWNB RNZF\n"
          "    1.0E-3       2.0\n    1.0E-3       3.0\n    1.0E-3       1.0\n",
          8);
    for (int n = 0; n < 3; ++n) EXPECT_EQ(call(), -1);
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 1.0E-3f * 2.0f * 5.0f + 0.5f);
    EXPECT_EQ(m.trns.QUEL(2, 1, 1), 1.5f);
}

TEST_F(AdditionalDataTest, UnknownKeywordIsAnErrorOfTheAdditionalFile) {
    input("(I5)\n    1\n(A4,4I5)\nQUAL    1    1    1    0\n(F10.0)\nQ\n       5.0\n", 8);
    EXPECT_EQ(call(), kExitInput);
    EXPECT_EQ(console(), "                  1. Schluesselwort: QUAL unbekannt!\n"
                         "                  1. Schluesselwort: QUAL unbekannt!\n"
                         "                  1 Fehler in der Zusatzeingabedatei\n"
                         "                  1 Fehler in der Zusatzeingabedatei\n"
                         " Bitte ueberpruefen Sie die Eingabedatei!\n");
}

TEST_F(AdditionalDataTest, ChangesOutsideTheGridAreRejectedAtTheHead) {
    m.inf3.NUMW = 1;
    input("(I5)\n    2\n(A4,4I5)\nSOUC    1    1    1    7\nWATT    1    3    1    0\n(2F10.0)\nW\n       5.0       1.0\n",
          8);
    EXPECT_EQ(call(), kExitInput);
    EXPECT_EQ(console(),
              "                  3. Schluesselwort: WATT Knoten (     1,     3,     1) ausserhalb des Gitters!\n"
              "                  3. Schluesselwort: WATT Knoten (     1,     3,     1) ausserhalb des Gitters!\n"
              "                  1 Fehler in der Zusatzeingabedatei\n"
              "                  1 Fehler in der Zusatzeingabedatei\n"
              " Bitte ueberpruefen Sie die Eingabedatei!\n");
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 0.0f);  // nothing applied
}

TEST_F(AdditionalDataTest, DamagedHead) {
    input("(I5)\n    x\n", 8);
    EXPECT_EQ(call(), kExitInput);
    EXPECT_EQ(console(), " fehlerhaftes Datenformat in Block 1 der Zusatzeingabedatei\nBitte Datei ueberpruefen!\n");
    IZANF = 0;
    input("(I5)\n    1\n(A4,4I5)\nQUEL    1    1    1    0\n(F10.0)\n", 8);
    EXPECT_EQ(call(), kExitInput);
    EXPECT_NE(console().find(" unerwartet Dateiende erreicht in Block 3 der Zusatzeingabedatei\n"), std::string::npos);
}

}  // namespace
}  // namespace gruv::test
