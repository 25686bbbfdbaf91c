// Isoline files: text and byte-stream layouts, headers once per run, the
// sections each unit carries, and files whose section lies outside the grid.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "output/output.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::read_file;

//! A model with a small grid and fields whose values tell where they come
//! from: T = I + J/10 + K/100 degrees Celsius, head = 100 + I + J/10 + K/100 m.
struct IsoFixture {
    // The streams outlive the model, whose units flush the console on destruction.
    std::ostringstream console;
    std::istringstream keys;
    std::unique_ptr<Model> m = std::make_unique<Model>();

    IsoFixture(int nx, int ny, int nz, int imode) {
        m->io.console().attach(console, keys, false);
        m->ndim = {nx, ny, nz, nx - 1, ny - 1, nz - 1};
        m->inf4.IMODE = imode;
        for (int i = 1; i < nx; ++i) m->gitt.KABX(i) = 10.0f + static_cast<float>(i);
        for (int j = 1; j < ny; ++j) m->gitt.KABY(j) = 5.0f + 0.5f * static_cast<float>(j);
        for (int k = 1; k < nz; ++k) m->gitt.KABZ(k) = 1.25f * static_cast<float>(k);
        set_fields(0.0);
    }
    void set_fields(double shift) {
        for (int k = 1; k <= m->ndim.NZ; ++k)
            for (int j = 1; j <= m->ndim.NY; ++j)
                for (int i = 1; i <= m->ndim.NX; ++i) {
                    const double c = i + j / 10.0 + k / 100.0 + shift;
                    m->temp.TEMP(i, j, k) = c + 273.15;
                    m->wpot.WPOT(i, j, k) = static_cast<float>(100.0 + c);
                }
    }
    void open_text(int unit, const char* name) { ASSERT_TRUE(m->io.open_output(unit, name)); }
    void open_binary(int unit, const char* name) { ASSERT_TRUE(m->io.open_binary(unit, name)); }
    void close_all() {
        for (int u : {11, 12, 13, 21, 22, 23}) m->io.close(u);
    }
};

std::string all_files(const char* const* names, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += std::string("== ") + names[i] + " ==\n" + read_file(names[i]);
    return text;
}

uint32_t u4_at(const std::string& bytes, std::size_t offset) {
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + static_cast<std::size_t>(b)));
    return v;
}
float r4_at(const std::string& bytes, std::size_t offset) { return std::bit_cast<float>(u4_at(bytes, offset)); }
int32_t i4_at(const std::string& bytes, std::size_t offset) { return std::bit_cast<int32_t>(u4_at(bytes, offset)); }

std::string hex_dump(const std::string& bytes) {
    std::string text;
    char buf[32];
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        std::snprintf(buf, sizeof buf, "%06zx ", at);
        text += buf;
        for (std::size_t b = at; b < at + 16 && b < bytes.size(); ++b) {
            std::snprintf(buf, sizeof buf, " %02x", static_cast<unsigned char>(bytes[b]));
            text += buf;
        }
        text += '\n';
    }
    return text;
}

TEST(IsolineText, CoupledRunWritesSixFilesWithOneHeader) {
    test::ScratchDir dir("iso-text");
    IsoFixture f(4, 3, 2, 1);
    f.m->ipro = {2, 3, 1};
    f.m->isop = {1, 1, 1, 0, 0};
    const char* names[] = {"TEMPYZ", "TEMPXZ", "TEMPXY", "PIEZYZ", "PIEZXZ", "PIEZXY"};
    const int units[] = {11, 12, 13, 21, 22, 23};
    for (int n = 0; n < 6; ++n) f.open_text(units[n], names[n]);

    ISODRV(*f.m);
    EXPECT_EQ(f.m->isop.ISOANF, 1);
    f.m->par1.ZEIT = 86400.0f;
    f.set_fields(0.5);
    ISODRV(*f.m);
    f.close_all();

    // Y-Z file: header (sizes, 2 Y distances, 1 Z distance), then per slice
    // the time and NZ rows of NY values.
    EXPECT_EQ(read_file("TEMPYZ"),
              "    3    2\n"
              "    5.5000    6.0000\n"
              "    1.2500\n"
              "        0.00\n"
              "    2.1100    2.2100    2.3100\n"
              "    2.1200    2.2200    2.3200\n"
              "    86400.00\n"
              "    2.6100    2.7100    2.8100\n"
              "    2.6200    2.7200    2.8200\n");
    test::expect_golden(all_files(names, 6), "output/golden/isoline_text_coupled.txt");
}

