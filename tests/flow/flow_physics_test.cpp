// Whole flow-only runs of small decks against analytical solutions: steady
// 1-D flow between constant heads, the drawdown around a pumping well in a
// confined aquifer (Theis), and an unconfined drainage case whose listing is
// kept as a golden file. Also the decks of the obvious faults mended in the
// flow part, run from the deck to the closing message.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "flow/flow.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::ControlCards;
using test::ShortInput;

//! A flow-only deck of one layer of nx x ny cells of 10 m (or the given
//! short input), printing the X-Z section at row 1 after nsteps steps.
ControlCards flow_controls(int nsteps, double omega, int nx, int ny = 1) {
    ControlCards c;
    c.NZSCHR = c.NZINT = c.NAUSG = nsteps;
    c.IMODE = 2;
    c.IEINGA = 0;
    c.OMEGA = omega;
    c.ITMAX = 2000;
    c.IRICHT = 1;
    c.NX = nx;
    c.NY = ny;
    c.ISCHY = 1;
    return c;
}

//! Card 27c: head, conductivities X, Y, Z, source, storage, effective
//! porosity in percent, H-flag.
std::vector<double> layer(double head, double kf, double storage) {
    return {head, kf, kf, kf, 0.0, storage, 20.0, 1.0};
}

ShortInput one_layer(int nx, int ny, double head, double storage, std::vector<ShortInput::Entry> entries) {
    ShortInput s;
    s.code_x = 2;
    s.widths_x.assign(static_cast<std::size_t>(nx), 10.0);
    s.widths_y.assign(static_cast<std::size_t>(ny), 10.0);
    s.widths_z = {10.0};
    s.layers = {layer(head, 1.0e-4, storage)};
    s.entries = std::move(entries);
    return s;
}

// Eleven 10 m cells between fixed heads of 10 m and 5 m, K = 1e-4 m/s, no
// storage: one step gives the steady state, linear in X. The solve stops at
// a change of 1e-6 m per sweep, about 1e-5 m from the solution for
// Gauss-Seidel on nine unknowns, 2.5e-6 m for SOR with 1.5; the line solver
// solves the line exactly, and relaxed by 0.8 it keeps 0.2 of the error per
// sweep (1.25e-6 m). FLIESS then gives K dh/dx / n = 1e-4 * 0.05 / 0.2 through every face.
TEST(SteadyDeck, LinearHeadsAndDarcyVelocityWithBothSolvers) {
    for (double omega : {1.0, 1.5, -1.0, -0.8}) {
        ControlCards c = flow_controls(1, omega, 11);
        c.EPSH = 1.0e-6;
        const ShortInput s = one_layer(11, 1, 10.0, 0.0, {{"WPOT", 5.0, 11, 1, 1, 0}});
        auto r = test::run_deck({{"GRUVAT", c.text() + s.text()}});
        ASSERT_EQ(r.status, 0) << r.console;
        Model& m = *r.model;
        for (int i = 1; i <= 11; ++i) EXPECT_NEAR(m.wpot.WPOT(i, 1, 1), 10.0 - 0.5 * (i - 1), 3.0e-5) << omega;
        FLIESS(m);
        for (int i = 1; i <= 10; ++i) EXPECT_NEAR(m.phys.GWVX(i, 1, 1), 2.5e-5, 2.5e-5 * 1.0e-3) << omega;
        EXPECT_EQ(m.phys.GWVX(11, 1, 1), 0.0f);
        EXPECT_NE(r.file("LISTE").find("GRUVELAN-3D Simulation normal beendet"), std::string::npos);
    }
    auto r = test::run_deck({{"GRUVAT", test::source_file("examples/steady_flow/steady_flow.gruv")}});
    ASSERT_EQ(r.status, 0) << r.console;
    for (int i = 1; i <= 11; ++i) EXPECT_NEAR(r.model->wpot.WPOT(i, 1, 1), 10.0 - 0.5 * (i - 1), 3.0e-5) << i;
}

