// Isoline files: text and byte-stream layouts, headers once per run, the
// sections each unit carries, and files whose section lies outside the grid.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

#include "output/output.hpp"
#include "support/grid_model.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::read_file;

//! A grid whose node distances and fields tell where they come from:
//! T = I + J/10 + K/100 + shift degrees Celsius, head = 100 + the same.
void section_model(Model& m, int nx, int ny, int nz, int imode, double shift = 0.0) {
    m.ndim = {nx, ny, nz, nx - 1, ny - 1, nz - 1};
    m.inf4.IMODE = imode;
    for (int i = 1; i < nx; ++i) m.gitt.KABX(i) = 10.0f + static_cast<float>(i);
    for (int j = 1; j < ny; ++j) m.gitt.KABY(j) = 5.0f + 0.5f * static_cast<float>(j);
    for (int k = 1; k < nz; ++k) m.gitt.KABZ(k) = 1.25f * static_cast<float>(k);
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) {
                const double c = i + j / 10.0 + k / 100.0 + shift;
                m.temp.TEMP(i, j, k) = c + 273.15;
                m.wpot.WPOT(i, j, k) = static_cast<float>(100.0 + c);
            }
}

//! Opens the isoline files of the given units under their own names.
void open_files(Model& m, std::initializer_list<int> units) {
    for (int u : units) {
        const char* plane[] = {"YZ", "XZ", "XY"};
        const std::string name = std::string(u < 20 ? "TEMP" : "PIEZ") + plane[u % 10 - 1];
        ASSERT_TRUE(m.isop.ISOFRM == 1 ? m.io.open_binary(u, name) : m.io.open_output(u, name));
    }
}
void close_files(Model& m) {
    for (int u : {11, 12, 13, 21, 22, 23}) m.io.close(u);
}

float r4_at(const std::string& bytes, std::size_t offset) {
    uint32_t v = 0;
    for (std::size_t b = 4; b-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + b));
    return std::bit_cast<float>(v);
}
int32_t i4_at(const std::string& bytes, std::size_t offset) { return std::bit_cast<int32_t>(r4_at(bytes, offset)); }

TEST(IsolineText, CoupledRunWritesSixFilesWithOneHeader) {
    test::ScratchDir dir("iso-text");
    test::CapturedModel c;
    section_model(c.m, 4, 3, 2, 1);
    c.m.ipro = {2, 3, 1};
    c.m.isop = {1, 1, 1, 0, 0};
    open_files(c.m, {11, 12, 13, 21, 22, 23});
    ISODRV(c.m);
    c.m.par1.ZEIT = 86400.0f;
    section_model(c.m, 4, 3, 2, 1, 0.5);
    ISODRV(c.m);
    close_files(c.m);
    std::string text;
    for (const char* name : {"TEMPYZ", "TEMPXZ", "TEMPXY", "PIEZYZ", "PIEZXZ", "PIEZXY"})
        text += std::string("== ") + name + " ==\n" + read_file(name);
    test::expect_golden(text, "output/golden/isoline_text_coupled.txt");
}

TEST(IsolineText, SectionOutsideTheGridLeavesItsFileEmpty) {
    // Heat only writes the temperature files, flow only the head files (the
    // files of the other quantity are not open, and writing them would throw).
    for (int imode : {0, 2}) {
        test::ScratchDir dir("iso-outside");
        test::CapturedModel c;
        section_model(c.m, 3, 2, 2, imode);
        c.m.ipro = {0, 3, 2};  // no column 0, no row 3; layer 2 exists
        c.m.isop = {1, 1, 1, 0, 0};
        const int base = imode == 0 ? 10 : 20;
        open_files(c.m, {base + 1, base + 2, base + 3});
        ISODRV(c.m);
        ISODRV(c.m);
        close_files(c.m);
        const std::string kind = imode == 0 ? "TEMP" : "PIEZ", value = imode == 0 ? "    " : "  10";
        EXPECT_EQ(read_file(kind + "YZ"), "");
        EXPECT_EQ(read_file(kind + "XZ"), "");
        EXPECT_EQ(c.m.isop.ISOANF, 1);
        // The valid section still gets its header once and two slices.
        const std::string slice = "        0.00\n" + value + "1.1200" + value + "2.1200" + value + "3.1200\n" + value +
                                  "1.2200" + value + "2.2200" + value + "3.2200\n";
        EXPECT_EQ(read_file(kind + "XY"), "    3    2\n   11.0000   12.0000\n    5.5000\n" + slice + slice);
    }
    // With no file selected the headers count as written all the same.
    test::CapturedModel c;
    ISODRV(c.m);
    EXPECT_EQ(c.m.isop.ISOANF, 1);
}

