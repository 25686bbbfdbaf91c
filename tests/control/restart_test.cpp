// Restart file: layout of the sections, round trips through WARMOU and WARMIN,
// the messages of a missing or damaged file, and the replacement of the file
// as a whole.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "control/control.hpp"
#include "state/stop.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

namespace fs = std::filesystem;

struct RestartFixture {
    // The streams outlive the model, whose units flush the console on destruction.
    std::ostringstream console;
    std::istringstream keys;
    std::unique_ptr<Model> m = std::make_unique<Model>();

    RestartFixture(int nx, int ny, int nz, int imode) {
        m->io.console().attach(console, keys, false);
        m->ndim = {nx, ny, nz, nx - 1, ny - 1, nz - 1};
        m->inf4.IMODE = imode;
        m->inf2.IOUT = 1;
    }
    //! Fields with many significant digits, so the printed precision shows.
    void fill() {
        for (int k = 1; k <= m->ndim.NZ; ++k)
            for (int j = 1; j <= m->ndim.NY; ++j)
                for (int i = 1; i <= m->ndim.NX; ++i) {
                    const double x = 0.123456789 * i - 1.7 * j + 3.3 * k;
                    m->temp.TEMP(i, j, k) = 273.15 + 10.0 + x;
                    m->wpot.WPOT(i, j, k) = static_cast<float>(350.0 - 0.37 * x);
                    m->phys.GWVX(i, j, k) = static_cast<float>(1.0e-6 * x);
                    m->phys.GWVY(i, j, k) = static_cast<float>(-2.5e-7 * x);
                    m->phys.GWVZ(i, j, k) = static_cast<float>(3.0e-9 * i);
                }
    }
    //! Runs f and returns the exit status it stopped with (-1: no stop).
    template <class F>
    int stop_status(F&& f) {
        try {
            f();
        } catch (const RunStopped& s) {
            return s.status;
        }
        return -1;
    }
    std::string console_text() {
        m->io.console().flush();
        return console.str();
    }
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

TEST(RestartFile, CoupledLayoutOfAllFiveSections) {
    test::ScratchDir dir("restart-layout");
    RestartFixture f(3, 2, 1, 1);
    f.fill();
    f.m->temp.TEMP(1, 1, 1) = 12.3456 + 273.15;  // printed as 12.346
    WARMOU(*f.m);
    test::expect_golden(test::read_file("GRUVWS"), "control/golden/restart_coupled_3x2x1.txt");
    const auto lines = lines_of(test::read_file("GRUVWS"));
    ASSERT_EQ(lines.size(), 5u * 2u);
    EXPECT_EQ(lines[0].substr(0, 8), "  12.346");
    EXPECT_EQ(lines[4].size(), 27u);  // velocities: three fields of nine characters
    EXPECT_FALSE(fs::exists("GRUVWS.neu"));
}

TEST(RestartFile, RowsOfTenAreFollowedByAnEmptyLine) {
    test::ScratchDir dir("restart-nx10");
    RestartFixture out(10, 3, 2, 1);
    out.fill();
    WARMOU(*out.m);
    const auto lines = lines_of(test::read_file("GRUVWS"));
    // Five sections of 6 rows, each row one full line and an empty one.
    ASSERT_EQ(lines.size(), 5u * 6u * 2u);
    for (std::size_t n = 0; n < lines.size(); n += 2) {
        EXPECT_EQ(lines[n].size(), n < 24 ? 80u : 90u) << "line " << n + 1;
        EXPECT_EQ(lines[n + 1], "") << "line " << n + 2;
    }

    RestartFixture in(10, 3, 2, 1);
    WARMIN(*in.m);
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 10; ++i) {
                // Half a unit of the last printed decimal, plus the rounding
                // of the stored REAL*4 head.
                EXPECT_NEAR(in.m->temp.TEMP(i, j, k), out.m->temp.TEMP(i, j, k), 0.0005 + 1e-9);
                EXPECT_NEAR(in.m->wpot.WPOT(i, j, k), out.m->wpot.WPOT(i, j, k), 0.005 + 3e-5);
            }
    // Velocities are not read back.
    EXPECT_EQ(in.m->phys.GWVX(1, 1, 1), 0.0f);
    EXPECT_EQ(in.console_text(), "");
}

