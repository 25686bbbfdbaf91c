// Whole runs of small decks against the physics: conduction into a bar, a
// line heat source, energy conservation, a freezing front and a thermal front
// carried by groundwater. Each tolerance is stated next to its case.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::ControlCards;
using test::ShortInput;

constexpr double kPi = 3.14159265358979323846;

//! Runs a main input file, which must end normally. The console of the
//! returned model is led back to the process's own streams: the ones the run
//! wrote to are gone.
test::RunResult run(const std::string& deck) {
    auto r = test::run_deck({{"GRUVAT", deck}});
    r.model->io.console().attach(std::cout, std::cin, false);
    EXPECT_EQ(r.status, kExitNormal) << r.console;
    return r;
}

//! Temperature of node (I,J,K) at the end of a run [degC].
double celsius(const test::RunResult& r, int i, int j, int k) { return r.model->temp.TEMP(i, j, k) - 273.15; }

//! A heat-only deck (the defaults): conduction, arithmetic mixing, point iteration.
ControlCards conduction_cards(int nx, int ny, int nz) {
    ControlCards c;
    c.NX = nx;
    c.NY = ny;
    c.NZ = nz;
    c.ITMAX = 2000;
    c.EPST = 1.0e-6;
    return c;
}

//! A 27a layer: temperature, rock c, rho [g/cm3], lambda, porosities [%],
//! saturation [%], heat production, no velocity, T-flag 1.
std::vector<double> rock_layer(double T, double cpge, double rhog, double wlkg, double phig = 0.0,
                               double sat = 100.0) {
    return {T, cpge, rhog, wlkg, phig, phig, sat, 0.0, 0.0, 0.0, 0.0, 1};
}

std::vector<double> uniform(int n, double width) { return std::vector<double>(static_cast<std::size_t>(n), width); }

//! Semi-infinite bar held at 20 degC at x = 0 from 10 degC: 10 + 10 erfc(x / 2 sqrt(a t)).
void expect_erfc_profile(double omegt) {
    ControlCards c = conduction_cards(40, 1, 1);
    c.OMEGT = omegt;
    c.NZSCHR = c.NZINT = c.NAUSG = 144;  // one day of 10-minute steps
    c.step_length = 10;
    c.time_unit = "MIN";
    ShortInput s;
    s.widths_x = uniform(40, 0.1);
    s.layers = {rock_layer(10.0, 1000.0, 2.5, 2.5)};  // a = 1E-6 m2/s
    s.entries = {{"IFLG", 2.0, 1, 1, 1, 0}, {"TEMP", 20.0, 1, 1, 1, 0}};
    auto r = run(c.text() + s.text());
    const double t = 86400.0, a = 1.0E-6;
    // Implicit steps of a*dt/dx2 = 0.06 and 17 nodes per diffusion length
    // keep the discrete profile within a fraction of the 2 % asked for.
    for (int i = 2; i <= 25; ++i) {
        const double x = 0.1 * (i - 1);
        const double exact = 10.0 + 10.0 * std::erfc(x / (2.0 * std::sqrt(a * t)));
        EXPECT_NEAR(celsius(r, i, 1, 1), exact, 0.02 * 10.0) << "node " << i;
    }
    EXPECT_NEAR(celsius(r, 40, 1, 1), 10.0, 1e-3);  // the far end is not yet reached
}

TEST(HeatRuns, ConductionIntoABarFollowsErfc) {
    expect_erfc_profile(1.0);   // point iteration
    expect_erfc_profile(-1.0);  // line iteration
}

