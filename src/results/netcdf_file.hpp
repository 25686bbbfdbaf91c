// The NetCDF file of a run: the fields of every snapshot (start, printouts,
// end) on the grid's coordinates, following the CF conventions, for xarray,
// ParaView, QGIS and Panoply.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "results/netcdf_library.hpp"
#include "results/node_fields.hpp"
#include "state/model.hpp"

namespace gruv {

class NetcdfFile {
public:
    NetcdfFile() = default;
    ~NetcdfFile();
    NetcdfFile(const NetcdfFile&) = delete;
    NetcdfFile& operator=(const NetcdfFile&) = delete;

    //! Checks that the file can be created, without touching it. Throws ResultError.
    void open(const std::string& path);
    //! Creates (or replaces) the file, defines the dimensions, variables and
    //! attributes and writes the grid and the fixed fields. Throws ResultError.
    void start(Model& m);
    //! Appends the fields at the current time as one slice and syncs the
    //! file, so it is readable up to this slice whatever happens next.
    void snapshot(int32_t step, float time);
    //! Closes the file. Throws ResultError.
    void close();
    void abandon() noexcept;

private:
    //! Throws ResultError for a NetCDF status other than NC_NOERR.
    void check(int status) const;
    //! Defines a node variable with its attributes over the given dimensions.
    int define(const NodeField& f, const std::vector<int>& dims);
    //! Gathers a field and writes it at the given start (count covers one grid).
    void put(int var, const NodeField& f, const std::size_t* start, const std::size_t* count);

    struct Variable {
        int id;
        NodeField field;
    };
    const NetcdfLibrary* nc_ = nullptr;  //!< the library, loaded by open()
    int ncid_ = -1;
    std::string name_;
    bool creating_ = true;
    std::size_t slices_ = 0;
    int time_var_ = -1, step_var_ = -1;
    std::size_t dims_[3] = {0, 0, 0};  // NZ, NY, NX
    std::vector<Variable> changing_;
    std::vector<unsigned char> buffer_;
};

}  // namespace gruv
