// A model with its console and main input attached to strings, for driving
// the input and value-conversion routines directly.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "state/model.hpp"
#include "state/stop.hpp"

namespace gruv::test {

class ModelFixture : public ::testing::Test {
protected:
    ModelFixture() {
        m.io.console().attach(console_, keyboard_, false);
        m.inf2.IOUT = 1;  // the listing goes to the console
        m.par2.SPKONS = 1.0E30f;
        m.par2.LEERW = -99.9f;
        m.inf2.IERST = 1;
    }

    //! Grid size as card 17 sets it.
    void grid_size(int32_t nx, int32_t ny, int32_t nz) {
        m.ndim.NX = nx;
        m.ndim.NY = ny;
        m.ndim.NZ = nz;
        m.ndim.NX1 = nx - 1;
        m.ndim.NY1 = ny - 1;
        m.ndim.NZ1 = nz - 1;
    }

    //! The text the main input file (unit 5), or another input unit, holds.
    void input(const std::string& text, int32_t unit = 5) {
        auto& s = unit == 5 ? main_ : other_;
        s.str(text);
        s.clear();
        m.io.attach_input(unit, s);
    }

    //! Runs f; the exit status when it stops the run, -1 when it returns.
    template <class F>
    int status_of(F f) {
        try {
            f();
        } catch (const RunStopped& stop) {
            return stop.status;
        }
        return -1;
    }

    //! Everything written to the console so far.
    std::string console() {
        m.io.console().flush();
        return console_.str();
    }

    //! The next line of the main input after what the routines consumed.
    std::string next_main_line() {
        std::string line;
        std::getline(main_, line);
        return line;
    }

    std::unique_ptr<Model> model_ = std::make_unique<Model>();
    Model& m = *model_;

private:
    std::ostringstream console_;
    std::istringstream keyboard_;
    std::istringstream main_;
    std::istringstream other_;
};

}  // namespace gruv::test