TEST(IsolineText, SingleLayerAndTimeStampsBeyondTheirField) {
    // No Z distances (an empty line) and one row per slice. 999999936 s (the
    // largest REAL*4 below 1.0E9) still fits F12.2; 40 years in seconds do
    // not and are written as 1PE12.5 in the same 12 columns.
    test::ScratchDir dir("iso-time");
    test::CapturedModel c;
    section_model(c.m, 2, 1, 1, 0);
    c.m.inf2.IBILD = 1;
    c.m.ipro = {1, 1, 1};
    c.m.isop = {0, 1, 0, 0, 0};
    open_files(c.m, {12});
    c.m.par1.ZEIT = 999999936.0f;
    ISODRV(c.m);
    c.m.par1.ZEIT = 40.0f * 365.0f * 86400.0f;
    ISODRV(c.m);
    close_files(c.m);
    EXPECT_EQ(read_file("TEMPXZ"), "    2    1\n   11.0000\n\n999999936.00\n    1.1100    2.1100\n"
                                   " 1.26144E+09\n    1.1100    2.1100\n");
    const std::string trace = "                ********* Subroutine ISODRV **********\n"
                              "                ********* Subroutine ISOASC **********\n";
    EXPECT_EQ(c.text(), trace + trace);
}

TEST(IsolineBinary, TenByEightSectionSlicesAtByte78Every324Bytes) {
    // A coupled run: the X-Y sections of temperatures and heads; no Y-Z
    // section at column 11.
    test::ScratchDir dir("iso-bin");
    test::CapturedModel c;
    section_model(c.m, 10, 8, 3, 1);
    c.m.ipro = {11, 1, 2};
    c.m.isop = {1, 0, 1, 0, 1};
    open_files(c.m, {11, 13, 21, 23});
    ISODRV(c.m);
    c.m.par1.ZEIT = 3600.0f;
    section_model(c.m, 10, 8, 3, 1, -20.0);
    ISODRV(c.m);
    close_files(c.m);
    EXPECT_EQ(read_file("TEMPYZ") + read_file("PIEZYZ"), "");

    const std::string b = read_file("TEMPXY"), h = read_file("PIEZXY");
    ASSERT_EQ(b.size(), 78u + 2u * 324u);
    ASSERT_EQ(h.size(), b.size());
    EXPECT_EQ(b.substr(0, 6), "BINARY");
    EXPECT_EQ(i4_at(b, 6), 10);
    EXPECT_EQ(i4_at(b, 10), 8);
    EXPECT_EQ(r4_at(b, 14 + 4 * 8), 19.0f);  // the last X distance
    EXPECT_EQ(r4_at(b, 50), 5.5f);           // the first Y distance
    for (int slice = 0; slice < 2; ++slice) {
        const std::size_t at = 78 + 324 * static_cast<std::size_t>(slice);
        EXPECT_EQ(r4_at(b, at), slice == 0 ? 0.0f : 3600.0f);
        for (int j = 1; j <= 8; ++j)
            for (int i = 1; i <= 10; ++i) {
                // Converted to Celsius in double, then rounded to REAL*4;
                // heads are the stored values.
                const double v = i + j / 10.0 + 2 / 100.0 + (slice == 0 ? 0.0 : -20.0);
                const std::size_t n = at + 4 + 4 * static_cast<std::size_t>((j - 1) * 10 + (i - 1));
                EXPECT_EQ(r4_at(b, n), static_cast<float>((v + 273.15) - 273.15)) << slice << " " << i << " " << j;
                EXPECT_EQ(r4_at(h, n), static_cast<float>(100.0 + v)) << slice << " " << i << " " << j;
            }
    }
    std::string hex;  // 16 bytes a line behind their offset
    char buf[32];
    for (std::size_t at = 0; at < b.size(); ++at) {
        if (at % 16 == 0) {
            std::snprintf(buf, sizeof buf, "%s%06zx ", at ? "\n" : "", at);
            hex += buf;
        }
        std::snprintf(buf, sizeof buf, " %02x", static_cast<unsigned char>(b[at]));
        hex += buf;
    }
    test::expect_golden(hex + "\n", "output/golden/isoline_binary_10x8.txt");
}

}  // namespace
}  // namespace gruv
