// The printed result tables on the listing: head and temperature sections
// (10 and 11 columns, counts that overflow their fields, values that round to
// -0.00), the profile tables of the input fields, the velocity table.
#include <gtest/gtest.h>

#include <string>

#include "flow/flow_fixture.hpp"
#include "output/output.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::FlowModel;

//! A model whose listing goes to a file of a scratch directory, at 1 day,
//! 1 hour, 1 minute, 1 second; text() closes the unit and returns the file.
struct Listing {
    test::ScratchDir dir{"printed"};
    FlowModel f;
    Model& m = f.m;

    Listing(int nx, int ny, int nz) : f(nx, ny, nz, 10.0f, 20.0f, 5.0f) {
        m.inf2.IOUT = 6;
        m.io.open_output(6, "LISTE");
        m.par1.ZEIT = 90061.0f;
        m.ipro.ISCHX = 2;
        m.ipro.ISCHY = 1;
        m.ipro.ISCHZ = nz;
        for (int k = 1; k <= nz; ++k)
            for (int j = 1; j <= ny; ++j)
                for (int i = 1; i <= nx; ++i) {
                    m.wpot.WPOT(i, j, k) = 100.0f + static_cast<float>(i) + 0.1f * static_cast<float>(j) +
                                           0.01f * static_cast<float>(k);
                    m.temp.TEMP(i, j, k) = 273.15 + 0.5 * i - 2.0 * k + 0.25 * j;
                }
    }

    std::string text() {
        m.io.close(6);
        return test::read_file(dir.path() / "LISTE");
    }
};

// Ten columns fill the row line exactly, and the format's line break after
// them leaves an empty line behind every row; an eleventh goes on a
// continuation line indented by ten blanks. A sweep count above 99 prints as
// asterisks in PIEDRU's I2 and fits TMPDRU's I4; 273.15 K prints 0.00 and
// values that round to zero from below -0.00.
TEST(PrintedTables, HeadAndTemperatureSections) {
    {
        Listing l(10, 3, 2);
        l.m.inf2.NIT = 123;
        l.m.wpot.WPOT(1, 1, 1) = -0.001f;
        PIEDRU(l.m);
        test::expect_golden(l.text(), "output/golden/printed_piedru_10.txt");
    }
    {
        Listing l(11, 2, 2);
        l.m.inf2.NIT = 7;
        PIEDRU(l.m);
        test::expect_golden(l.text(), "output/golden/printed_piedru_11.txt");
    }
    Listing l(11, 2, 3);
    l.m.inf2.NIT = 123;
    l.m.temp.TEMP(1, 1, 1) = 273.15;
    l.m.temp.TEMP(2, 1, 1) = 273.145;
    l.m.ipro.ISCHX = 11;
    PIEDRU(l.m);  // in a coupled run both follow each other
    TMPDRU(l.m);
    test::expect_golden(l.text(), "output/golden/printed_tmpdru_11.txt");
}

// Section indices of 0 or beyond the grid switch the sections off: only the
// time and convergence lines, or the profile title, remain. Every printer
// writes its trace line.
TEST(PrintedTables, SectionsSwitchedOffAndTraceLines) {
    Listing l(4, 3, 2);
    l.m.ipro.ISCHX = 0;
    l.m.ipro.ISCHY = 4;
    l.m.ipro.ISCHZ = 3;
    l.m.inf2.IBILD = 1;
    int32_t n = 5;
    PIEDRU(l.m);
    TMPDRU(l.m);
    PROFIL(l.m, l.m.phys.PHIN, l.m.ifld.IFLG, n);
    VDRUCK(l.m);
    EXPECT_EQ(n, 6);
    const std::string time = "\n Temperaturverteilung nach   0 Wochen  1 Tagen  1 Stunden  1 Minuten  1 Sekunden\n\n";
    const std::string expected = time + "\n Konvergenz seit dem letzten Zeitschritt nach  0 Iterationen\n" + time +
                                 "\n Konvergenz seit dem letzten Zeitschritt nach   0 Iterationen\n"
                                 "\n Nutzporositaet des Gesteins: (0 - 1)\n"
                                 " Grundwasserfliessgeschwindigkeit in m/s:\n";
    EXPECT_EQ(l.text().substr(0, expected.size()), expected);
    const std::string console = l.f.text();
    for (const char* name : {"PIEDRU", "ZEITBE", "TMPDRU", "PROFIL", "VDRUCK"})
        EXPECT_EQ(test::count(console, std::string("********* Subroutine ") + name + " **********"),
                  std::string(name) == "ZEITBE" ? 2 : 1)
            << name;
}

// The eight profile tables of the start-up, each called with the running
// number: rock fields with their row formats (density in g/cm3), then the
// two flag tables.
TEST(PrintedTables, ProfilesOfTheInputFields) {
    Listing l(11, 2, 2);
    auto& m = l.m;
    m.ipro.ISCHX = 1;
    m.ipro.ISCHY = 2;
    m.ipro.ISCHZ = 1;
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 2; ++j)
            for (int i = 1; i <= 11; ++i) {
                m.phys.CPGE(i, j, k) = 800.0f + 10.0f * static_cast<float>(i);
                m.phys.WLKG(i, j, k) = 2.0f + 0.1f * static_cast<float>(k);
                m.phys.RHOG(i, j, k) = 2650.0f;
                m.phys.PHIG(i, j, k) = 0.25f;
                m.phys.PHIN(i, j, k) = 0.15f;
                m.ener.SOUC(i, j, k) = i == 6 ? 12.5f : 0.0f;
                m.ifld.IFLG(i, j, k) = i == 1 ? 2 : 1;
                m.ifld.IFLU(i, j, k) = k == 2 ? -1 : 1;
            }
    int32_t n = 1;
    for (const NodeArray<float>* a : {&m.phys.CPGE, &m.phys.WLKG, &m.phys.RHOG, &m.phys.PHIG, &m.phys.PHIN,
                                      &m.ener.SOUC, &m.ener.SOUC})
        PROFIL(m, *a, m.ifld.IFLG, n);
    PROFIL(m, m.ener.SOUC, m.ifld.IFLU, n);
    EXPECT_EQ(n, 9);
    test::expect_golden(l.text(), "output/golden/printed_profil.txt");
}

// The velocities of the first node of each layer, with the saturation in
// percent.
TEST(PrintedTables, VelocityTable) {
    Listing l(2, 2, 3);
    auto& m = l.m;
    const float v[3][3] = {{1.0e-6f, -2.5e-7f, 0.0f}, {3.25e-5f, 0.0f, -1.0e-8f}, {0.0f, 0.0f, 4.0e-9f}};
    for (int k = 1; k <= 3; ++k) {
        m.phys.SAETT(k) = k == 1 ? 0.4f : 1.0f;
        m.phys.GWVX(1, 1, k) = v[k - 1][0];
        m.phys.GWVY(1, 1, k) = v[k - 1][1];
        m.phys.GWVZ(1, 1, k) = v[k - 1][2];
        m.phys.GWVX(2, 1, k) = 9.0f;  // not printed: only the first node
    }
    VDRUCK(m);
    test::expect_golden(l.text(), "output/golden/printed_vdruck.txt");
}

}  // namespace
}  // namespace gruv
