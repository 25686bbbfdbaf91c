// Heat content of cells and of the model, the heat flow into heat exchangers
// and the freezing temperature of the layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "heat/heat.hpp"
#include "heat/heat_fixture.hpp"

namespace gruv {
namespace {

using test::HeatModel;

TEST(Zellen, HeatContentWithAndWithoutLatentHeat) {
    HeatModel h(1, 1, 1, 2.0f, 1.0f, 1.0f);  // V = 2 m3, 30 % pores
    Model& m = h.m;
    m.phys.PHIG(1, 1, 1) = 0.3f;
    const double rock = 0.7 * 2.0 * 2500.0 * 1000.0, water = 0.6 * 1000.0;  // J/K, kg
    auto content = [&](double T) {
        ZELLEN(m, 1, 1, 1, T, 273.15);
        return m.ekal.EZEL;
    };
    // Sensible heat from 0 K plus the full latent heat, above freezing and,
    // without a freezing curve, below it.
    EXPECT_NEAR(content(283.15), (rock + water * 4200.0) * 283.15 + water * 334715.5, 1e3);
    EXPECT_NEAR(content(272.15), (rock + water * 4200.0) * 272.15 + water * 334715.5, 1e3);
    m.ifld.IEIS(1) = 1;  // all water frozen: ice capacity, no latent heat
    EXPECT_NEAR(content(272.15), (rock + 0.6 * 917.0 * 2114.0) * 272.15, 1e3);
    m.ifld.IEIS(1) = 0;  // half saturated, with pore air
    m.phys.SAETT(1) = 0.5f;
    m.par3.RHOL = 1.2f;
    m.par3.CPL = 1000.0f;
    EXPECT_NEAR(content(283.15), (rock + 0.3 * 1000.0 * 4200.0 + 0.3 * 1.2 * 1000.0) * 283.15 + 0.3 * 1000.0 * 334715.5,
                1e3);
}

TEST(Energi, BalanceLinesAndCellsTakenOutOfTheHeatTransport) {
    HeatModel h(2, 1, 1);
    Model& m = h.m;
    // Node 2 taken out of the heat transport (TTOT): marker capacity and 999 degC.
    m.phys.CPGE(2, 1, 1) = m.par2.SPKONS;
    m.temp.TEMP(2, 1, 1) = 1272.15;
    ENERGI(m);
    EXPECT_NEAR(m.ekal.EANF, 2500.0 * 1000.0 * 283.15, 1.0);
    EXPECT_EQ(m.inf2.IERST, 0);
    m.temp.TEMP(1, 1, 1) = 284.15;  // 1 K warmer: 2.5 MJ more
    ENERGI(m);
    EXPECT_EQ(h.text(),
              "\n"
              " Energieinhalt gesamt:                          7.078750E+08 Joule\n"
              " Energiebilanz seit dem letzten Ausdruck:       0.000000E+00 Joule\n"
              " Energiebilanz seit Beginn der Simulation:      0.000000E+00 Joule\n"
              "\n"
              " Energieinhalt gesamt:                          7.103750E+08 Joule\n"
              " Energiebilanz seit dem letzten Ausdruck:       2.500000E+06 Joule\n"
              " Energiebilanz seit Beginn der Simulation:      2.500000E+06 Joule\n");
}

TEST(Wfluss, AdjacentExchangersAndTheConvectiveForm) {
    // A row of nodes at 10 degC with two adjacent exchangers at 0 degC. They
    // exchange nothing with each other; each gets lambda*A/d*dT from its
    // outer neighbour: 2.5 W/mK * 6 m2 / 1 m * 10 K.
    HeatModel h(4, 1, 1, 1.0f, 2.0f, 3.0f);
    Model& m = h.m;
    for (int i : {2, 3}) {
        m.ifld.IFLG(i, 1, 1) = 5;
        m.temp.TEMP(i, 1, 1) = 273.15;
    }
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 4, 1, 1);
    WFLUSS(m, 6);
    // Six steps of one hour: 6 * 300 W * 3600 s / 3600 s.
    EXPECT_EQ(h.text(),
              " Waermefluss zum Waermetauscher                 3.000000E+02 Watt\n"
              " Waermefluss pro Zeiteinheit                    1.800000E+03 Watt/Stunde\n");

    // Convective form: the flux is formed with pure thermal conductivities,
    // and the interface values of the coefficient store are given back.
    HeatModel c(3, 3, 2);
    Model& n = c.m;
    n.inf2.KONVEK = 1;
    for (int i : {2, 3}) {
        n.ifld.IFLG(i, 2, 2) = 5;
        n.temp.TEMP(i, 2, 2) = 273.15;
    }
    AUFNUL(n);
    KOEFFT(n, 1, 1, 1, 3, 3, 2);
    const auto kfmx = n.phys.KFMX, kfmy = n.phys.KFMY, kfmz = n.phys.KFMZ;
    WFLUSS(n, 1);
    EXPECT_EQ(n.inf2.KONVEK, 1);
    constexpr std::size_t size = std::size_t{IX} * IY * IZ;
    EXPECT_TRUE(std::equal(kfmx.data(), kfmx.data() + size, n.phys.KFMX.data()));
    EXPECT_TRUE(std::equal(kfmy.data(), kfmy.data() + size, n.phys.KFMY.data()));
    EXPECT_TRUE(std::equal(kfmz.data(), kfmz.data() + size, n.phys.KFMZ.data()));
    // (2,2,2) has four variable neighbours 10 K warmer (the fifth face leads
    // to the other exchanger, the sixth is missing), (3,2,2) three: 7 x 25 W.
    EXPECT_NE(c.text().find(" Waermefluss zum Waermetauscher                 1.750000E+02 Watt\n"), std::string::npos)
        << c.text();
}

TEST(Taupkt, FreezingPointFromTheWaterTable) {
    HeatModel h(2, 2, 4, 1.0f, 1.0f, 2.0f);  // layer depths 1, 3, 5, 7 m
    Model& m = h.m;
    auto freezing_points = [&] {
        TAUPKT(m, m.temp.TGEF, m.gitt.KORZ, 1, 1);
        return std::vector<double>{m.temp.TGEF(1), m.temp.TGEF(2), m.temp.TGEF(3), m.temp.TGEF(4)};
    };
    // Water table 3 m deep; a layer exactly at it is above it.
    m.par1.FLURAB = 3.0f;
    EXPECT_EQ(freezing_points(), (std::vector<double>{273.15, 273.15, 272.15, 272.15}));
    // Coupled run: each layer's own computed head in column (1,1), 0.5 m,
    // 6 m and 5 m deep; a node taken out of the flow by HTOT (marker head
    // 999 m) leaves its layer with the input depth.
    m.inf4.IMODE = 1;
    m.par2.HGOK = 100.0f;
    m.wpot.WPOT(1, 1, 1) = 99.5f;
    m.wpot.WPOT(1, 1, 2) = 999.0f;
    m.trns.SPEI(1, 1, 2) = m.par2.SPKONS;
    m.wpot.WPOT(1, 1, 3) = 94.0f;
    m.wpot.WPOT(1, 1, 4) = 95.0f;
    EXPECT_EQ(freezing_points(), (std::vector<double>{272.15, 273.15, 273.15, 272.15}));
}

}  // namespace
}  // namespace gruv
