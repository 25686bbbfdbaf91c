// Node-by-node field input: the block order of every mode, the unit
// conversions, row-by-row reading, and the reader messages.
#include <gtest/gtest.h>

#include <string>

#include "input/input.hpp"
#include "input/model_fixture.hpp"

namespace gruv::test {
namespace {

// Grid 3 x 2 x 2, cell widths 1 m.
constexpr const char* kCard19AndGrid =
    "(3I5,3F10.0)\n    0    0    0       1.0       0.5       2.0\n"
    "(3F8.2)\n     1.0     1.0     1.0\n(3F8.2)\n     1.0     1.0\n(3F8.2)\n     1.0     1.0\n";

//! A field block whose value at node (I,J,K) is base + 100K + 10J + I.
std::string block(double base, bool integer = false) {
    std::string s = integer ? "(3I8)\n" : "(3F8.2)\n";
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 2; ++j) {
            for (int i = 1; i <= 3; ++i) {
                char buf[16];
                const double v = base + 100 * k + 10 * j + i;
                if (integer) {
                    std::snprintf(buf, sizeof buf, "%8d", static_cast<int>(v));
                } else {
                    std::snprintf(buf, sizeof buf, "%8.2f", v);
                }
                s += buf;
            }
            s += "\n";
        }
    return s;
}

double node(double base, int i, int j, int k) { return base + 100 * k + 10 * j + i; }

//! The saturation block: one value per layer.
constexpr const char* kSaturation = "(2F8.2)\n   100.0    50.0\n";

// Every block carries its own base, so a block read into the wrong field
// shows at once.
enum Base { TEMP = 1000, CPGE = 2000, RHOG = 3000, WLKG = 4000, IFLG = 5000, PHIG = 6000, PHIN = 7000,
            SOUC = 8000, GWVX = 9000, GWVY = 10000, GWVZ = 11000, WPOT = 12000, TRSX = 13000, TRSY = 14000,
            TRSZ = 15000, QUEL = 16000, SPEI = 17000, PHIN2 = 18000, JFLG = 19000 };

std::string heat_blocks() {
    return block(TEMP) + block(CPGE) + block(RHOG) + block(WLKG) + block(IFLG, true) + block(PHIG) + block(PHIN) +
           kSaturation + block(SOUC);
}
std::string flow_blocks(bool with_porosity) {
    return block(WPOT) + block(TRSX) + block(TRSY) + block(TRSZ) + block(QUEL) + block(SPEI) +
           (with_porosity ? block(PHIN2) : std::string()) + block(JFLG, true);
}

class FieldInputTest : public ModelFixture {
protected:
    void SetUp() override { grid_size(3, 2, 2); }
    void expect_heat_fields() {
        const auto& p = m.phys;
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 2; ++j)
                for (int i = 1; i <= 3; ++i) {
                    // Degrees Celsius to kelvin in double precision.
                    EXPECT_EQ(m.temp.TEMP(i, j, k), static_cast<double>(static_cast<float>(node(TEMP, i, j, k))) + 273.15);
                    EXPECT_EQ(p.CPGE(i, j, k), static_cast<float>(node(CPGE, i, j, k)));
                    // g/cm3 to kg/m3, percent to fractions, in single precision.
                    EXPECT_EQ(p.RHOG(i, j, k), static_cast<float>(node(RHOG, i, j, k)) * 1000.0f);
                    EXPECT_EQ(p.WLKG(i, j, k), static_cast<float>(node(WLKG, i, j, k)));
                    EXPECT_EQ(m.ifld.IFLG(i, j, k), static_cast<int>(node(IFLG, i, j, k)));
                    EXPECT_EQ(p.PHIG(i, j, k), static_cast<float>(node(PHIG, i, j, k)) / 100.0f);
                    EXPECT_EQ(p.PHIN(i, j, k), static_cast<float>(node(PHIN, i, j, k)) / 100.0f);
                    EXPECT_EQ(m.ener.SOUC(i, j, k), static_cast<float>(node(SOUC, i, j, k)));
                }
        EXPECT_EQ(p.SAETT(1), 1.0f);
        EXPECT_EQ(p.SAETT(2), 0.5f);
        EXPECT_EQ(p.ANISX, 1.0f);
        EXPECT_EQ(p.ANISY, 0.5f);
        EXPECT_EQ(p.ANISZ, 2.0f);
    }
    void expect_flow_fields(float phin_base) {
        const auto& t = m.trns;
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 2; ++j)
                for (int i = 1; i <= 3; ++i) {
                    EXPECT_EQ(m.wpot.WPOT(i, j, k), static_cast<float>(node(WPOT, i, j, k)));
                    EXPECT_EQ(t.TRSX(i, j, k), static_cast<float>(node(TRSX, i, j, k)));
                    EXPECT_EQ(t.TRSY(i, j, k), static_cast<float>(node(TRSY, i, j, k)));
                    EXPECT_EQ(t.TRSZ(i, j, k), static_cast<float>(node(TRSZ, i, j, k)));
                    EXPECT_EQ(t.QUEL(i, j, k), static_cast<float>(node(QUEL, i, j, k)));
                    EXPECT_EQ(t.SPEI(i, j, k), static_cast<float>(node(SPEI, i, j, k)));
                    EXPECT_EQ(m.phys.PHIN(i, j, k), static_cast<float>(node(phin_base, i, j, k)) / 100.0f);
                    EXPECT_EQ(m.ifld.JFLG(i, j, k), static_cast<int>(node(JFLG, i, j, k)));
                }
    }
};

