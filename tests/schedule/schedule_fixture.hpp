// A model for the tests of the scheduled changes: the console captured, the
// additional data file read from a string, and the stops of the run caught.
#pragma once
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "state/stop.hpp"
#include "support/grid_model.hpp"

namespace gruv::test {

class ScheduleFixture : public ::testing::Test {
protected:
    ScheduleFixture() {
        m.par2.LEERW = -99.9f;
        m.inf2.IERST = 1;
    }
    void grid_size(int32_t nx, int32_t ny, int32_t nz) { m.ndim = {nx, ny, nz, nx - 1, ny - 1, nz - 1}; }
    //! The text the additional data file (unit 8) holds from now on.
    void additional_file(const std::string& text) {
        file_.str(text);
        file_.clear();
        m.io.attach_input(8, file_);
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
    std::string console() { return captured_.text(); }

private:
    std::istringstream file_;  // declared first: the model's units may touch it to the end
    CapturedModel captured_;

protected:
    Model& m = captured_.m;
};

}  // namespace gruv::test