//! Theis well function W(u) by its series, for u < 1.
double well_function(double u) {
    double w = -0.5772156649015329 - std::log(u);
    double term = 1.0;
    for (int n = 1; n < 60; ++n) {
        term *= u / n;  // u^n / n!
        w += (n % 2 == 1 ? 1.0 : -1.0) * term / n;
    }
    return w;
}

// A well pumping 0.01 m3/s from the centre cell of a confined layer of
// 61 x 61 cells of 10 m, T = 1e-3 m2/s, S = 1e-3, fixed heads on the outer
// cells (300 m away), steps from 60 s growing by 1.1 (examples/pumping_well/).
// At 3, 5 and 8 cells from the well the drawdown follows
//   s = Q / (4 pi T) W(r^2 S / (4 T t))
// within 5 %: the cell size against the distance and the implicit time steps
// are the discretisation errors, and by then the boundary at 300 m has
// barely been reached (drawdown there below 0.03 m).
TEST(Theis, DrawdownAroundAPumpingWell) {
    const std::string deck = test::source_file("examples/pumping_well/pumping_well.gruv");
    for (int steps : {20, 35}) {
        std::string d = deck;
        // Card 7 starts with the step count and the steps per interval and
        // between printouts.
        const std::string card7 = "   35  500   35    1    0   35";
        const std::size_t at = d.find(card7);
        ASSERT_NE(at, std::string::npos);
        char repl[64];
        std::snprintf(repl, sizeof repl, "%5d  500%5d    1    0%5d", steps, steps, steps);
        d.replace(at, card7.size(), repl);
        auto r = test::run_deck({{"GRUVAT", d}});
        ASSERT_EQ(r.status, 0) << r.console;
        const Model& m = *r.model;
        const auto t = static_cast<double>(m.par1.ZEIT);
        const double T = 1.0e-3, S = 1.0e-3, Q = 0.01;
        for (int cells : {3, 5, 8}) {
            const double radius = 10.0 * cells;
            const double theis = Q / (4.0 * std::numbers::pi * T) * well_function(radius * radius * S / (4.0 * T * t));
            for (const auto& [i, j] : {std::pair{31 + cells, 31}, std::pair{31, 31 - cells}}) {
                const double drawdown = 10.0 - static_cast<double>(m.wpot.WPOT(i, j, 1));
                EXPECT_NEAR(drawdown / theis, 1.0, 0.05) << "steps " << steps << " r " << radius;
            }
        }
        EXPECT_LT(10.0f - m.wpot.WPOT(2, 31, 1), 0.03f);
    }
}

// Three layers of 5 m below a ground surface at 15 m, heads at 12 m (the top
// layer partly saturated), drained through fixed heads of 7 m at the last
// column: heads fall below the tops of the middle layer's cells and the top
// layer runs dry, through the DELTAH and unconfined-storage paths.
std::string unconfined_deck(double omega, double head, int nsteps, const ShortInput::Entry& entry) {
    ControlCards c = flow_controls(nsteps, omega, 8);
    c.title = "Entwaesserung eines ungespannten Grundwasserleiters";
    c.NAUSG = 4;
    c.ITMAX = 500;
    c.step_length = 6;
    c.time_unit = "STU";
    c.HGOK = 15.0;
    c.EPSH = 1.0e-5;
    c.NZ = 3;
    c.ISCHZ = 2;
    ShortInput s = one_layer(8, 1, head, 1.0e-4, {entry});
    s.widths_z = {5.0, 5.0, 5.0};
    s.layers = {layer(head, 1.0e-4, 1.0e-4), layer(head, 1.0e-4, 1.0e-4), layer(head, 5.0e-5, 1.0e-4)};
    return c.text() + s.text();
}

