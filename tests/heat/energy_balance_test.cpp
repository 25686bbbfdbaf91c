// Heat content of cells and of the model, the heat flow into heat exchangers
// and the freezing temperature of the layers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "heat/heat.hpp"
#include "heat/heat_fixture.hpp"

namespace gruv {
namespace {

using test::HeatModel;

TEST(Zellen, HeatContentWithAndWithoutLatentHeat) {
    HeatModel h(1, 1, 1, 2.0f, 1.0f, 1.0f);  // V = 2 m3
    Model& m = h.m;
    m.phys.PHIG(1, 1, 1) = 0.3f;
    const double rock = 0.7 * 2.0 * 2500.0 * 1000.0;
    const double water = 0.6 * 1000.0;  // kg of pore water
    // Above freezing: sensible heat from 0 K plus the full latent heat.
    ZELLEN(m, 1, 1, 1, 283.15, 273.15);
    EXPECT_NEAR(m.ekal.EZEL, (rock + water * 4200.0) * 283.15 + water * 334715.5, 1e3);
    // Below freezing without a freezing curve the water stays liquid.
    ZELLEN(m, 1, 1, 1, 272.15, 273.15);
    EXPECT_NEAR(m.ekal.EZEL, (rock + water * 4200.0) * 272.15 + water * 334715.5, 1e3);
    // All water frozen: ice capacity, no latent heat.
    m.ifld.IEIS(1) = 1;
    ZELLEN(m, 1, 1, 1, 272.15, 273.15);
    EXPECT_NEAR(m.ekal.EZEL, (rock + 0.6 * 917.0 * 2114.0) * 272.15, 1e3);
    // Partly saturated with pore air.
    m.ifld.IEIS(1) = 0;
    m.phys.SAETT(1) = 0.5f;
    m.par3.RHOL = 1.2f;
    m.par3.CPL = 1000.0f;
    ZELLEN(m, 1, 1, 1, 283.15, 273.15);
    EXPECT_NEAR(m.ekal.EZEL, (rock + 0.3 * 1000.0 * 4200.0 + 0.3 * 1.2 * 1000.0) * 283.15 + 0.3 * 1000.0 * 334715.5,
                1e3);
}

TEST(Energi, BalanceLinesAndCellsTakenOutOfTheHeatTransport) {
    HeatModel h(2, 1, 1);
    Model& m = h.m;
    // Node 2 taken out of the heat transport (TTOT): marker capacity and 999 degC.
    m.phys.CPGE(2, 1, 1) = m.par2.SPKONS;
    m.temp.TEMP(2, 1, 1) = 1272.15;
    ENERGI(m);
    const double e1 = 2500.0 * 1000.0 * 283.15;
    EXPECT_NEAR(m.ekal.EANF, e1, 1.0);
    EXPECT_EQ(m.ekal.EALT, m.ekal.EANF);
    EXPECT_EQ(m.inf2.IERST, 0);
    m.temp.TEMP(1, 1, 1) = 284.15;
    ENERGI(m);
    const std::string out = h.text();
    EXPECT_NE(out.find("\n Energieinhalt gesamt:                          7.078750E+08 Joule\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" Energiebilanz seit dem letzten Ausdruck:       0.000000E+00 Joule\n"), std::string::npos);
    EXPECT_NE(out.find(" Energiebilanz seit Beginn der Simulation:      0.000000E+00 Joule\n"), std::string::npos);
    EXPECT_NE(out.find(" Energiebilanz seit dem letzten Ausdruck:       2.500000E+06 Joule\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" Energiebilanz seit Beginn der Simulation:      2.500000E+06 Joule\n"), std::string::npos);
}

//! A row of nodes at 10 degC with heat-exchanger nodes at 0 degC.
void exchangers(HeatModel& h, std::initializer_list<int> columns) {
    for (int i : columns) {
        h.m.ifld.IFLG(i, 1, 1) = 5;
        h.m.temp.TEMP(i, 1, 1) = 273.15;
    }
}

TEST(Wfluss, ConductiveFlowIntoExchangers) {
    HeatModel h(4, 1, 1, 1.0f, 2.0f, 3.0f);
    Model& m = h.m;
    exchangers(h, {2, 3});
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 4, 1, 1);
    WFLUSS(m, 6);
    // Adjacent exchangers exchange nothing; each gets lambda*A/d*dT from its
    // outer neighbour: 2.5 * 6 m2 / 1 m * 10 K.
    const std::string out = h.text();
    EXPECT_NE(out.find(" Waermefluss zum Waermetauscher                 3.000000E+02 Watt\n"), std::string::npos) << out;
    // Six steps of one hour: 6 * 300 W * 3600 s / 3600 s.
    EXPECT_NE(out.find(" Waermefluss pro Zeiteinheit                    1.800000E+03 Watt/Stunde\n"), std::string::npos);
}

TEST(Wfluss, ConvectiveFormKeepsTheCoefficientStore) {
    HeatModel h(3, 3, 2);
    Model& m = h.m;
    m.inf2.KONVEK = 1;
    m.ifld.IFLG(2, 2, 2) = 5;
    m.ifld.IFLG(3, 2, 2) = 5;
    m.temp.TEMP(2, 2, 2) = m.temp.TEMP(3, 2, 2) = 273.15;
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 3, 3, 2);
    const Model& c = m;
    float kfm[3][4][4][3];
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) {
                kfm[0][i][j][k] = c.phys.KFMX(i, j, k);
                kfm[1][i][j][k] = c.phys.KFMY(i, j, k);
                kfm[2][i][j][k] = c.phys.KFMZ(i, j, k);
            }
    WFLUSS(m, 1);
    EXPECT_EQ(m.inf2.KONVEK, 1);
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) {
                EXPECT_EQ(c.phys.KFMX(i, j, k), kfm[0][i][j][k]);
                EXPECT_EQ(c.phys.KFMY(i, j, k), kfm[1][i][j][k]);
                EXPECT_EQ(c.phys.KFMZ(i, j, k), kfm[2][i][j][k]);
            }
    // The flux is formed with pure thermal conductivities: node (2,2,2) has
    // four variable neighbours at 10 K above it (the fifth face leads to the
    // other exchanger, the sixth is missing), node (3,2,2) three.
    const std::string out = h.text();
    EXPECT_NE(out.find(" Waermefluss zum Waermetauscher                 1.750000E+02 Watt\n"), std::string::npos) << out;
}

TEST(Taupkt, FreezingPointFromTheWaterTable) {
    HeatModel h(2, 2, 4, 1.0f, 1.0f, 2.0f);  // layer depths 1, 3, 5, 7 m
    Model& m = h.m;
    m.par1.FLURAB = 3.0f;
    TAUPKT(m, m.temp.TGEF, m.gitt.KORZ, 1, 1);
    EXPECT_EQ(m.temp.TGEF(1), 273.15);
    EXPECT_EQ(m.temp.TGEF(2), 273.15);  // exactly at the water table
    EXPECT_EQ(m.temp.TGEF(3), 272.15);
    EXPECT_EQ(m.temp.TGEF(4), 272.15);
    // Coupled run: each layer's own computed head in column (1,1).
    m.inf4.IMODE = 1;
    m.par2.HGOK = 100.0f;
    m.wpot.WPOT(1, 1, 1) = 99.5f;  // water table 0.5 m deep: layer 1 below it
    m.wpot.WPOT(1, 1, 2) = 96.0f;  // 4 m deep: layer 2 above it
    m.wpot.WPOT(1, 1, 3) = 999.0f;  // taken out of the flow: the input depth
    m.trns.SPEI(1, 1, 3) = m.par2.SPKONS;
    m.wpot.WPOT(1, 1, 4) = 95.0f;
    TAUPKT(m, m.temp.TGEF, m.gitt.KORZ, 1, 1);
    EXPECT_EQ(m.temp.TGEF(1), 272.15);
    EXPECT_EQ(m.temp.TGEF(2), 273.15);
    EXPECT_EQ(m.temp.TGEF(3), 272.15);  // 5 m > FLURAB 3 m
    EXPECT_EQ(m.temp.TGEF(4), 272.15);  // 7 m > 5 m
}

}  // namespace
}  // namespace gruv
