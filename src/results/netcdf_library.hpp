// The NetCDF C library, loaded when a run first asks for a NetCDF file: a run
// without one does not map it and the many libraries it needs.
#pragma once
#include <netcdf.h>

#include <string>

namespace gruv {

// The library's functions the NetCDF file uses.
#define GRUV_NETCDF_FUNCTIONS(X)                                                                                 \
    X(nc_create) X(nc_set_fill) X(nc_def_dim) X(nc_def_var) X(nc_def_var_chunking) X(nc_put_att_text)            \
    X(nc_put_att_int) X(nc_put_att_double) X(nc_enddef) X(nc_put_var_double) X(nc_put_vara_double)               \
    X(nc_put_vara_int) X(nc_put_vara_float) X(nc_put_var1_double) X(nc_put_var1_int) X(nc_sync) X(nc_close)      \
    X(nc_strerror)

//! Pointers to the library's functions, under their own names.
struct NetcdfLibrary {
#define GRUV_NETCDF_POINTER(f) decltype(&::f) f = nullptr;
    GRUV_NETCDF_FUNCTIONS(GRUV_NETCDF_POINTER)
#undef GRUV_NETCDF_POINTER
};

//! The library, loaded on the first call; nullptr when it cannot be loaded,
//! with the loader's reason in `reason`.
const NetcdfLibrary* netcdf_library(std::string& reason);

}  // namespace gruv
