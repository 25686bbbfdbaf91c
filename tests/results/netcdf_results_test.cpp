// The NetCDF file of whole runs read back through the library: its grid and
// attributes, every field against the listing's sections and the model's
// state, the freezing water, and a run stopped by an error.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "records/records.hpp"
#include "results/listing_sections.hpp"
#include "results/result_decks.hpp"
#include "state/stop.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

//! HDF5 prints the error stack of every failed call, and a missing
//! attribute the library looks for is one, unless the thread has told it not
//! to. The library tells the thread that first uses it, which is the
//! program's writer here, not the test reading the file.
void quiet_hdf5_on_this_thread() {
    using SetAuto = int (*)(int64_t, void*, void*);
    if (auto set_auto = reinterpret_cast<SetAuto>(::dlsym(RTLD_DEFAULT, "H5Eset_auto2"))) set_auto(0, nullptr, nullptr);
}

//! A NetCDF file opened for reading.
class Reader {
public:
    explicit Reader(const std::string& path) {
        quiet_hdf5_on_this_thread();
        EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &id_), NC_NOERR) << path;
    }
    ~Reader() { nc_close(id_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    std::size_t dim(const char* name) const {
        int d = -1;
        std::size_t n = 0;
        EXPECT_EQ(nc_inq_dimid(id_, name, &d), NC_NOERR) << name;
        nc_inq_dimlen(id_, d, &n);
        return n;
    }
    int var(const char* name) const {
        int v = -1;
        EXPECT_EQ(nc_inq_varid(id_, name, &v), NC_NOERR) << name;
        return v;
    }
    bool has(const char* name) const {
        int v = -1;
        return nc_inq_varid(id_, name, &v) == NC_NOERR;
    }
    //! All values of a variable, converted to double by the library.
    std::vector<double> values(const char* name) const {
        const int v = var(name);
        int ndims = 0;
        nc_inq_varndims(id_, v, &ndims);
        std::vector<int> dims(static_cast<std::size_t>(ndims));
        nc_inq_vardimid(id_, v, dims.data());
        std::size_t n = 1;
        for (int d : dims) {
            std::size_t len = 0;
            nc_inq_dimlen(id_, d, &len);
            n *= len;
        }
        std::vector<double> out(n);
        EXPECT_EQ(nc_get_var_double(id_, v, out.data()), NC_NOERR) << name;
        return out;
    }
    std::string text(const char* var_name, const char* att) const {
        const int v = var_name == nullptr ? NC_GLOBAL : var(var_name);
        std::size_t len = 0;
        if (nc_inq_attlen(id_, v, att, &len) != NC_NOERR) return "<none>";
        std::string s(len, '\0');
        nc_get_att_text(id_, v, att, s.data());
        return s;
    }

private:
    int id_ = -1;
};

std::string f72(double v) { return format_records(fixed_format("(F7.2)"), {{out(v)}}).front(); }

TEST(NetcdfResults, CoupledFreezingRunAgreesWithListing) {
    auto r = test::run_deck({{"GRUVAT", test::coupled_freezing_deck()}}, "", "GRUVAT",
                            test::netcdf_only("run.nc"));
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    Reader nc("run.nc");
    const std::size_t NX = 12, NY = 8, NZ = 3;
    ASSERT_EQ(nc.dim("x"), NX);
    ASSERT_EQ(nc.dim("y"), NY);
    ASSERT_EQ(nc.dim("z"), NZ);
    // The start, the printouts after 4 and 8 days and the end after 10.
    ASSERT_EQ(nc.dim("time"), 4u);
    EXPECT_EQ(nc.values("time"), (std::vector<double>{0.0, 4 * 86400.0, 8 * 86400.0, 10 * 86400.0}));
    EXPECT_EQ(nc.values("step"), (std::vector<double>{0, 4, 8, 10}));
    EXPECT_EQ(nc.text("time", "units"), "s");
    EXPECT_EQ(nc.text("time", "deck_time_unit"), "TAG");
    EXPECT_EQ(nc.text(nullptr, "Conventions"), "CF-1.8");
    EXPECT_EQ(nc.text(nullptr, "title"), "Gefrierende Sonde im Grundwasserstrom");
    EXPECT_EQ(nc.text(nullptr, "input_deck"), "GRUVAT");
    EXPECT_EQ(nc.text("temperature", "units"), "degC");
    EXPECT_EQ(nc.text("temperature", "standard_name"), "temperature_in_ground");
    EXPECT_EQ(nc.text("z", "positive"), "down");

    // Node coordinates within their cell faces: 2 m cells in x and y,
    // layers of 2, 3 and 5 m.
    EXPECT_EQ(nc.values("z"), (std::vector<double>{1.0, 3.5, 7.5}));
    EXPECT_EQ(nc.values("z_bnds"), (std::vector<double>{0, 2, 2, 5, 5, 10}));
    const auto x = nc.values("x"), xb = nc.values("x_bnds");
    for (std::size_t i = 0; i < NX; ++i) {
        EXPECT_EQ(x[i], 1.0 + 2.0 * static_cast<double>(i));
        EXPECT_EQ(xb[2 * i], 2.0 * static_cast<double>(i));
        EXPECT_EQ(xb[2 * i + 1], 2.0 * static_cast<double>(i + 1));
    }

    // Every value of every section the listing prints, at its precision:
    // the listing's three temperature and three head tables at the start
    // and at the two printouts are slices 0 to 2.
    const std::string listing = r.file("LISTE");
    const auto T = nc.values("temperature"), H = nc.values("head");
    auto at = [&](std::size_t slice, std::size_t i, std::size_t j, std::size_t k) {
        return ((slice * NZ + k - 1) * NY + j - 1) * NX + i - 1;
    };
    const std::size_t I0 = 6, J0 = 4, K0 = 2;  // the sections of card 15
    for (const auto& [what, field] : {std::pair{"Temperaturverteilung", &T}, std::pair{"Piezometerhoehen", &H}}) {
        const auto sections = test::listed_sections(listing, what, NX, NY, NZ);
        ASSERT_EQ(sections.size(), 9u) << what;
        for (std::size_t n = 0; n < sections.size(); ++n) {
            const std::size_t slice = n / 3;
            const auto& rows = sections[n].rows;
            for (std::size_t row = 0; row < rows.size(); ++row)
                for (std::size_t v = 0; v < rows[row].size(); ++v) {
                    std::size_t i = v + 1, j = J0, k = row + 1;  // X-Z
                    if (n % 3 == 1) i = I0, j = v + 1;           // Y-Z
                    if (n % 3 == 2) j = row + 1, k = K0;         // X-Y
                    ASSERT_EQ(f72((*field)[at(slice, i, j, k)]), rows[row][v])
                        << sections[n].heading << " row " << row << " value " << v;
                }
        }
    }
    // The end, which no printout shows, is the state the run ended with.
    const Model& m = *r.model;
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 8; ++j)
            for (int i = 1; i <= 12; ++i) {
                const std::size_t n = at(3, static_cast<std::size_t>(i), static_cast<std::size_t>(j),
                                         static_cast<std::size_t>(k));
                ASSERT_EQ(T[n], m.temp.TEMP(i, j, k) - 273.15);
                ASSERT_EQ(H[n], static_cast<double>(m.wpot.WPOT(i, j, k)));
            }

    // Ice where the water is below its freezing point of -1 degC, as the
    // freezing curve exp(4 dT) of the deck gives it, and more of it with time.
    const auto ice = nc.values("ice_fraction");
    const std::size_t grid = NX * NY * NZ;
    double frozen[4] = {0, 0, 0, 0};  // per slice, in cells of ice
    for (std::size_t n = 0; n < ice.size(); ++n) {
        const double dT = T[n] + 1.0;
        const double expected = dT > 0.0 ? 0.0 : 1.0 - std::exp(4.0 * dT);
        ASSERT_NEAR(ice[n], expected, 1e-6) << n;
        frozen[n / grid] += ice[n];
    }
    EXPECT_NEAR(frozen[0], 1.0, 1e-6);  // the exchanger node
    EXPECT_GT(frozen[3], frozen[0] + 0.5);

    // The fields written once.
    const auto volume = nc.values("cell_volume"), flags = nc.values("T_flag");
    const auto kx = nc.values("hydraulic_conductivity_x");
    EXPECT_EQ(volume[at(0, 1, 1, 3)], 2.0 * 2.0 * 5.0);
    EXPECT_EQ(flags[at(0, 6, 4, 2)], 5.0);
    EXPECT_EQ(flags[at(0, 7, 4, 2)], 1.0);
    EXPECT_EQ(kx[at(0, 3, 3, 3)], static_cast<double>(1.0e-4f));
    EXPECT_TRUE(nc.has("vx") && nc.has("vz") && nc.has("rock_density"));
}

