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

#include "results/background_writer.hpp"
#include "results/node_fields.hpp"
#include "results/output_file.hpp"
#include "state/model.hpp"

namespace gruv {

//! The fields come gathered; the background writer writes the files, and
//! its failures are ResultErrors.
class VtkCollection {
public:
    explicit VtkCollection(BackgroundWriter& writer) : writer_(writer) {}

    //! Creates the folder. Throws ResultError.
    void open(const std::filesystem::path& dir);
    //! The files the collection may take besides its grid files.
    std::vector<std::filesystem::path> files() const;
    //! Takes the grid and the fields of the run, removes the grid files an
    //! earlier run left in the folder, writes an empty collection and has
    //! "properties.vtr" written (fixed_fields, gathered in fixed). Throws
    //! ResultError.
    void start(Model& m, const std::vector<GatheredField>& fixed);
    //! Has "results_NNNNN.vtr" of the state (state_fields, then
    //! velocity_fields, gathered in values) written and listed in the
    //! collection (replaced whole, so it only ever names complete files).
    //! Throws ResultError when the file cannot be created.
    void snapshot(int32_t step, float time, const std::vector<GatheredField>& values);

private:
    //! The XML of a grid file before its appended data: the time (with_time),
    //! the cell fields, the velocity (with_velocity) and the coordinates, in
    //! the order write_grid writes their blocks.
    std::string layout(bool with_time, const std::vector<const NodeField*>& cells, bool with_velocity) const;
    //! Writes a grid file laid out by layout(): its XML, the time and step
    //! (when time is given), the cell fields, the velocity (the last three
    //! of cells, with_velocity) and the coordinates.
    void write_grid(OutputFile& f, const std::string& xml, const double* time, const int32_t* step,
                    const std::vector<GatheredField>& cells, bool with_velocity) const;
    void write_collection() const;

    BackgroundWriter& writer_;
    std::filesystem::path dir_;
    std::vector<std::pair<float, std::string>> listed_;  // time [s] and file of every snapshot (the writer's)
    std::vector<NodeField> state_, velocity_, fixed_;
    std::vector<const NodeField*> snapshot_cells_;  // the state
    std::vector<double> x_, y_, z_;                 // cell faces; z elevation relative to the ground surface, upward
    std::size_t layer_ = 0, layers_ = 0, cells_ = 0;  // cells in a layer, layers, cells
    std::size_t snapshots_ = 0;
    std::string snapshot_xml_;  // laid out once at start
};

}  // namespace gruv
