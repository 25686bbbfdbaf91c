// A small flow model prepared directly in the state: a uniform grid, one
// conductivity, confined heads, the console captured.
#pragma once
#include <gtest/gtest.h>

#include "flow/flow.hpp"
#include "state/model.hpp"
#include "support/grid_model.hpp"

namespace gruv::test {

struct FlowModel : CapturedModel {
    //! NX x NY x NZ cells of dx x dy x dz metres below a ground surface at
    //! hgok; conductivity kf in every direction, heads h0, storage s,
    //! effective porosity 0.2, 10 degC; flow only.
    FlowModel(int nx, int ny, int nz, float dx = 10.0f, float dy = 10.0f, float dz = 10.0f, float hgok = 0.0f,
              float kf = 1.0E-4f, float h0 = 10.0f, float s = 1.0E-4f) {
        set_uniform_grid(m, nx, ny, nz, dx, dy, dz);
        m.par2.HGOK = hgok;
        m.par2.ALFA = m.par2.OMEGA = 1.0f;
        m.par2.EPSH = 1.0E-6f;
        m.par1.DELT = 86400.0f;
        m.inf1.ITMAX = 1000;
        m.inf4.IMODE = 2;
        for (int k = 1; k <= nz; ++k)
            for (int j = 1; j <= ny; ++j)
                for (int i = 1; i <= nx; ++i) {
                    m.trns.TRSX(i, j, k) = m.trns.TRSY(i, j, k) = m.trns.TRSZ(i, j, k) = kf;
                    m.trns.SPEI(i, j, k) = s;
                    m.phys.PHIN(i, j, k) = 0.2f;
                    m.ifld.JFLG(i, j, k) = m.ifld.IFLU(i, j, k) = 1;
                    m.wpot.WPOT(i, j, k) = m.wpot.WPOTA(i, j, k) = h0;
                    m.temp.TEMP(i, j, k) = m.temp.TEMPA(i, j, k) = 283.15;
                }
    }

    //! Sets a constant head at node (i,j,k).
    void fix_head(int i, int j, int k, float h) {
        m.ifld.JFLG(i, j, k) = 2;
        m.wpot.WPOT(i, j, k) = m.wpot.WPOTA(i, j, k) = h;
    }

    //! Clears the equation store and builds the flow equations.
    void build() {
        AUFNUL(m);
        KOEFFH(m);
        QKOEFH(m);
    }
};

//! How often `what` occurs in `text`.
inline int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

}  // namespace gruv::test