TEST(NetcdfResults, RunEndedByTheAdditionalDataFileHasItsSlicesSoFar) {
    // The additional data file is read every third step; the run stops at
    // the start of step 7, after the printout of step 4: with a damaged
    // third record as a failed run, at the end of a file of two records as a
    // finished one, whose end state is the state after step 6.
    test::ControlCards c;
    c.NX = 5, c.NZSCHR = c.NZINT = 10, c.NAUSG = 4, c.IZUSAT = 1, c.NZUSAT = 3;
    test::ShortInput s;
    s.widths_x = std::vector<double>(5, 1.0);
    s.layers = {{10.0, 1000.0, 2.5, 2.5, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    const std::string head = "(I5)\n    1\n(A4,4I5)\nSOUC    3    1    1    0\n(F10.0)\nWert\n      10.0\n      20.0\n";
    struct Case {
        std::string tail;
        int status;
        std::vector<double> steps;
    };
    for (const Case& k : {Case{"     xx.x\n", kExitInput, {0, 4}}, Case{"", kExitNormal, {0, 4, 6}}}) {
        auto r = test::run_deck({{"GRUVAT", c.text() + s.text()}, {"ZUSATZ", head + k.tail}}, "", "GRUVAT",
                                test::netcdf_only("run.nc"));
        ASSERT_EQ(r.status, k.status) << r.console;
        Reader nc("run.nc");
        EXPECT_EQ(nc.values("step"), k.steps);
        const auto T = nc.values("temperature");
        ASSERT_EQ(T.size(), 5 * k.steps.size());
        EXPECT_GT(T[5 + 2], 10.0);  // the source in node 3 has warmed it
        if (k.status == kExitNormal) {
            EXPECT_EQ(T.back(), r.model->temp.TEMP(5, 1, 1) - 273.15);
        }
    }
}

TEST(NetcdfResults, FileThatCannotBeCreatedStopsTheRunBeforeTheDeck) {
    auto r = test::run_deck({{"GRUVAT", test::coupled_freezing_deck()}}, "", "GRUVAT",
                            test::netcdf_only("missing/run.nc"));
    EXPECT_EQ(r.status, kExitWrite);
    EXPECT_EQ(r.console, " Datei missing/run.nc konnte nicht angelegt werden: Verzeichnis nicht gefunden\n"
                         "                Berechnung vorzeitig abgebrochen\n");
    EXPECT_EQ(r.file("LISTE"), "");
}

TEST(NetcdfResults, FileOfTheRunIsNeverTakenForTheResults) {
    // Refused as a bad call before any file is written: the deck before it
    // is read, a file of card 5 when that card has named it.
    const std::string deck = test::coupled_freezing_deck();
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"GRUVAT", " NetCDF-Datei GRUVAT ist dieselbe Datei wie die Haupteingabedatei GRUVAT (Option --netcdf)\n"},
        {"./LISTE", " NetCDF-Datei ./LISTE ist dieselbe Datei wie die Ausgabedatei LISTE in Karte 5"},
        {"BEOB", " NetCDF-Datei BEOB ist dieselbe Datei wie die Beobachtungsdatei BEOB in Karte 5"},
    };
    for (const auto& c : cases) {
        auto r = test::run_deck({{"GRUVAT", deck}}, "", "GRUVAT", test::netcdf_only(c.name));
        EXPECT_EQ(r.status, kExitInput) << c.name;
        EXPECT_NE(r.console.find(c.message), std::string::npos) << r.console;
        EXPECT_EQ(r.file("GRUVAT"), deck);
        EXPECT_EQ(r.file("LISTE"), "");
        EXPECT_EQ(r.file("BEOB"), "");
    }
}

}  // namespace
}  // namespace gruv
