// The NetCDF file of a run: the fields of every snapshot (start, printouts,
// end) on the grid's coordinates, following the CF conventions, for xarray,
// ParaView, QGIS and Panoply.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "results/background_writer.hpp"
#include "results/netcdf_library.hpp"
#include "results/node_fields.hpp"
#include "state/model.hpp"

namespace gruv {

//! The fields come gathered; the library is loaded and the file written by
//! the background writer, whose failures are ResultErrors.
class NetcdfFile {
public:
    explicit NetcdfFile(BackgroundWriter& writer) : writer_(writer) {}
    //! Closes a file still open; the writer must be idle.
    ~NetcdfFile();
    NetcdfFile(const NetcdfFile&) = delete;
    NetcdfFile& operator=(const NetcdfFile&) = delete;

    //! Checks that the file can be created, without touching it. Throws ResultError.
    void open(const std::string& path);
    //! Creates (or replaces) the file, then has the writer define the
    //! dimensions, variables and attributes and write the grid and the
    //! fixed fields (fixed_fields, gathered in fixed). Throws ResultError.
    void start(Model& m, const std::vector<GatheredField>& fixed);
    //! Has the state (state_fields, then velocity_fields, gathered in
    //! values) appended as one slice, and the file synced, so it is readable
    //! up to this slice whatever happens next.
    void snapshot(int32_t step, float time, const std::vector<GatheredField>& values);
    //! Has the writer close the file.
    void close();
    //! Closes the file without reporting; the writer must be idle.
    void abandon() noexcept;

private:
    struct Definition;

    //! Throws ResultError for a NetCDF status other than NC_NOERR.
    void check(int status) const;
    //! Defines a node variable with its attributes over the given dimensions.
    int define(const NodeField& f, const std::vector<int>& dims);
    //! Writes one gathered grid into a variable at the given start (count
    //! covers one grid).
    void put(int var, const GatheredField& f, const std::size_t* start, const std::size_t* count);
    //! The writer's part of start().
    void create(const Definition& d);

    BackgroundWriter& writer_;
    // Kept by the run's thread.
    std::string name_;
    std::size_t slices_ = 0;
    std::size_t dims_[3] = {0, 0, 0};  // NZ, NY, NX
    // Kept by the writer.
    const NetcdfLibrary* nc_ = nullptr;
    int ncid_ = -1;
    bool creating_ = true;
    int time_var_ = -1, step_var_ = -1;
    std::vector<int> changing_vars_;
};

}  // namespace gruv
