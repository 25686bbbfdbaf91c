// Decks of the result-file tests (a small coupled run in which the ground
// freezes around a cold heat exchanger in flowing groundwater) and the
// result files they ask for.
#pragma once
#include <string>
#include <vector>

#include "results/results.hpp"
#include "support/deck_builder.hpp"

namespace gruv::test {

//! Groundwater flows along X (heads 10.6 m and 10.0 m held on the end planes)
//! past an exchanger node held at -10 degC in ground at 2 degC; the pore water freezes around it
//! below -1 degC (the freezing point under the water table). Ten days, a
//! printout every fourth day, so the end is not a printout; energy balance
//! on, three observation nodes, sections through the exchanger; console
//! trace level IBILD, and as many days as asked for.
inline std::string coupled_freezing_deck(int IBILD = 0, int days = 10) {
    ControlCards c;
    c.IBILD = IBILD;
    c.title = "Gefrierende Sonde im Grundwasserstrom";
    c.IMODE = 1, c.KONVEK = 1, c.ISCHEM = 5, c.HGOK = 10.0;
    c.NX = 12, c.NY = 8, c.NZ = 3;
    c.NZSCHR = c.NZINT = days, c.NAUSG = 4, c.step_length = 1, c.time_unit = "TAG";
    c.ITMAX = 300, c.EPST = 1.0e-5, c.EPSH = 1.0e-6, c.OMEGT = c.OMEGA = -1.0;
    c.IPHASE = 1, c.ISTOFF = 2, c.IEIS = {1, 1, 1}, c.EISK = {{1.0, 4.0, 0.0}, {1.0, 4.0, 0.0}, {1.0, 4.0, 0.0}};
    c.IENERG = 1;
    c.ISCHX = 6, c.ISCHY = 4, c.ISCHZ = 2;
    c.NBEOB = 3, c.observation_nodes = {{6, 4, 2}, {7, 4, 2}, {10, 4, 2}};
    ShortInput s;
    s.widths_x = std::vector<double>(12, 2.0);
    s.widths_y = std::vector<double>(8, 2.0);
    s.widths_z = {2.0, 3.0, 5.0};
    // 27b: T, c, rho, lambda, phi, phi_n, source, Q, S, head, Kx, Ky, Kz, saturation, T-flag, H-flag
    const std::vector<double> layer{2.0, 850.0, 2.6, 2.4, 25.0, 20.0, 0.0, 0.0, 1.0E-4, 10.3,
                                    1.0E-4, 1.0E-4, 1.0E-5, 100.0, 1, 1};
    s.layers = {layer, layer, layer};
    s.entries = {{"WPOT", 10.6, 1, 1, 1, 6},  {"JFLG", 2.0, 1, 1, 1, 6}, {"WPOT", 10.0, 12, 1, 1, 6},
                 {"JFLG", 2.0, 12, 1, 1, 6},  {"IFLG", 5.0, 6, 4, 2, 0}, {"TEMP", -10.0, 6, 4, 2, 0}};
    return c.text() + s.text();
}

//! Result files of one kind only.
inline ResultPaths netcdf_only(std::string file) {
    ResultPaths p;
    p.netcdf_file = std::move(file);
    return p;
}
inline ResultPaths vtk_only(std::string dir) {
    ResultPaths p;
    p.vtk_dir = std::move(dir);
    return p;
}
inline ResultPaths csv_only(std::string dir) {
    ResultPaths p;
    p.csv_dir = std::move(dir);
    return p;
}

}  // namespace gruv::test
