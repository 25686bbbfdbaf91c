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
#include "records/card_reader.hpp"
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
        {"  12.000********\n", 0,
         " Fehler in der Datenstruktur der Datei GRUVWS\n"
         " Datei GRUVWS, Zeile 1, Temperaturen, Knoten (2,1,1), Spalten 9-16: '********'\n"},
        // Temperatures complete, heads missing.
        {"  12.000  13.000\n", 1,
         " Unerwartet das Ende der Datei GRUVWS erreicht\n"
         " Datei GRUVWS, Dateiende nach Zeile 1, Piezometerhoehen, Knoten (1,1,1)\n"},
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

//! The restart file WARMOU writes for a grid and mode.
std::string written(int nx, int ny, int nz, int imode) {
    test::ScratchDir dir("restart-written");
    test::CapturedModel out;
    fill(out.m, nx, ny, nz, imode);
    WARMOU(out.m);
    return test::read_file("GRUVWS");
}

//! The text with line n (1-based) replaced.
std::string with_line(const std::string& text, std::size_t n, const std::string& line) {
    auto lines = lines_of(text);
    lines.at(n - 1) = line;
    std::string joined;
    for (const auto& l : lines) joined += l + "\n";
    return joined;
}

TEST(RestartFile, FilesThatDoNotFitTheGridAreDamaged) {
    // The deck's grid is 12 x 2 x 1: every row is a line of ten values and a
    // line of two. Files of other grids or modes, and damaged rows, stop the
    // run before anything of them is used.
    const std::string heat = written(12, 2, 1, 0), coupled = written(12, 2, 1, 1);
    const std::string damaged = " Fehler in der Datenstruktur der Datei GRUVWS\n Datei GRUVWS, ";
    // The first line left over, as the location line shows it.
    const auto left_over = [&](const std::string& file, std::size_t n) {
        return damaged + "Zeile " + std::to_string(n) + ", ueberzaehlige Zeile fuer das Gitter 12 x 2 x 1: '" +
               shown_text(lines_of(file).at(n - 1)) + "'\n";
    };
    const struct {
        std::string file;
        int imode;
        std::string message;  // "" when the file is sound
    } cases[] = {
        // A row cut short would read its missing values as 0 degrees.
        {with_line(heat, 2, lines_of(heat)[1].substr(0, 8)), 0,
         damaged + "Zeile 2, Temperaturen, Knoten (12,1,1), Spalten 9-16: ''\n"},
        {with_line(heat, 3, lines_of(heat)[2].substr(0, 40) + std::string(40, ' ')), 0,
         damaged + "Zeile 3, Temperaturen, Knoten (6,2,1), Spalten 41-48: ''\n"},
        // Rows of a wider grid: a third value behind the row's end.
        {written(13, 2, 1, 0), 0, damaged + "Zeile 2, Temperaturen, Knoten (1-12,1,1), Spalten 17-24: '13.205'\n"},
        // Rows of a grid ten wide: the empty line after each row is where the
        // deck expects its last two values.
        {written(10, 2, 1, 0), 0, damaged + "Zeile 2, Temperaturen, Knoten (11,1,1), Spalten 1-8: ''\n"},
        // More rows than the grid has, or fewer.
        {written(12, 3, 1, 0), 0, left_over(written(12, 3, 1, 0), 5)},
        {written(12, 1, 1, 0), 0,
         " Unerwartet das Ende der Datei GRUVWS erreicht\n Datei GRUVWS, Dateiende nach Zeile 2, Temperaturen, Knoten "
         "(1,2,1)\n"},
        // A coupled run's file read as heads by a flow-only run would give
        // temperatures as heads.
        {coupled, 2, left_over(coupled, 5)},
        // A coupled file whose velocity sections are cut.
        {coupled.substr(0, coupled.size() - 20), 1, left_over(coupled, 9)},
        {heat + coupled, 0, left_over(heat + coupled, 5)},
        // Sound: blank lines at the end; a coupled file read by any run that
        // reads its first sections.
        {heat + "\n   \n", 0, ""},
        {coupled, 0, ""},
        {coupled, 1, ""},
    };
    for (const auto& c : cases) {
        test::ScratchDir dir("restart-grid");
        test::write_file("GRUVWS", c.file);
        test::CapturedModel in;
        fill(in.m, 12, 2, 1, c.imode);
        EXPECT_EQ(stop_status([&] { WARMIN(in.m); }), c.message.empty() ? -1 : kExitInput) << c.file;
        EXPECT_EQ(in.text(), c.message) << c.file;
        EXPECT_FALSE(in.m.io.is_open(9));
    }
    // A directory of that name.
    test::ScratchDir dir("restart-directory");
    fs::create_directory("GRUVWS");
    test::CapturedModel in;
    fill(in.m, 12, 2, 1, 0);
    EXPECT_EQ(stop_status([&] { WARMIN(in.m); }), kExitInput);
    EXPECT_EQ(in.text(), " Datei GRUVWS ist ein Verzeichnis - Simulation abgebrochen\n");
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
                              " Datei GRUVWS konnte nicht geschrieben werden: ist ein Verzeichnis"
                              " - alter Stand bleibt erhalten\n");
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
