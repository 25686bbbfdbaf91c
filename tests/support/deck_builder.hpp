// Builds main input files (card decks) for tests from a few values, so that a
// test states only what it varies. Every card after card 1 is written as a
// format card and its data, as users write them.
#pragma once
#include <cstdio>
#include <array>
#include <string>
#include <vector>

namespace gruv::test {

//! The control cards 1 to 17f.
struct ControlCards {
    std::string title = "Testlauf";
    int ISOYZ = 0, ISOXZ = 0, ISOXY = 0, ISOFRM = 0;                       // card 3
    int NBEOB = 0, IZUSAT = 0, NZUSAT = 0;                                  // card 5
    std::string observation_file = "BEOB", output_file = "LISTE", additional_file = "ZUSATZ";
    int NZSCHR = 10, ITMAX = 100, NZINT = 10, KONTRL = 1, IEINGA = 0, NAUSG = 10;  // card 7
    int step_length = 1;
    std::string time_unit = "TAG";
    double ZFAKT = 1.0, EPST = 1.0e-4, storage = 0.0;
    double FLURAB = 0.0;                                                    // card 9
    int IMISCH = 0, IENERG = 0, ISTAT = 0, IZTEST = 0, IWARMI = 0, IWARMO = 0, IDSTOP = 0;
    double ALFAT = 1.0, OMEGT = 1.0;                                        // card 11
    int KNLAGE = 0, ISCHEM = 0, KONVEK = 0, IPHASE = 0, IBILD = 0, IRICHT = 0, ISTOFF = 1, IAENDR = 0;
    std::vector<double> fluid{4200.0, 2114.0, 0.0, 0.57, 2.25, 0.025, 1000.0, 917.0, 0.0, 334715.5, 0.1, 0.001};
    std::vector<double> rock_coefficients{0.0, 0.0, 0.0};                   // card 11d
    double HGOK = 0.0, ALFA = 1.0, OMEGA = 1.0, EPSH = 1.0e-4;              // card 13
    int IMODE = 0, IVISK = 0;
    int ISCHX = 0, ISCHY = 0, ISCHZ = 0;                                    // card 15
    std::vector<std::array<int, 3>> observation_nodes;                      // card 15b
    int NX = 3, NY = 1, NZ = 1;                                             // card 17
    std::vector<double> freezing_celsius;                                   // card 17b
    std::vector<int> IEIS;                                                  // card 17d
    std::vector<std::array<double, 3>> EISK;                                // card 17f (layers with IEIS 1)

    std::string text() const;
};

//! Formats one value right-aligned in a field of the given width.
std::string field(int value, int width);
std::string field(double value, int width);
//! A text left-aligned in a field of the given width.
std::string text_field(const std::string& text, int width);

//! One layer of the short input (card 27): the values in the order of the
//! layer record of the computation mode, written with (16G12.0).
struct ShortInput {
    int code_x = 0, code_y = 0, code_z = 0;         // card 19 boundary codes
    double ANISX = 1.0, ANISY = 1.0, ANISZ = 1.0;
    std::vector<double> widths_x{1.0}, widths_y{1.0}, widths_z{1.0};  // grid cards 21, 23, 25
    std::vector<std::vector<double>> layers;        // card 27, one record per layer
    struct Entry {
        std::string keyword;
        double value = 0.0;
        int i = 0, j = 0, k = 0, selector = 0;
    };
    std::vector<Entry> entries;                     // card 29 (ENDE is added)

    std::string text() const;
};

}  // namespace gruv::test
