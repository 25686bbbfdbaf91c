// The ParaView files of a run: one VTK XML rectilinear grid (.vtr) per
// snapshot with the fields as cell data in raw appended binary form, and a
// collection (.pvd) that lists them with their times.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "results/node_fields.hpp"
#include "results/output_file.hpp"
#include "state/model.hpp"

namespace gruv {

class VtkCollection {
public:
    //! Creates the folder and an empty collection "results.pvd"; removes the
    //! grid files an earlier run left there. Throws ResultError.
    void open(const std::filesystem::path& dir);
    //! Takes the grid and the fields of the run.
    void start(Model& m);
    //! Writes "results_NNNNN.vtr" of the current state and lists it in the
    //! collection (replaced whole, so it only ever names complete files).
    //! Throws ResultError.
    void snapshot(int32_t step, float time);

private:
    void write_collection();

    std::filesystem::path dir_;
    std::vector<std::pair<float, std::string>> listed_;  // time [s] and file of every snapshot
    std::vector<NodeField> scalars_, velocity_, fixed_;
    std::vector<double> x_, y_, z_;  // cell faces; z elevation relative to the ground surface, upward
    std::size_t cells_ = 0;
    std::string header_;                   // the XML before the appended data, laid out at start
    std::vector<unsigned char> buffer_;    // one gathered field
    std::vector<float> vector_;            // the velocity, three components per cell
};

}  // namespace gruv