TEST(UnconfinedDeck, BothSolversAgainstTheirGoldenListings) {
    for (double omega : {1.0, -1.0}) {
        auto r = test::run_deck({{"GRUVAT", unconfined_deck(omega, 12.0, 8, {"WPOT", 7.0, 8, 1, 1, 6})}});
        ASSERT_EQ(r.status, 0) << r.console;
        const Model& m = *r.model;
        // The middle layer's top is at 10 m, the top layer's bottom too: near
        // the drain the heads are below it, far from it the top layer is wet.
        EXPECT_LT(m.wpot.WPOT(7, 1, 2), 10.0f);
        EXPECT_GT(m.wpot.WPOT(1, 1, 1), 10.0f);
        // Heads stay between the fixed heads: no water is created.
        for (int k = 1; k <= 3; ++k)
            for (int i = 1; i <= 8; ++i) {
                EXPECT_LE(m.wpot.WPOT(i, 1, k), 12.0f + 1.0e-4f);
                EXPECT_GE(m.wpot.WPOT(i, 1, k), 7.0f - 1.0e-4f);
            }
        test::expect_golden(r.file("LISTE"),
                            omega > 0.0 ? "flow/golden/unconfined_point.txt" : "flow/golden/unconfined_line.txt");
    }
}

// ------------------------------------------------------ mended faults

// A cell taken out of the flow by HTOT (conductivities 0, storage SPKONS,
// head 999 m) beside a dry cell: the dry cell's leakage must not open the
// face, or water flows out of the inactive node and heads rise far above the
// ground. Every head starts at 8 m, below the top layer (10..15 m): nothing
// may move.
TEST(MendedFaults, InactiveNodeBesideADryCellStaysClosed) {
    auto r = test::run_deck({{"GRUVAT", unconfined_deck(1.0, 8.0, 4, {"HTOT", 0.0, 4, 1, 1, 0})}});
    ASSERT_EQ(r.status, 0) << r.console;
    const Model& m = *r.model;
    EXPECT_EQ(m.wpot.WPOT(4, 1, 1), 999.0f);
    for (int k = 1; k <= 3; ++k)
        for (int i = 1; i <= 8; ++i)
            if (i != 4 || k != 1) {
                EXPECT_NEAR(m.wpot.WPOT(i, 1, k), 8.0f, 1.0e-4) << i << ',' << k;
            }
}

// An impermeable cell without storage has no equation (diagonal 0); the
// point iteration keeps its head instead of spreading NaN over the grid.
TEST(MendedFaults, CellWithoutEquationKeepsItsHead) {
    ControlCards c = flow_controls(1, 1.0, 5, 5);
    c.ISCHZ = 1;
    const ShortInput s = one_layer(
        5, 5, 10.0, 0.0, {{"TXYZ", 0.0, 3, 3, 1, 0}, {"WPOT", 7.0, 3, 3, 1, 0}, {"WPOT", 12.0, 1, 1, 1, 2}});
    auto r = test::run_deck({{"GRUVAT", c.text() + s.text()}});
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.model->wpot.WPOT(3, 3, 1), 7.0f);
    EXPECT_TRUE(std::isfinite(r.model->par1.FEHLER));
    EXPECT_EQ(r.file("LISTE").find("NaN"), std::string::npos);
}

// A source beyond the range of REAL*4 (two entries of 3e38 m3/s added up)
// makes the solve diverge: the run stops with the iteration error message
// instead of ending normally with NaN tables.
TEST(MendedFaults, DivergingSolveStopsTheRun) {
    for (double omega : {1.0, -1.0}) {
        const ShortInput s =
            one_layer(4, 1, 10.0, 1.0e-4, {{"QUEL", 3.0e38, 2, 1, 1, 0}, {"RNZF", 3.0e38, 2, 1, 1, 0}});
        auto r = test::run_deck({{"GRUVAT", flow_controls(2, omega, 4).text() + s.text()}});
        EXPECT_NE(r.status, 0) << omega;
        const std::string message = std::string(" Iterationsfehler von ") + (omega > 0.0 ? "ITERAH" : "IADIST") +
                                    " im Zeitschritt      1 nicht endlich";
        EXPECT_NE(r.console.find(message), std::string::npos) << r.console;
        EXPECT_NE(r.file("LISTE").find(message), std::string::npos);
        EXPECT_EQ(r.console.find("normal beendet"), std::string::npos);
    }
}

}  // namespace
}  // namespace gruv
