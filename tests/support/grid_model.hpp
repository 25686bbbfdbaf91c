// A model prepared directly in the state for tests of kernels and set-ups:
// a uniform block-centred grid (nodes at the cell centres) and the console
// and keyboard captured in strings.
#pragma once
#include <memory>
#include <sstream>
#include <string>

#include "state/model.hpp"

namespace gruv::test {

//! NX x NY x NZ cells of dx x dy x dz metres: widths, node distances (0 past
//! the last node), coordinates, face distances, weights 0.5 and volumes.
void set_uniform_grid(Model& m, int nx, int ny, int nz, float dx, float dy, float dz);

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
