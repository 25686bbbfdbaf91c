// The ParaView files of a run: one VTK XML rectilinear grid (.vtr) per
// snapshot with the state as cell data in raw appended binary form, a
// collection (.pvd) that lists them with their times, and one grid with the
// fields that do not change (properties, flags, cell volumes).
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
    //! Creates the folder. Throws ResultError.
    void open(const std::filesystem::path& dir);
    //! The files the collection may take besides its grid files.
    std::vector<std::filesystem::path> files() const;
    //! Takes the grid and the fields of the run, removes the grid files an
    //! earlier run left in the folder, and writes an empty collection and
    //! "properties.vtr". Throws ResultError.
    void start(Model& m);
    //! Writes "results_NNNNN.vtr" of the current state and lists it in the
    //! collection (replaced whole, so it only ever names complete files).
    //! Throws ResultError.
    void snapshot(int32_t step, float time);

private:
    //! The XML of a grid file before its appended data: the time (with_time),
    //! the cell fields, the velocity (with_velocity) and the coordinates, in
    //! the order write_grid writes their blocks.
    std::string layout(bool with_time, const std::vector<const NodeField*>& cells, bool with_velocity) const;
    //! Writes a grid file laid out by layout().
    void write_grid(const std::filesystem::path& path, const std::string& xml, const double* time,
                    const int32_t* step, const std::vector<const NodeField*>& cells, bool with_velocity);
    void write_collection();

    std::filesystem::path dir_;
    std::vector<std::pair<float, std::string>> listed_;  // time [s] and file of every snapshot
    std::vector<NodeField> state_, velocity_, fixed_;
    std::vector<const NodeField*> snapshot_cells_;  // the state
    std::vector<double> x_, y_, z_;                 // cell faces; z elevation relative to the ground surface, upward
    std::size_t cells_ = 0;
    std::string snapshot_xml_;           // laid out once at start
    std::vector<unsigned char> buffer_;  // one gathered field
    std::vector<float> vector_;          // the velocity, three components per cell
};

}  // namespace gruv
