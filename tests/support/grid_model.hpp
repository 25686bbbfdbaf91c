// A model prepared directly in the state for tests and benchmarks of kernels
// and set-ups: a uniform block-centred grid (nodes at the cell centres) and
// the console and keyboard captured in strings. Header only, without the test
// framework, so that the benchmarks use it too.
#pragma once
#include <memory>
#include <sstream>
#include <string>

#include "state/model.hpp"

namespace gruv::test {

//! NX x NY x NZ cells of dx x dy x dz metres: widths, node distances (0 past
//! the last node), coordinates, face distances, weights 0.5 and volumes.
inline void set_uniform_grid(Model& m, int nx, int ny, int nz, float dx, float dy, float dz) {
    auto& d = m.ndim;
    d.NX = nx;
    d.NY = ny;
    d.NZ = nz;
    d.NX1 = nx - 1;
    d.NY1 = ny - 1;
    d.NZ1 = nz - 1;
    auto& g = m.gitt;
    auto axis = [](int n, float w, auto& width, auto& distance, auto& lower, auto& upper, auto& weight,
                   auto& coordinate) {
        for (int i = 1; i <= n; ++i) {
            width(i) = w;
            distance(i) = i < n ? w : 0.0f;
            lower(i) = upper(i) = 0.5f * w;
            weight(i) = i < n ? 0.5f : 0.0f;
            coordinate(i) = (static_cast<float>(i) - 0.5f) * w;
        }
    };
    axis(nx, dx, g.ZBRX, g.KABX, g.ABXU, g.ABXO, g.GEWX, g.KORX);
    axis(ny, dy, g.ZBRY, g.KABY, g.ABYU, g.ABYO, g.GEWY, g.KORY);
    axis(nz, dz, g.ZBRZ, g.KABZ, g.ABZU, g.ABZO, g.GEWZ, g.KORZ);
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) g.ZVOL(i, j, k) = g.ZBRX(i) * g.ZBRY(j) * g.ZBRZ(k);
}

//! Owns a Model whose console writes into a string and reads from one. The
//! streams outlive the model, whose units flush into them at its end.
struct CapturedModel {
    std::ostringstream console;
    std::istringstream keyboard;
    std::unique_ptr<Model> owner = std::make_unique<Model>();
    Model& m = *owner;

    CapturedModel() {
        m.io.console().attach(console, keyboard, false);
        m.inf2.IOUT = 1;
        m.par2.SPKONS = 1.0E30f;
    }
    //! Everything written to the console so far (the open line ended).
    std::string text() {
        m.io.console().flush();
        return console.str();
    }
    //! Text typed on the keyboard for the interactive dialogue.
    void type(const std::string& keys) {
        keyboard.str(keys);
        keyboard.clear();
    }
};

}  // namespace gruv::test
