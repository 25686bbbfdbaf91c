// A small flow model prepared directly in the state: a uniform block-centred
// grid (nodes at the cell centres), one conductivity, confined heads, the
// console and keyboard captured in strings.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "flow/flow.hpp"
#include "state/model.hpp"

namespace gruv::test {

struct FlowModel {
    // The streams outlive the model, whose units flush into them at its end.
    std::ostringstream console;
    std::istringstream keyboard;
    std::unique_ptr<Model> owner = std::make_unique<Model>();
    Model& m = *owner;

    //! NX x NY x NZ cells of dx x dy x dz metres below a ground surface at
    //! hgok; conductivity kf in every direction, heads h0, storage s.
    FlowModel(int nx, int ny, int nz, float dx = 10.0f, float dy = 10.0f, float dz = 10.0f, float hgok = 0.0f,
              float kf = 1.0E-4f, float h0 = 10.0f, float s = 1.0E-4f) {
        m.io.console().attach(console, keyboard, false);
        auto& d = m.ndim;
        d.NX = nx;
        d.NY = ny;
        d.NZ = nz;
        d.NX1 = nx - 1;
        d.NY1 = ny - 1;
        d.NZ1 = nz - 1;
        auto& g = m.gitt;
        for (int i = 1; i <= nx; ++i) {
            g.ZBRX(i) = dx;
            g.KABX(i) = i < nx ? dx : 0.0f;
            g.ABXU(i) = g.ABXO(i) = 0.5f * dx;
            g.GEWX(i) = i < nx ? 0.5f : 0.0f;
            g.KORX(i) = (static_cast<float>(i) - 0.5f) * dx;
        }
        for (int j = 1; j <= ny; ++j) {
            g.ZBRY(j) = dy;
            g.KABY(j) = j < ny ? dy : 0.0f;
            g.ABYU(j) = g.ABYO(j) = 0.5f * dy;
            g.GEWY(j) = j < ny ? 0.5f : 0.0f;
            g.KORY(j) = (static_cast<float>(j) - 0.5f) * dy;
        }
        for (int k = 1; k <= nz; ++k) {
            g.ZBRZ(k) = dz;
            g.KABZ(k) = k < nz ? dz : 0.0f;
            g.ABZU(k) = g.ABZO(k) = 0.5f * dz;
            g.GEWZ(k) = k < nz ? 0.5f : 0.0f;
            g.KORZ(k) = (static_cast<float>(k) - 0.5f) * dz;
        }
        m.par2.HGOK = hgok;
        m.par2.SPKONS = 1.0E30f;
        m.par2.ALFA = 1.0f;
        m.par2.OMEGA = 1.0f;
        m.par2.EPSH = 1.0E-6f;
        m.par1.DELT = 86400.0f;
        m.inf1.ITMAX = 1000;
        m.inf2.IOUT = 1;
        m.inf4.IMODE = 2;
        for (int k = 1; k <= nz; ++k)
            for (int j = 1; j <= ny; ++j)
                for (int i = 1; i <= nx; ++i) {
                    g.ZVOL(i, j, k) = g.ZBRX(i) * g.ZBRY(j) * g.ZBRZ(k);
                    m.trns.TRSX(i, j, k) = kf;
                    m.trns.TRSY(i, j, k) = kf;
                    m.trns.TRSZ(i, j, k) = kf;
                    m.trns.SPEI(i, j, k) = s;
                    m.phys.PHIN(i, j, k) = 0.2f;
                    m.ifld.JFLG(i, j, k) = 1;
                    m.ifld.IFLU(i, j, k) = 1;
                    m.wpot.WPOT(i, j, k) = h0;
                    m.wpot.WPOTA(i, j, k) = h0;
                    m.temp.TEMP(i, j, k) = 283.15;
                    m.temp.TEMPA(i, j, k) = 283.15;
                }
    }

    //! Sets a constant head at node (i,j,k).
    void fix_head(int i, int j, int k, float h) {
        m.ifld.JFLG(i, j, k) = 2;
        m.wpot.WPOT(i, j, k) = h;
        m.wpot.WPOTA(i, j, k) = h;
    }

    //! Clears the equation store and builds the flow equations.
    void build() {
        AUFNUL(m);
        KOEFFH(m);
        QKOEFH(m);
    }

    //! Text typed on the keyboard for the interactive dialogue.
    void type(const std::string& keys) {
        keyboard.str(keys);
        keyboard.clear();
    }

    std::string text() const { return console.str(); }
};

}  // namespace gruv::test
