// Node-by-node field input: the block order of every mode, the unit
// conversions, row-by-row reading, and the reader messages.
#include <gtest/gtest.h>

#include <string>

#include "input/input.hpp"
#include "support/state_fixture.hpp"

namespace gruv::test {
namespace {

// Card 19 and a grid of 3 x 2 x 2 cells of 1 m.
const std::string kCard19AndGrid =
    "(3I5,3F10.0)\n    0    0    0       1.0       0.5       2.0\n"
    "(3F8.2)\n     1.0     1.0     1.0\n(3F8.2)\n     1.0     1.0\n(3F8.2)\n     1.0     1.0\n";

double node(double base, int i, int j, int k) { return base + 100 * k + 10 * j + i; }

//! A field block whose value at node (I,J,K) is base + 100K + 10J + I.
std::string block(double base, bool integer = false) {
    std::string s = integer ? "(3I8)\n" : "(3F8.2)\n";
    char buf[16];
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 2; ++j) {
            for (int i = 1; i <= 3; ++i) {
                std::snprintf(buf, sizeof buf, integer ? "%8.0f" : "%8.2f", node(base, i, j, k));
                s += buf;
            }
            s += "\n";
        }
    return s;
}

// Every block carries its own base, so a block read into the wrong field
// shows at once.
enum Base { TEMP = 1000, CPGE = 2000, RHOG = 3000, WLKG = 4000, IFLG = 5000, PHIG = 6000, PHIN = 7000,
            SOUC = 8000, GWVX = 9000, GWVY = 10000, GWVZ = 11000, WPOT = 12000, TRSX = 13000, TRSY = 14000,
            TRSZ = 15000, QUEL = 16000, SPEI = 17000, PHIN2 = 18000, JFLG = 19000 };

const std::string kHeatBlocks = block(TEMP) + block(CPGE) + block(RHOG) + block(WLKG) + block(IFLG, true) +
                                block(PHIG) + block(PHIN) + "(2F8.2)\n   100.0    50.0\n" + block(SOUC);
const std::string kVelocityBlocks = block(GWVX) + block(GWVY) + block(GWVZ);
std::string flow_blocks(bool with_porosity) {
    return block(WPOT) + block(TRSX) + block(TRSY) + block(TRSZ) + block(QUEL) + block(SPEI) +
           (with_porosity ? block(PHIN2) : std::string()) + block(JFLG, true);
}

//! Every node of field A holds the converted value of its block.
template <class T, class Convert>
void expect_field(const NodeArray<T>& A, double base, Convert convert) {
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 3; ++i) EXPECT_EQ(A(i, j, k), convert(node(base, i, j, k))) << base << " at " << i << j << k;
}
auto as_float = [](double v) { return static_cast<float>(v); };
auto as_int = [](double v) { return static_cast<int32_t>(v); };
auto percent = [](double v) { return static_cast<float>(v) / 100.0f; };

class FieldInputTest : public StateFixture {
protected:
    void SetUp() override { grid_size(3, 2, 2); }
};