TEST_F(FieldInputTest, HeatOnlyWithoutConvectionReadsNoVelocities) {
    m.inf4.IMODE = 0;
    m.inf2.KONVEK = 0;
    input(kCard19AndGrid + heat_blocks() + "REST\n");
    DATEIN(m);
    expect_heat_fields();
    EXPECT_EQ(m.phys.GWVX(1, 1, 1), 0.0f);
    EXPECT_EQ(next_main_line(), "REST");
}

TEST_F(FieldInputTest, HeatOnlyWithConvectionReadsPrescribedVelocities) {
    m.inf4.IMODE = 0;
    m.inf2.KONVEK = 1;
    input(kCard19AndGrid + heat_blocks() + block(GWVX) + block(GWVY) + block(GWVZ) + "REST\n");
    DATEIN(m);
    expect_heat_fields();
    EXPECT_EQ(m.phys.GWVX(3, 2, 2), static_cast<float>(node(GWVX, 3, 2, 2)));
    EXPECT_EQ(m.phys.GWVY(1, 2, 1), static_cast<float>(node(GWVY, 1, 2, 1)));
    EXPECT_EQ(m.phys.GWVZ(2, 1, 2), static_cast<float>(node(GWVZ, 2, 1, 2)));
    EXPECT_EQ(next_main_line(), "REST");
}

TEST_F(FieldInputTest, CoupledModeReadsPorosityOnceAndNoVelocities) {
    m.inf4.IMODE = 1;
    m.inf2.KONVEK = 1;  // velocities come from the flow solve
    input(kCard19AndGrid + heat_blocks() + flow_blocks(false) + "REST\n");
    DATEIN(m);
    expect_heat_fields();
    expect_flow_fields(PHIN);
    EXPECT_EQ(next_main_line(), "REST");
}

TEST_F(FieldInputTest, FlowOnlyReadsPorosityAfterStorageAndNoHeatFields) {
    m.inf4.IMODE = 2;
    input(kCard19AndGrid + flow_blocks(true) + "REST\n");
    DATEIN(m);
    expect_flow_fields(PHIN2);
    EXPECT_EQ(m.temp.TEMP(1, 1, 1), 0.0);  // no Celsius-to-kelvin conversion
    EXPECT_EQ(m.phys.SAETT(1), 0.0f);
    EXPECT_EQ(next_main_line(), "REST");
}

TEST_F(FieldInputTest, EachRowStartsOnAFreshLine) {
    // 25 values under (10F8.2): 10, 10 and 5 values a row; anything behind
    // the last value of a line is not read.
    grid_size(25, 2, 1);
    m.inf4.IMODE = 2;
    std::string deck = "(3I5,3F10.0)\n    0    0    0       1.0       1.0       1.0\n(25F4.1)\n";
    for (int i = 1; i <= 25; ++i) deck += " 1.0";
    deck += "\n(F4.1)\n 1.0\n 1.0\n(F4.1)\n 1.0\n";
    std::string rows = "(10F8.2)\n";
    for (int j = 1; j <= 2; ++j)
        for (int line = 0; line < 3; ++line) {
            const int n = line < 2 ? 10 : 5;
            for (int i = 1; i <= n; ++i) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%8.2f", 10.0 * j + line * 10 + i);
                rows += buf;
            }
            rows += line == 2 ? "  99.0  99.0\n" : "\n";
        }
    std::string others;
    for (int b = 0; b < 6; ++b) others += "(25F3.0)\n  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1\n"
                                          "  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1  1\n";
    input(deck + rows + others + "(25I2)\n" + std::string(50, ' ') + "\n" + std::string(50, ' ') + "\n");
    DATEIN(m);
    EXPECT_EQ(m.wpot.WPOT(1, 1, 1), 11.0f);
    EXPECT_EQ(m.wpot.WPOT(11, 1, 1), 21.0f);
    EXPECT_EQ(m.wpot.WPOT(25, 1, 1), 35.0f);
    EXPECT_EQ(m.wpot.WPOT(1, 2, 1), 21.0f);
    EXPECT_EQ(m.wpot.WPOT(25, 2, 1), 45.0f);
}