TEST(IsolineText, ModeSelectsTemperatureOrHeadFiles) {
    // Only the files of the computed quantity are touched: a call for a unit
    // that is not open would end in a logic_error.
    for (int mode : {0, 2}) {
        test::ScratchDir dir("iso-mode");
        IsoFixture f(3, 2, 2, mode);
        f.m->ipro = {1, 1, 1};
        f.m->isop = {1, 1, 1, 0, 0};
        const int base = mode == 0 ? 10 : 20;
        f.open_text(base + 1, "YZ");
        f.open_text(base + 2, "XZ");
        f.open_text(base + 3, "XY");
        ASSERT_NO_THROW(ISODRV(*f.m));
        f.close_all();
        // X-Y section at K = 1: rows J, values along I.
        const std::string xy = read_file("XY");
        if (mode == 0) {
            EXPECT_NE(xy.find("    1.1100    2.1100    3.1100\n    1.2100    2.2100    3.2100\n"), std::string::npos) << xy;
        } else {
            EXPECT_NE(xy.find("  101.1100  102.1100  103.1100\n  101.2100  102.2100  103.2100\n"), std::string::npos) << xy;
        }
    }
}

TEST(IsolineText, SectionOutsideTheGridLeavesItsFileEmpty) {
    test::ScratchDir dir("iso-outside");
    IsoFixture f(3, 2, 2, 0);
    f.m->ipro = {0, 3, 2};  // no column 0, no row 3; layer 2 exists
    f.m->isop = {1, 1, 1, 0, 0};
    f.open_text(11, "TEMPYZ");
    f.open_text(12, "TEMPXZ");
    f.open_text(13, "TEMPXY");
    ISODRV(*f.m);
    ISODRV(*f.m);
    f.close_all();
    EXPECT_EQ(read_file("TEMPYZ"), "");
    EXPECT_EQ(read_file("TEMPXZ"), "");
    EXPECT_EQ(f.m->isop.ISOANF, 1);
    // The valid section still gets its header once and two slices.
    EXPECT_EQ(read_file("TEMPXY"),
              "    3    2\n"
              "   11.0000   12.0000\n"
              "    5.5000\n"
              "        0.00\n"
              "    1.1200    2.1200    3.1200\n"
              "    1.2200    2.2200    3.2200\n"
              "        0.00\n"
              "    1.1200    2.1200    3.1200\n"
              "    1.2200    2.2200    3.2200\n");
}

TEST(IsolineText, NoFileSelectedStillMarksTheHeadersWritten) {
    IsoFixture f(3, 2, 2, 1);
    f.m->isop = {0, 0, 0, 0, 0};
    ASSERT_NO_THROW(ISODRV(*f.m));
    EXPECT_EQ(f.m->isop.ISOANF, 1);
}

TEST(IsolineText, SingleLayerHasNoZDistancesAndOneRow) {
    test::ScratchDir dir("iso-nz1");
    IsoFixture f(3, 2, 1, 2);
    f.m->ipro = {3, 1, 1};
    f.m->isop = {1, 0, 0, 0, 0};
    f.open_text(21, "PIEZYZ");
    ISODRV(*f.m);
    f.close_all();
    EXPECT_EQ(read_file("PIEZYZ"),
              "    2    1\n"
              "    5.5000\n"
              "\n"
              "        0.00\n"
              "  103.1100  103.2100\n");
}

TEST(IsolineText, TimeStampBeyondItsFieldSwitchesToExponentForm) {
    // 999999936 s (the largest REAL*4 below 1.0E9) still fits F12.2; 40 years
    // in seconds do not and are written as 1PE12.5 in the same 12 columns.
    test::ScratchDir dir("iso-time");
    IsoFixture f(2, 1, 1, 0);
    f.m->ipro = {1, 1, 1};
    f.m->isop = {0, 0, 1, 0, 0};
    f.open_text(13, "TEMPXY");
    f.m->par1.ZEIT = 999999936.0f;
    ISODRV(*f.m);
    f.m->par1.ZEIT = 40.0f * 365.0f * 86400.0f;
    ISODRV(*f.m);
    f.close_all();
    EXPECT_EQ(read_file("TEMPXY"),
              "    2    1\n"
              "   11.0000\n"
              "\n"
              "999999936.00\n"
              "    1.1100    2.1100\n"
              " 1.26144E+09\n"
              "    1.1100    2.1100\n");
}