TEST_F(FieldInputTest, BlocksInTheOrderOfEachMode) {
    struct Case {
        int32_t IMODE, KONVEK;
        std::string blocks;
        bool heat, velocities;
        double flow_porosity;  //!< base of the effective porosity in flow runs (0: no flow blocks)
    };
    const Case cases[] = {
        {0, 0, kHeatBlocks, true, false, 0},
        {0, 1, kHeatBlocks + kVelocityBlocks, true, true, 0},
        {1, 1, kHeatBlocks + flow_blocks(false), true, false, PHIN},  // velocities come from the flow solve
        {2, 0, flow_blocks(true), false, false, PHIN2},               // porosity after the storage
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.IMODE * 10 + c.KONVEK);
        m.phys = PHYS{}, m.temp = gruv::TEMP{}, m.trns = TRNS{}, m.wpot = gruv::WPOT{}, m.ifld = IFLD{}, m.ener = ENER{};
        m.inf4.IMODE = c.IMODE;
        m.inf2.KONVEK = c.KONVEK;
        input(kCard19AndGrid + c.blocks + "REST\n");
        DATEIN(m);
        EXPECT_EQ(next_main_line(), "REST");
        const auto& p = m.phys;
        EXPECT_EQ(p.ANISY, 0.5f);
        if (c.heat) {
            // Celsius to kelvin in double precision, g/cm3 to kg/m3 and
            // percent to fractions in single precision.
            expect_field(m.temp.TEMP, TEMP, [](double v) { return v + 273.15; });
            expect_field(p.CPGE, CPGE, as_float);
            expect_field(p.RHOG, RHOG, [](double v) { return static_cast<float>(v) * 1000.0f; });
            expect_field(p.WLKG, WLKG, as_float);
            expect_field(m.ifld.IFLG, IFLG, as_int);
            expect_field(p.PHIG, PHIG, percent);
            expect_field(m.ener.SOUC, SOUC, as_float);
            EXPECT_EQ(p.SAETT(1), 1.0f);
            EXPECT_EQ(p.SAETT(2), 0.5f);
        } else {
            EXPECT_EQ(m.temp.TEMP(1, 1, 1), 0.0);
            EXPECT_EQ(p.SAETT(1), 0.0f);
        }
        if (c.velocities) {
            expect_field(p.GWVX, GWVX, as_float);
            expect_field(p.GWVY, GWVY, as_float);
            expect_field(p.GWVZ, GWVZ, as_float);
        } else {
            EXPECT_EQ(p.GWVX(1, 1, 1), 0.0f);
        }
        expect_field(p.PHIN, c.flow_porosity != 0 ? c.flow_porosity : static_cast<double>(PHIN), percent);
        if (c.flow_porosity != 0) {
            expect_field(m.wpot.WPOT, WPOT, as_float);
            expect_field(m.trns.TRSX, TRSX, as_float);
            expect_field(m.trns.TRSY, TRSY, as_float);
            expect_field(m.trns.TRSZ, TRSZ, as_float);
            expect_field(m.trns.QUEL, QUEL, as_float);
            expect_field(m.trns.SPEI, SPEI, as_float);
            expect_field(m.ifld.JFLG, JFLG, as_int);
        }
    }
}

TEST_F(FieldInputTest, ConversionExamplesAndRowsOverSeveralLines) {
    grid_size(1, 1, 1);
    input("(3I5,3F10.0)\n    0    0    0       1.0       1.0       1.0\n(F8.2)\n     1.0\n(F8.2)\n     1.0\n"
          "(F8.2)\n     1.0\n(F8.2)\n    10.0\n(F8.2)\n   850.0\n(F8.2)\n    2.65\n(F8.2)\n     2.4\n(I8)\n       1\n"
          "(F8.2)\n    25.0\n(F8.2)\n    10.0\n(F8.2)\n   100.0\n(F8.2)\n     0.0\n");
    DATEIN(m);
    EXPECT_EQ(m.temp.TEMP(1, 1, 1), 283.15);
    EXPECT_EQ(m.phys.RHOG(1, 1, 1), 2650.0f);
    EXPECT_EQ(m.phys.PHIG(1, 1, 1), 0.25f);
    EXPECT_EQ(m.phys.SAETT(1), 1.0f);

    // 25 values under (10F8.2): 10, 10 and 5 a row, each row on fresh lines;
    // anything behind the last value of a line is not read.
    grid_size(25, 2, 1);
    m.inf4.IMODE = 2;
    std::string deck = "(3I5,3F10.0)\n    0    0    0       1.0       1.0       1.0\n(25F4.1)\n" +
                       std::string(25 * 4, '1') + "\n(F4.1)\n 1.0\n 1.0\n(F4.1)\n 1.0\n(10F8.2)\n";
    char buf[16];
    for (int j = 1; j <= 2; ++j)
        for (int line = 0; line < 3; ++line) {
            for (int i = 1; i <= (line < 2 ? 10 : 5); ++i) {
                std::snprintf(buf, sizeof buf, "%8.2f", 10.0 * j + line * 10 + i);
                deck += buf;
            }
            deck += line == 2 ? "  99.0  99.0\n" : "\n";
        }
    for (int b = 0; b < 6; ++b) deck += "(25F2.0)\n" + std::string(50, ' ') + "\n" + std::string(50, ' ') + "\n";
    input(deck + "(25I2)\n" + std::string(50, ' ') + "\n" + std::string(50, ' ') + "\n");
    DATEIN(m);
    EXPECT_EQ(m.wpot.WPOT(1, 1, 1), 11.0f);
    EXPECT_EQ(m.wpot.WPOT(11, 1, 1), 21.0f);
    EXPECT_EQ(m.wpot.WPOT(25, 1, 1), 35.0f);
    EXPECT_EQ(m.wpot.WPOT(1, 2, 1), 21.0f);
    EXPECT_EQ(m.wpot.WPOT(25, 2, 1), 45.0f);
}