TEST_F(FieldInputTest, ConversionExamples) {
    grid_size(1, 1, 1);
    m.inf4.IMODE = 0;
    input("(3I5,3F10.0)\n    0    0    0       1.0       1.0       1.0\n(F8.2)\n     1.0\n(F8.2)\n     1.0\n"
          "(F8.2)\n     1.0\n(F8.2)\n    10.0\n(F8.2)\n   850.0\n(F8.2)\n    2.65\n(F8.2)\n     2.4\n(I8)\n       1\n"
          "(F8.2)\n    25.0\n(F8.2)\n    10.0\n(F8.2)\n   100.0\n(F8.2)\n     0.0\n");
    DATEIN(m);
    EXPECT_EQ(m.temp.TEMP(1, 1, 1), 283.15);
    EXPECT_EQ(m.phys.RHOG(1, 1, 1), 2650.0f);
    EXPECT_EQ(m.phys.PHIG(1, 1, 1), 0.25f);
    EXPECT_EQ(m.phys.SAETT(1), 1.0f);
}

struct ReaderFailure {
    const char* name;
    int32_t imode;
    std::string blocks;
    const char* message;
};

class ReaderFailureTest : public FieldInputTest, public ::testing::WithParamInterface<ReaderFailure> {};

TEST_P(ReaderFailureTest, NamesTheReader) {
    const ReaderFailure& c = GetParam();
    m.inf4.IMODE = c.imode;
    input(kCard19AndGrid + c.blocks);
    EXPECT_EQ(status_of([&] { DATEIN(m); }), kExitInput);
    EXPECT_EQ(console(), std::string(c.message) + "\n");
}

std::string with_letter(std::string b) {
    b[b.find('.', b.find('\n')) - 1] = 'x';  // in the first value, not in the format card
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ReaderFailureTest,
    ::testing::Values(
        ReaderFailure{"LetterInDensity", 0, block(TEMP) + block(CPGE) + with_letter(block(RHOG)),
                      "Datenfehler in Routine READMR"},
        ReaderFailure{"LetterInTFlags", 0,
                      block(TEMP) + block(CPGE) + block(RHOG) + block(WLKG) + "(3I8)\n       1       x       1\n",
                      "Datenfehler in Routine READIM"},
        ReaderFailure{"LetterInTemperature", 0, with_letter(block(TEMP)), "Datenfehler in Routine READMD"},
        ReaderFailure{"EndInsideConductivities", 2, block(WPOT) + "(3F8.2)\n     1.0     1.0     1.0\n",
                      "Datenfehler in Routine READMR"},
        ReaderFailure{"EndInsideHFlags", 2,
                      block(WPOT) + block(TRSX) + block(TRSY) + block(TRSZ) + block(QUEL) + block(SPEI) +
                          block(PHIN) + "(3I8)\n",
                      "Datenfehler in Routine READIM"},
        // Format cards and the saturation block have no messages of their
        // own: the general report names the place.
        ReaderFailure{"BrokenFormatCard", 2, "(3F8.2\n",
                      " fehlerhaftes Datenformat in Formatkarte des Feldes WPOT\nBitte Datei ueberpruefen!"},
        ReaderFailure{"EndBeforeSaturation", 0,
                      block(TEMP) + block(CPGE) + block(RHOG) + block(WLKG) + block(IFLG, true) + block(PHIG) +
                          block(PHIN) + "(2F8.2)\n",
                      " unerwartet Dateiende erreicht im Feldblock SAETT\nBitte Datei ergaenzen!"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(FieldInputTest, DamagedCard19) {
    m.inf4.IMODE = 2;
    input("(3I5,3F10.0)\n    0    0    x       1.0       1.0       1.0\n");
    EXPECT_EQ(status_of([&] { DATEIN(m); }), kExitInput);
    EXPECT_EQ(console(), " fehlerhaftes Datenformat in Karte 19 \nBitte Datei ueberpruefen!\n");
}

}  // namespace
}  // namespace gruv::test