TEST(HeatRuns, LineSourceFollowsTheExponentialIntegral) {
    // A vertical line source of 50 W/m in one layer of 41 x 41 cells of
    // 0.5 m; steps start at one hour and grow by 5 % (88 steps, 60 days), so
    // the storage term must follow the growing step.
    ControlCards c = conduction_cards(41, 41, 1);
    c.NZSCHR = c.NZINT = c.NAUSG = 88;
    c.step_length = 1;
    c.time_unit = "STU";
    c.ZFAKT = 1.05;
    c.OMEGT = -1.0;
    ShortInput s;
    s.widths_x = uniform(41, 0.5);
    s.widths_y = uniform(41, 0.5);
    s.widths_z = {1.0};
    s.layers = {rock_layer(10.0, 1000.0, 2.5, 2.5)};
    s.entries = {{"WPZM", 50.0, 21, 21, 1, 0}};
    auto r = run(c.text() + s.text());
    const double t = static_cast<double>(r.model->par1.ZEIT), a = 1.0E-6, lambda = 2.5, q = 50.0;
    EXPECT_NEAR(t, 3600.0 * (std::pow(1.05, 88) - 1.0) / 0.05, 0.001 * t);
    struct Probe {
        int i, j;
    };
    // Radii of 3 to 6 cells along X, along Y and on the diagonal: the cell of
    // the source looks like a line from there. The grid edge (10 m) lies
    // where the infinite solution has fallen below 0.3 % of its value at 1.5 m.
    for (Probe p : {Probe{24, 21}, Probe{25, 21}, Probe{27, 21}, Probe{21, 17}, Probe{15, 21}, Probe{24, 24},
                    Probe{25, 25}}) {
        const double r2 = 0.25 * ((p.i - 21) * (p.i - 21) + (p.j - 21) * (p.j - 21));
        const double rise = q / (4.0 * kPi * lambda) * -std::expint(-r2 / (4.0 * a * t));
        // 5 %: backward steps that grow to 5 % of the elapsed time, and the
        // source spread over one cell.
        EXPECT_NEAR(celsius(r, p.i, p.j, 1) - 10.0, rise, 0.05 * rise) << p.i << "," << p.j;
    }
}

TEST(HeatRuns, SingleNodeWithASourceWarmsUnderBothSolvers) {
    // One cell of 1 m3 rock (2.5E6 J/K) with 28.935 W: 1 K a day for ten
    // days. The grid has no line in any direction; the line solver solves it
    // as a line of one node, as the flow solver does.
    for (double omegt : {1.0, -1.0}) {
        ControlCards c = conduction_cards(1, 1, 1);
        c.OMEGT = omegt;
        c.NZSCHR = c.NZINT = c.NAUSG = 10;
        ShortInput s;
        s.layers = {rock_layer(10.0, 1000.0, 2.5, 2.5)};
        s.entries = {{"WATT", 2.5E6 / 86400.0, 1, 1, 1, 0}};
        auto r = run(c.text() + s.text());
        // Each step adds source/KSPE to a single-precision right-hand side of
        // about 7E8: some 3E-5 K of rounding per step.
        EXPECT_NEAR(celsius(r, 1, 1, 1), 20.0, 1.0e-3) << omegt;
    }
}

//! Every value of the listing lines that start with the given text.
std::vector<double> listed_values(const std::string& listing, const std::string& head) {
    std::vector<double> values;
    for (const std::size_t p : test::positions_after(listing, head)) {
        std::string_view value;
        if (test::TextScan(listing, p).blanks().word(&value).literal(" ").ok())
            values.push_back(std::stod(std::string(value)));
    }
    return values;
}

//! The value of the last "Energiebilanz seit Beginn der Simulation" line.
double balance_since_start(const std::string& listing) {
    const auto values = listed_values(listing, " Energiebilanz seit Beginn der Simulation:");
    return values.empty() ? std::nan("") : values.back();
}

//! Where the temperature along row (1,1) first crosses the level [m from
//! node 1, between nodes dx apart]; NaN if it does not.
double isotherm(const test::RunResult& r, int nx, double dx, double level) {
    for (int i = 1; i < nx; ++i) {
        const double T1 = celsius(r, i, 1, 1), T2 = celsius(r, i + 1, 1, 1);
        if ((T1 < level) != (T2 < level)) return dx * ((i - 1) + (level - T1) / (T2 - T1));
    }
    return std::nan("");
}

