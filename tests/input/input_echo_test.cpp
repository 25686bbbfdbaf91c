// The input echo listing, compared with golden files.
#include <gtest/gtest.h>

#include <string>

#include "input/input.hpp"
#include "support/state_fixture.hpp"
#include "support/test_support.hpp"

namespace gruv::test {
namespace {

class InputEchoTest : public StateFixture {
protected:
    //! Grid from cards under KNLAGE = 0, fields from the node position so
    //! that every table shows which node a value belongs to.
    void build(int32_t imode, int nx, int ny, int nz, const std::string& grid_cards) {
        grid_size(nx, ny, nz);
        m.inf4.IMODE = imode;
        input(grid_cards);
        GITTER(m);
        for (int k = 1; k <= nz; ++k)
            for (int j = 1; j <= ny; ++j)
                for (int i = 1; i <= nx; ++i) {
                    const float n = static_cast<float>(100 * k + 10 * j + i);
                    m.temp.TEMP(i, j, k) = 283.15 + 0.25 * i;
                    m.phys.CPGE(i, j, k) = 800.0f + n;
                    m.phys.RHOG(i, j, k) = 2650.0f;
                    m.phys.WLKG(i, j, k) = 2.4f;
                    m.ifld.IFLG(i, j, k) = 1 + (i == 1 ? 1 : 0);
                    m.phys.PHIG(i, j, k) = 0.25f;
                    m.phys.PHIN(i, j, k) = 0.1f;
                    m.ener.SOUC(i, j, k) = 0.0f;
                    m.wpot.WPOT(i, j, k) = 100.0f - 0.5f * static_cast<float>(i);
                    m.trns.SPEI(i, j, k) = 0.001f;
                    m.trns.QUEL(i, j, k) = 0.0f;
                    m.ifld.JFLG(i, j, k) = 1;
                    m.trns.TRSX(i, j, k) = 1.0E-4f;
                    m.trns.TRSY(i, j, k) = 2.5E-4f;
                    m.trns.TRSZ(i, j, k) = 1.0E-5f;
                }
    }
};

TEST_F(InputEchoTest, CoupledRunShowsHeatAndFlowTables) {
    build(1, 3, 2, 2, "(3F8.2)\n     2.0     4.0     2.0\n(2F8.2)\n     5.0     5.0\n(2F8.2)\n     1.0    24.0\n");
    // A node taken out of the heat transport has a heat capacity of 1.0E30,
    // too wide for its field; a conductivity below 0.000005 m/s prints as 0.
    m.phys.CPGE(2, 1, 2) = 1.0E30f;
    m.trns.TRSX(3, 2, 1) = 4.0E-6f;
    m.trns.QUEL(1, 2, 2) = -0.0125f;
    m.ener.SOUC(2, 2, 1) = 12.5f;
    m.ifld.JFLG(3, 1, 1) = 2;
    DATAUS(m);
    expect_golden(console(), "input/golden/dataus_coupled.txt");
}

TEST_F(InputEchoTest, FlowOnlyRunShowsNoHeatGroup) {
    // Twelve columns: rows continue on an indented line.
    build(2, 12, 1, 1,
          "(12F6.1)\n   1.0   1.0   1.0   1.0   1.0   1.0   1.0   1.0   1.0   1.0   2.0   2.0\n(F6.1)\n   3.0\n"
          "(F6.1)\n   2.0\n");
    DATAUS(m);
    expect_golden(console(), "input/golden/dataus_flow_only.txt");
}

TEST_F(InputEchoTest, HeatOnlyRunWithTenColumns) {
    // Ten values to a line: every row and the column header end with an
    // empty line; the nine node distances in X do not, the single row and
    // layer give empty distance lists.
    build(0, 10, 2, 1, "(10F6.1)\n   1.0   1.0   1.0   1.0   1.0   1.0   1.0   1.0   1.0   1.0\n(F6.1)\n   1.0\n   1.0\n"
                       "(F6.1)\n   0.5\n");
    DATAUS(m);
    expect_golden(console(), "input/golden/dataus_heat_only.txt");
}

}  // namespace
}  // namespace gruv::test
