// Restart file: layout of the sections, round trips through WARMOU and WARMIN,
// the messages of a missing or damaged file, and the replacement of the file
// as a whole.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "control/control.hpp"
#include "records/records.hpp"
#include "state/stop.hpp"
#include "support/grid_model.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

namespace fs = std::filesystem;

//! A grid of the given size whose fields carry many significant digits, so
//! the printed precision shows.
void fill(Model& m, int nx, int ny, int nz, int imode) {
    m.ndim = {nx, ny, nz, nx - 1, ny - 1, nz - 1};
    m.inf4.IMODE = imode;
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) {
                const double x = 0.123456789 * i - 1.7 * j + 3.3 * k;
                m.temp.TEMP(i, j, k) = 273.15 + 10.0 + x;
                m.wpot.WPOT(i, j, k) = static_cast<float>(350.0 - 0.37 * x);
                m.phys.GWVX(i, j, k) = static_cast<float>(1.0e-6 * x);
                m.phys.GWVY(i, j, k) = static_cast<float>(-2.5e-7 * x);
                m.phys.GWVZ(i, j, k) = static_cast<float>(3.0e-9 * i);
            }
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

//! Runs f; the exit status it stopped the run with, -1 when it returned.
template <class F>
int stop_status(F&& f) {
    try {
        f();
    } catch (const RunStopped& s) {
        return s.status;
    }
    return -1;
}

TEST(RestartFile, CoupledLayoutOfAllFiveSections) {
    // 12.3456 degrees Celsius is written as 12.346; velocities in 1PE9.2.
    test::ScratchDir dir("restart-layout");
    test::CapturedModel out;
    fill(out.m, 3, 2, 1, 1);
    out.m.temp.TEMP(1, 1, 1) = 12.3456 + 273.15;
    WARMOU(out.m);
    test::expect_golden(test::read_file("GRUVWS"), "control/golden/restart_coupled_3x2x1.txt");
    // Read back: 12.346 + 273.15 in kelvin.
    test::CapturedModel in;
    in.m.ndim = out.m.ndim;
    in.m.inf4.IMODE = 1;
    WARMIN(in.m);
    EXPECT_EQ(in.m.temp.TEMP(1, 1, 1), 12.346 + 273.15);
}

TEST(RestartFile, RoundTripsOfRowsOfTenAndOfTwentyFive) {
    // NX = 10: every row one full line and an empty one. NX = 25: three lines
    // of 10, 10 and 5 values. The coupled file read by a heat-only run gives
    // the temperatures and nothing else; velocities are never read back.
    const struct {
        int nx, ny, nz, imode_out, imode_in;
        std::vector<std::size_t> row_lines;  // lengths of the lines of one row
        std::size_t sections;
    } cases[] = {{10, 3, 2, 1, 1, {80, 0}, 5}, {10, 3, 2, 1, 0, {80, 0}, 5}, {25, 2, 3, 0, 0, {80, 80, 40}, 1}};
    for (const auto& c : cases) {
        test::ScratchDir dir("restart-round-trip");
        test::CapturedModel out, in;
        fill(out.m, c.nx, c.ny, c.nz, c.imode_out);
        WARMOU(out.m);
        const auto lines = lines_of(test::read_file("GRUVWS"));
        const std::size_t rows = static_cast<std::size_t>(c.ny * c.nz), per_row = c.row_lines.size();
        ASSERT_EQ(lines.size(), c.sections * rows * per_row);
        for (std::size_t n = 0; n < lines.size(); ++n) {
            // Ten velocities take 90 characters, ten temperatures or heads 80.
            const bool velocities = n >= 2 * rows * per_row;
            const std::size_t width = c.row_lines[n % per_row];
            EXPECT_EQ(lines[n].size(), velocities && width == 80 ? 90u : width) << "line " << n + 1;
        }
        in.m.ndim = out.m.ndim;
        in.m.inf4.IMODE = c.imode_in;
        WARMIN(in.m);
        for (int k = 1; k <= c.nz; ++k)
            for (int j = 1; j <= c.ny; ++j)
                for (int i = 1; i <= c.nx; ++i) {
                    // Half a unit of the last printed decimal, plus the
                    // rounding of the stored REAL*4 head.
                    EXPECT_NEAR(in.m.temp.TEMP(i, j, k), out.m.temp.TEMP(i, j, k), 0.0005 + 1e-9);
                    const float head = c.imode_in == 1 ? out.m.wpot.WPOT(i, j, k) : 0.0f;
                    EXPECT_NEAR(in.m.wpot.WPOT(i, j, k), head, 0.005 + 3e-5);
                }
        EXPECT_EQ(in.m.phys.GWVX(1, 1, 1), 0.0f);
        EXPECT_EQ(in.text(), "");
    }
}