//! A closed, saturated 6 x 5 x 3 block with a warm corner, conduction only.
std::string closed_block(double watts) {
    ControlCards c = conduction_cards(6, 5, 3);
    c.IMISCH = 1;
    c.IENERG = 1;
    c.NZSCHR = c.NZINT = c.NAUSG = 20;
    c.EPST = 1.0e-7;
    ShortInput s;
    s.widths_x = uniform(6, 2.0);
    s.widths_y = uniform(5, 1.5);
    s.widths_z = {1.0, 2.0, 3.0};
    for (int k = 0; k < 3; ++k) s.layers.push_back(rock_layer(10.0, 900.0, 2.6, 2.2, 20.0, 100.0));
    s.entries = {{"TEMP", 25.0, 1, 1, 1, 4}, {"TEMP", 30.0, 1, 1, 1, 0}, {"TEMP", 0.5, 6, 5, 3, 0}};
    if (watts != 0.0) s.entries.push_back({"WATT", watts, 3, 3, 2, 0});
    return c.text() + s.text();
}

TEST(HeatRuns, ClosedModelKeepsItsEnergyAndGainsThatOfItsSource) {
    // Heat that warms the whole block by 1 K: volume 18 x 7.5 x 6 m3 = 810 m3
    // of rock (80 %) and water (20 %).
    const double per_kelvin = 810.0 * (0.8 * 2600.0 * 900.0 + 0.2 * 1000.0 * 4200.0);
    auto closed = run(closed_block(0.0));
    EXPECT_LT(std::fabs(balance_since_start(closed.file("LISTE"))), 0.001 * per_kelvin) << closed.file("LISTE");
    EXPECT_LT(celsius(closed, 1, 1, 1), 25.0);  // the corner did spread its heat
    // 2 kW for 20 days.
    const double P = 2000.0, t = 20.0 * 86400.0;
    EXPECT_NEAR(balance_since_start(run(closed_block(P)).file("LISTE")), P * t, 0.01 * P * t);
}

// -- Freezing front ----------------------------------------------------------------