TEST_F(FieldInputTest, ReadersNameThemselves) {
    std::string letter_in_density = block(RHOG);
    letter_in_density[letter_in_density.find('.', 9) - 1] = 'x';  // in a value, not in the format card
    const std::tuple<int32_t, std::string, std::string> cases[] = {
        {0, kCard19AndGrid + block(TEMP) + block(CPGE) + letter_in_density,
         "Datenfehler in Routine READMR\n Zeile 20, Feld RHOG, Knoten (1,1,1), Spalten 1-8: '311x.00'"},
        {0,
         kCard19AndGrid + block(TEMP) + block(CPGE) + block(RHOG) + block(WLKG) + "(3I8)\n       1       x       1\n",
         "Datenfehler in Routine READIM\n Zeile 30, Feld IFLG, Knoten (2,1,1), Spalten 9-16: 'x'"},
        {0, kCard19AndGrid + "(3F8.2)\n     x.0\n",
         "Datenfehler in Routine READMD\n Zeile 10, Feld TEMP, Knoten (1,1,1), Spalten 1-8: 'x.0'"},
        {2, kCard19AndGrid + block(WPOT) + "(3F8.2)\n     1.0     1.0     1.0\n",
         "Datenfehler in Routine READMR\n Dateiende nach Zeile 15, Feld TRSX, Knoten (1,2,1)"},
        {2, kCard19AndGrid + flow_blocks(true).substr(0, flow_blocks(true).rfind("(3I8)") + 6),
         "Datenfehler in Routine READIM\n Dateiende nach Zeile 44, Feld JFLG, Knoten (1,1,1)"},
        // Format cards, card 19 and the saturation block have no messages of
        // their own: the general report names the place.
        {2, kCard19AndGrid + "(3F8.2\n",
         " fehlerhaftes Datenformat in Formatkarte des Feldes WPOT\n Zeile 9, Spalten 1-20: '(3F8.2'\n"
         "Bitte Datei ueberpruefen!"},
        {0, kCard19AndGrid + kHeatBlocks.substr(0, kHeatBlocks.find("(2F8.2)") + 8),
         " unerwartet Dateiende erreicht im Feldblock SAETT\n Dateiende nach Zeile 44\nBitte Datei ergaenzen!"},
        {2, "(3I5,3F10.0)\n    0    0    x       1.0       1.0       1.0\n",
         " fehlerhaftes Datenformat in Karte 19 \n Zeile 2, Spalten 11-15: 'x'\nBitte Datei ueberpruefen!"},
    };
    std::string expected;
    for (const auto& [imode, deck, message] : cases) {
        m.inf4.IMODE = imode;
        input(deck);
        EXPECT_EQ(status_of([&] { DATEIN(m); }), kExitInput) << message;
        expected += message + "\n";
        EXPECT_EQ(console(), expected);
    }
}

}  // namespace
}  // namespace gruv::test