TEST(IsolineText, TraceBannersOfDriverAndWriter) {
    test::ScratchDir dir("iso-trace");
    IsoFixture f(2, 1, 1, 0);
    f.m->inf2.IBILD = 1;
    f.m->ipro = {1, 1, 1};
    f.m->isop = {0, 0, 1, 0, 0};
    f.open_text(13, "TEMPXY");
    ISODRV(*f.m);
    f.close_all();
    f.m->io.console().flush();
    EXPECT_EQ(f.console.str(),
              "                ********* Subroutine ISODRV **********\n"
              "                ********* Subroutine ISOASC **********\n");
}

TEST(IsolineBinary, TenByEightSectionSlicesAtByte78Every324Bytes) {
    test::ScratchDir dir("iso-bin");
    IsoFixture f(10, 8, 3, 0);
    f.m->ipro = {1, 1, 2};
    f.m->isop = {0, 0, 1, 0, 1};
    f.open_binary(13, "TEMPXY");
    ISODRV(*f.m);
    f.m->par1.ZEIT = 3600.0f;
    f.set_fields(-20.0);
    ISODRV(*f.m);
    f.close_all();

    const std::string b = read_file("TEMPXY");
    ASSERT_EQ(b.size(), 78u + 2u * 324u);
    EXPECT_EQ(b.substr(0, 6), "BINARY");
    EXPECT_EQ(i4_at(b, 6), 10);
    EXPECT_EQ(i4_at(b, 10), 8);
    for (int i = 1; i <= 9; ++i) EXPECT_EQ(r4_at(b, 14 + 4 * (i - 1)), 10.0f + static_cast<float>(i));
    for (int j = 1; j <= 7; ++j) EXPECT_EQ(r4_at(b, 50 + 4 * (j - 1)), 5.0f + 0.5f * static_cast<float>(j));
    for (int slice = 0; slice < 2; ++slice) {
        const std::size_t at = 78 + 324 * static_cast<std::size_t>(slice);
        EXPECT_EQ(r4_at(b, at), slice == 0 ? 0.0f : 3600.0f);
        const double shift = slice == 0 ? 0.0 : -20.0;
        for (int j = 1; j <= 8; ++j)
            for (int i = 1; i <= 10; ++i) {
                // Converted to Celsius in double, then rounded to REAL*4.
                const double t = (i + j / 10.0 + 2 / 100.0 + shift + 273.15) - 273.15;
                EXPECT_EQ(r4_at(b, at + 4 + 4 * static_cast<std::size_t>((j - 1) * 10 + (i - 1))), static_cast<float>(t))
                    << "slice " << slice << " I " << i << " J " << j;
            }
    }
    test::expect_golden(hex_dump(b), "output/golden/isoline_binary_10x8.txt");
}

TEST(IsolineBinary, HeadsOfTheYZSectionAreTheStoredValues) {
    test::ScratchDir dir("iso-bin-yz");
    IsoFixture f(4, 3, 2, 2);
    f.m->ipro = {4, 1, 1};
    f.m->isop = {1, 0, 0, 0, 1};
    f.open_binary(21, "PIEZYZ");
    f.m->par1.ZEIT = 60.0f;
    ISODRV(*f.m);
    f.close_all();
    const std::string b = read_file("PIEZYZ");
    // Header 14 + 2*4 + 1*4 bytes, one slice of 4 + 3*2*4 bytes.
    ASSERT_EQ(b.size(), 26u + 28u);
    EXPECT_EQ(i4_at(b, 6), 3);
    EXPECT_EQ(i4_at(b, 10), 2);
    EXPECT_EQ(r4_at(b, 22), 1.25f);
    EXPECT_EQ(r4_at(b, 26), 60.0f);
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            EXPECT_EQ(r4_at(b, 30 + 4 * static_cast<std::size_t>((k - 1) * 3 + (j - 1))), f.m->wpot.WPOT(4, j, k));
}

TEST(IsolineBinary, SectionOutsideTheGridLeavesItsFileEmpty) {
    test::ScratchDir dir("iso-bin-outside");
    IsoFixture f(4, 3, 2, 2);
    f.m->ipro = {5, 1, 11};
    f.m->isop = {1, 0, 1, 0, 1};
    f.open_binary(21, "PIEZYZ");
    f.open_binary(23, "PIEZXY");
    ISODRV(*f.m);
    f.close_all();
    EXPECT_EQ(read_file("PIEZYZ"), "");
    EXPECT_EQ(read_file("PIEZXY"), "");
    EXPECT_EQ(f.m->isop.ISOANF, 1);
}

}  // namespace
}  // namespace gruv