//! Neumann's two-phase solution: the front lies at 2*kappa*sqrt(a_s t),
//! where kappa solves the heat balance at the front.
double neumann_kappa(double a_s, double a_l, double l_s, double l_l, double C_s, double L, double Ts, double Tf,
                     double Ti) {
    const double nu = std::sqrt(a_s / a_l);
    auto f = [&](double k) {
        return std::exp(-k * k) / std::erf(k) -
               l_l * std::sqrt(a_s) * (Ti - Tf) / (l_s * std::sqrt(a_l) * (Tf - Ts)) * std::exp(-k * k * nu * nu) /
                   std::erfc(k * nu) -
               k * L * std::sqrt(kPi) / (C_s * (Tf - Ts));
    };
    double lo = 1e-6, hi = 5.0;
    for (int n = 0; n < 200; ++n) {
        const double mid = 0.5 * (lo + hi);
        (f(mid) > 0.0 ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

TEST(HeatRuns, FreezingFrontFollowsNeumann) {
    // Conduction along a saturated bar of 100 cells of 5 cm (gravity plays no
    // part in conduction, and a bar resolves the front better than the ten
    // layers of a column); the face at x = 0 is held at -10 degC from +2 degC.
    ControlCards c = conduction_cards(100, 1, 1);
    c.IPHASE = 1;
    c.ISTOFF = 2;
    c.fluid = {4200.0, 2114.0, 0.0, 0.57, 2.25, 0.025, 1000.0, 917.0, 0.0, 334715.5, 0.1, 0.05};
    c.FLURAB = 1000.0;  // the whole bar lies above the water table: freezing at 0 degC
    c.IEIS = {1};
    c.EISK = {{1.0, 10.0, 0.0}};  // liquid fraction exp(10 dT)
    c.NZSCHR = c.NZINT = c.NAUSG = 720;  // 30 days of hourly steps
    c.step_length = 1;
    c.time_unit = "STU";
    c.ITMAX = 1000;
    c.EPST = 1.0e-5;
    c.OMEGT = -1.0;
    ShortInput s;
    s.widths_x = uniform(100, 0.05);
    s.layers = {rock_layer(2.0, 800.0, 2.6, 2.0, 30.0, 100.0)};
    s.entries = {{"IFLG", 2.0, 1, 1, 1, 0}, {"TEMP", -10.0, 1, 1, 1, 0}};
    auto r = run(c.text() + s.text());

    const double front = isotherm(r, 100, 0.05, 0.0);  // from the held node
    ASSERT_FALSE(std::isnan(front));

    const double phi = 0.3;
    const double l_l = (1 - phi) * 2.0 + phi * 0.57, l_s = (1 - phi) * 2.0 + phi * 2.25;
    const double C_l = (1 - phi) * 2600.0 * 800.0 + phi * 1000.0 * 4200.0;
    const double C_s = (1 - phi) * 2600.0 * 800.0 + phi * 917.0 * 2114.0;
    const double L = phi * 1000.0 * 334715.5;
    const double a_s = l_s / C_s, a_l = l_l / C_l, t = 30.0 * 86400.0;
    const double exact = 2.0 * neumann_kappa(a_s, a_l, l_s, l_l, C_s, L, -10.0, 0.0, 2.0) * std::sqrt(a_s * t);
    // The sharp front of the analytical solution is a band in the model: the
    // water freezes between 0 and about -0.3 K (X = exp(10 dT) falls to 5 %),
    // and the apparent heat capacity spreads the latent heat over a further
    // DTGEF/2 = 0.05 K around each temperature. Across the frozen zone the
    // gradient is about 10 K/m, so the band itself is only some 3 cm wide;
    // what it costs is the time discretisation: a node's capacity is taken
    // at its iterate, and part of the latent heat of the band is passed over
    // in each step. The front leads Neumann's by a share that falls with the
    // step (31 %, 21 %, 10 % at 12, 6 and 1 hour steps), and the latent
    // heat, carried with the mixed water/ice density, is up to 8 % smaller.
    // At hourly steps: 8 % of the depth and one cell.
    EXPECT_NEAR(front, exact, 0.08 * exact + 0.05) << "front " << front << " m, Neumann " << exact << " m";
    EXPECT_GT(exact, 0.5);
}

// -- Convection in a coupled run ----------------------------------------------------------

//! A 60 m channel with a head drop of 0.6 m, warm water entering at x = 0.
test::RunResult channel_run(int days) {
    ControlCards c;
    c.IMODE = 1;
    c.NX = 60;
    c.NZSCHR = c.NZINT = c.NAUSG = days * 4;
    c.step_length = 6;
    c.time_unit = "STU";
    c.ITMAX = 200;
    c.EPST = 1.0e-6;
    c.EPSH = 1.0e-6;
    c.KONVEK = 1;
    c.OMEGT = c.OMEGA = -1.0;
    c.HGOK = 10.0;  // the cell top: every head lies above it, the channel is saturated
    ShortInput s;
    s.widths_x = uniform(60, 1.0);
    // 27b: T, c, rho, lambda, phi, phi_n, source, Q, S, head, Kx, Ky, Kz, saturation, T-flag, H-flag
    s.layers = {{10.0, 850.0, 2.6, 2.4, 25.0, 20.0, 0.0, 0.0, 1.0E-4, 10.3, 1.0E-3, 1.0E-3, 1.0E-3, 100.0, 1, 1}};
    s.entries = {{"WPOT", 10.6, 1, 1, 1, 0}, {"JFLG", 2.0, 1, 1, 1, 0},  {"WPOT", 10.0, 60, 1, 1, 0},
                 {"JFLG", 2.0, 60, 1, 1, 0}, {"TEMP", 20.0, 1, 1, 1, 0}, {"IFLG", 2.0, 1, 1, 1, 0}};
    return run(c.text() + s.text());
}

TEST(HeatRuns, CoupledRunCarriesHeatDownstream) {
    auto early = channel_run(4), late = channel_run(12);
    // The discrete heat equation moves the front at the mass flow through a
    // face over the storage mass of a cell: rho_w * v / (rho_r (1 - phi) + rho_w phi)
    // with the pore velocity v = K * gradient / phi_n of the computed heads.
    const auto v = static_cast<double>(late.model->phys.GWVX(30, 1, 1));
    EXPECT_NEAR(v, 1.0E-3 * (0.6 / 59.0) / 0.2, 0.01 * v);
    const double speed = 1000.0 * v / (2600.0 * 0.75 + 1000.0 * 0.25);
    const double x1 = isotherm(early, 60, 1.0, 15.0), x2 = isotherm(late, 60, 1.0, 15.0);
    ASSERT_FALSE(std::isnan(x1) || std::isnan(x2));
    // 10 %: the front spreads by conduction and by the upwind weighting of
    // the exponential scheme at cell Peclet numbers near 40; its middle moves
    // with the flow. Two times take out the start-up of the first steps.
    EXPECT_NEAR((x2 - x1) / (8.0 * 86400.0), speed, 0.1 * speed) << x1 << " " << x2;
}

// -- The example decks --------------------------------------------------------------

TEST(HeatExamples, BoreholeHeatExchangerInFlowingGroundwater) {
    auto r = run(test::source_file("examples/borehole_heat_exchanger/borehole_heat_exchanger.gruv"));
    const auto flux = listed_values(r.file("sonde.lst"), " Waermefluss zum Waermetauscher");
    ASSERT_EQ(flux.size(), 4u);  // at the start and after 10, 20, 30 days
    // The exchanger at 0 degC draws heat from the 10 degC ground, less as
    // the ground around it cools.
    for (std::size_t n = 1; n < flux.size(); ++n) {
        EXPECT_GT(flux[n], 0.0);
        EXPECT_LT(flux[n], flux[n - 1]);
    }
    // The groundwater flows toward +X: the cold plume lies downstream.
    EXPECT_LT(celsius(r, 9, 8, 3), celsius(r, 7, 8, 3));
    // Symmetric across the flow, to the iteration limit EPST = 0.001 K.
    EXPECT_NEAR(celsius(r, 9, 7, 3), celsius(r, 9, 9, 3), 1e-3);
    EXPECT_NEAR(celsius(r, 8, 8, 3), 0.0, 1e-4);
}

TEST(HeatExamples, FreezingColumn) {
    auto r = run(test::source_file("examples/freezing_column/freezing_column.gruv"));
    // Cooled from the surface: colder upward, the deepest layers still at the
    // freezing point of -1 degC below the water table, the column losing heat.
    for (int k = 2; k <= 10; ++k) EXPECT_LT(celsius(r, 1, 1, k - 1), celsius(r, 1, 1, k)) << k;
    EXPECT_NEAR(celsius(r, 1, 1, 1), -10.0, 1e-4);
    EXPECT_GT(celsius(r, 1, 1, 10), -1.2);
    EXPECT_LT(celsius(r, 1, 1, 5), -1.2);
    EXPECT_EQ(r.model->temp.TGEF(5), 272.15);
    const auto balance = listed_values(r.file("saeule.lst"), " Energiebilanz seit Beginn der Simulation:");
    ASSERT_FALSE(balance.empty());
    EXPECT_LT(balance.back(), 0.0);
}

}  // namespace
}  // namespace gruv
