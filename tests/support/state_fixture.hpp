// A test fixture around a Model for driving routines directly: the console
// captured, the main input file (unit 5) and the additional data file (unit
// 8) read from strings, and the stops of the run caught.
#pragma once
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "state/stop.hpp"
#include "support/grid_model.hpp"

namespace gruv::test {

class StateFixture : public ::testing::Test {
protected:
    StateFixture() {
        m.par2.LEERW = -99.9f;
        m.inf2.IERST = 1;
    }

    //! Grid size as card 17 sets it.
    void grid_size(int32_t nx, int32_t ny, int32_t nz) { m.ndim = {nx, ny, nz, nx - 1, ny - 1, nz - 1}; }

    //! The text the main input file (unit 5), or the additional data file
    //! (unit 8), holds from now on.
    void input(const std::string& text, int32_t unit = 5) {
        auto& s = unit == 5 ? main_ : other_;
        s.str(text);
        s.clear();
        m.io.attach_input(unit, s);
    }
    void additional_file(const std::string& text) { input(text, 8); }

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
    std::string console() { return captured_.text(); }

    //! The next line of the main input after what the routines consumed.
    std::string next_main_line() {
        std::string line;
        std::getline(main_, line);
        return line;
    }

private:
    // Declared before the model: its units read from them to the end.
    std::istringstream main_;
    std::istringstream other_;
    CapturedModel captured_;

protected:
    Model& m = captured_.m;
};

}  // namespace gruv::test