TEST(RestartFile, MissingDamagedAndShortFilesEndTheRun) {
    const struct {
        const char* file;  // nullptr: no file
        int imode;
        const char* message;
    } cases[] = {
        {nullptr, 0, " Datei GRUVWS nicht verhanden - Simulation abgebrochen\n"},
        // A temperature too wide for F8.3 was written as asterisks.
        {"  12.000********\n", 0, " Fehler in der Datenstruktur der Datei GRUVWS\n"},
        // Temperatures complete, heads missing.
        {"  12.000  13.000\n", 1, " Unerwartet das Ende der Datei GRUVWS erreicht\n"},
    };
    for (const auto& c : cases) {
        test::ScratchDir dir("restart-damaged");
        if (c.file != nullptr) test::write_file("GRUVWS", c.file);
        test::CapturedModel in;
        fill(in.m, 2, 1, 1, c.imode);
        in.m.inf2.IBILD = 1;
        EXPECT_EQ(stop_status([&] { WARMIN(in.m); }), kExitInput);
        EXPECT_EQ(in.text(), "                ********* Subroutine WARMIN **********\n" + std::string(c.message));
        EXPECT_FALSE(in.m.io.is_open(9));
    }
}

TEST(RestartFile, EachWriteReplacesTheWholeFileOrKeepsThePreviousOne) {
    test::ScratchDir dir("restart-replace");
    test::write_file("GRUVWS", std::string(5000, 'x'));
    test::CapturedModel out;
    fill(out.m, 2, 1, 1, 0);
    out.m.inf2.IBILD = 1;
    WARMOU(out.m);
    EXPECT_EQ(test::read_file("GRUVWS"), "  11.723  11.847\n");
    EXPECT_FALSE(fs::exists("GRUVWS.neu"));
    // The scratch file cannot be created (a directory holds its name): the
    // previous state stays.
    fs::create_directory("GRUVWS.neu");
    out.m.temp.TEMP(1, 1, 1) = 300.0;
    WARMOU(out.m);
    EXPECT_EQ(test::read_file("GRUVWS"), "  11.723  11.847\n");
    const std::string trace = "                ********* Subroutine WARMOU **********\n";
    EXPECT_EQ(out.text(), trace + trace +
                              " Datei GRUVWS konnte nicht geschrieben werden - alter Stand bleibt erhalten\n");
}

//! Collects records as lines.
struct Lines final : RecordSink {
    std::string text;
    void put_record(std::string_view t) override {
        text.append(t);
        text.push_back('\n');
    }
};

// WARMOU lays the rows out itself where it can; the file must be what the
// general writer makes of the same rows with the formats of the sections,
// for values of every size, halfway cases, values that round to zero (of
// either sign), values too wide for their field, and values that are not
// numbers.
TEST(RestartFile, RowsAsTheGeneralWriterLaysThemOut) {
    test::ScratchDir dir("restart-writer");
    test::CapturedModel out;
    const int nx = 20, ny = 7, nz = 2;
    fill(out.m, nx, ny, nz, 1);
    std::mt19937_64 gen(3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double special[] = {0.0005,  -0.0005, 0.0004999, -0.0, 0.0,     99999.9995, -9999.9995, 1.0E30,
                              1.2345E7, 0.125,  -0.0625,   2.5,  1.0E-40, 3.0E-45,    -1.5E-7,   1.0E38};
    int n = 0;
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i, ++n) {
                const double x = unit(gen) * std::pow(10.0, static_cast<int>(gen() % 12) - 6);
                const double v = n % 5 == 0 ? special[(n / 5) % std::size(special)] : x;
                out.m.temp.TEMP(i, j, k) = v + 273.15;
                out.m.wpot.WPOT(i, j, k) = static_cast<float>(n % 7 == 0 ? special[(n / 7) % std::size(special)] : x);
                out.m.phys.GWVX(i, j, k) = static_cast<float>(v);
                out.m.phys.GWVY(i, j, k) = static_cast<float>(x * 1.0E-5);
                out.m.phys.GWVZ(i, j, k) = static_cast<float>(-x);
            }
    out.m.temp.TEMP(3, 2, 1) = std::numeric_limits<double>::quiet_NaN();
    out.m.wpot.WPOT(4, 2, 1) = std::numeric_limits<float>::infinity();
    out.m.phys.GWVY(5, 3, 2) = -std::numeric_limits<float>::infinity();
    WARMOU(out.m);

    Lines expected;
    std::vector<double> row(nx);
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j) {
            for (int i = 0; i < nx; ++i) row[static_cast<std::size_t>(i)] = out.m.temp.TEMP(i + 1, j, k) - 273.15;
            write(expected, fixed_format("(50(10F8.3/))"), out_array(row.data(), nx));
        }
    const FormatProgram& heads = fixed_format("(50(10F8.2/))");
    const FormatProgram& velocities = fixed_format("(50(10(1PE9.2)/))");
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j) write(expected, heads, out_array(out.m.wpot.WPOT.row(j, k), nx));
    for (const NodeArray<float>* V : {&out.m.phys.GWVX, &out.m.phys.GWVY, &out.m.phys.GWVZ})
        for (int k = 1; k <= nz; ++k)
            for (int j = 1; j <= ny; ++j) write(expected, velocities, out_array(V->row(j, k), nx));
    EXPECT_EQ(test::read_file("GRUVWS"), expected.text);
}

}  // namespace
}  // namespace gruv