TEST(RestartFile, RowsOfTwentyFiveTakeThreeLines) {
    test::ScratchDir dir("restart-nx25");
    RestartFixture out(25, 2, 3, 0);
    out.fill();
    WARMOU(*out.m);
    const auto lines = lines_of(test::read_file("GRUVWS"));
    ASSERT_EQ(lines.size(), 6u * 3u);  // temperatures only
    for (std::size_t n = 0; n < lines.size(); n += 3) {
        EXPECT_EQ(lines[n].size(), 80u);
        EXPECT_EQ(lines[n + 1].size(), 80u);
        EXPECT_EQ(lines[n + 2].size(), 40u);
    }
    RestartFixture in(25, 2, 3, 0);
    WARMIN(*in.m);
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 25; ++i)
                EXPECT_NEAR(in.m->temp.TEMP(i, j, k), out.m->temp.TEMP(i, j, k), 0.0005 + 1e-9);
}

TEST(RestartFile, TemperatureReadBackInKelvin) {
    test::ScratchDir dir("restart-kelvin");
    test::write_file("GRUVWS", "  12.346\n");
    RestartFixture in(1, 1, 1, 0);
    WARMIN(*in.m);
    EXPECT_EQ(in.m->temp.TEMP(1, 1, 1), 12.346 + 273.15);
}

TEST(RestartFile, CoupledFileReadInAHeatOnlyRunTakesTheTemperatures) {
    test::ScratchDir dir("restart-mode");
    RestartFixture out(4, 2, 2, 1);
    out.fill();
    WARMOU(*out.m);
    RestartFixture in(4, 2, 2, 0);
    WARMIN(*in.m);
    EXPECT_NEAR(in.m->temp.TEMP(4, 2, 2), out.m->temp.TEMP(4, 2, 2), 0.0005 + 1e-9);
    EXPECT_EQ(in.m->wpot.WPOT(4, 2, 2), 0.0f);
}

TEST(RestartFile, MissingDamagedAndShortFilesEndTheRun) {
    {
        test::ScratchDir dir("restart-missing");
        RestartFixture in(2, 1, 1, 0);
        EXPECT_EQ(in.stop_status([&] { WARMIN(*in.m); }), kExitInput);
        EXPECT_EQ(in.console_text(), " Datei GRUVWS nicht verhanden - Simulation abgebrochen\n");
    }
    {
        // A temperature too wide for F8.3 was written as asterisks.
        test::ScratchDir dir("restart-damaged");
        test::write_file("GRUVWS", "  12.000********\n");
        RestartFixture in(2, 1, 1, 0);
        EXPECT_EQ(in.stop_status([&] { WARMIN(*in.m); }), kExitInput);
        EXPECT_EQ(in.console_text(), " Fehler in der Datenstruktur der Datei GRUVWS\n");
        EXPECT_FALSE(in.m->io.is_open(9));
    }
    {
        // Temperatures complete, heads missing.
        test::ScratchDir dir("restart-short");
        test::write_file("GRUVWS", "  12.000  13.000\n");
        RestartFixture in(2, 1, 1, 1);
        EXPECT_EQ(in.stop_status([&] { WARMIN(*in.m); }), kExitInput);
        EXPECT_EQ(in.console_text(), " Unerwartet das Ende der Datei GRUVWS erreicht\n");
    }
}

TEST(RestartFile, EachWriteReplacesTheWholeFile) {
    test::ScratchDir dir("restart-replace");
    test::write_file("GRUVWS", std::string(5000, 'x'));
    RestartFixture out(2, 1, 1, 0);
    out.fill();
    WARMOU(*out.m);
    EXPECT_EQ(test::read_file("GRUVWS"), "  11.723  11.847\n");
    EXPECT_FALSE(fs::exists("GRUVWS.neu"));
}

TEST(RestartFile, FailedWriteKeepsThePreviousState) {
    test::ScratchDir dir("restart-fail");
    RestartFixture out(2, 1, 1, 0);
    out.fill();
    WARMOU(*out.m);
    const std::string saved = test::read_file("GRUVWS");
    // The scratch file cannot be created (a directory holds its name).
    fs::create_directory("GRUVWS.neu");
    out.m->temp.TEMP(1, 1, 1) = 300.0;
    WARMOU(*out.m);
    EXPECT_EQ(test::read_file("GRUVWS"), saved);
    EXPECT_EQ(out.console_text(),
              " Datei GRUVWS konnte nicht geschrieben werden - alter Stand bleibt erhalten\n");
}

TEST(RestartFile, TraceBanners) {
    test::ScratchDir dir("restart-trace");
    RestartFixture f(1, 1, 1, 0);
    f.m->inf2.IBILD = 1;
    WARMOU(*f.m);
    WARMIN(*f.m);
    EXPECT_EQ(f.console_text(),
              "                ********* Subroutine WARMOU **********\n"
              "                ********* Subroutine WARMIN **********\n");
}

}  // namespace
}  // namespace gruv
