// A small model prepared directly in the state, for the kernels of the heat
// transport: a uniform grid, a dry rock at 10 degC, the default material data.
#pragma once
#include <gtest/gtest.h>

#include "state/model.hpp"
#include "support/grid_model.hpp"

namespace gruv::test {

struct HeatModel : CapturedModel {
    //! NX x NY x NZ cells of dx x dy x dz metres, nodes at the cell centres.
    HeatModel(int nx, int ny, int nz, float dx = 1.0f, float dy = 1.0f, float dz = 1.0f) {
        set_uniform_grid(m, nx, ny, nz, dx, dy, dz);
        m.par3 = kBuiltInMaterialData;
        m.par4.DTGEF = 0.1f;
        m.par4.DTHALB = 0.05f;
        m.par4.DWAN = 0.001f;
        m.phys.ANISX = m.phys.ANISY = m.phys.ANISZ = 1.0f;
        m.par1.DELT = 3600.0f;
        m.par1.ALFAT = 1.0f;
        m.par1.OMEGT = 1.0f;
        m.par1.EPST = 1.0E-6f;
        m.inf1.ITMAX = 500;
        m.inf1.ISCHEM = 5;
        m.inf2.IMISCH = 3;
        m.inf2.ISTOFF = 1;
        m.inf2.IERST = 1;
        for (int k = 1; k <= nz; ++k) {
            m.phys.SAETT(k) = 1.0f;
            m.temp.TGEF(k) = 273.15;
        }
        m.phys.CPGE.fill(1000.0f);
        m.phys.RHOG.fill(2500.0f);
        m.phys.WLKG.fill(2.5f);
        m.ifld.IFLG.fill(1);
        m.temp.TEMP.fill(283.15);
        m.temp.TEMPA.fill(283.15);
    }
};

}  // namespace gruv::test
