// Loads the NetCDF C library by the name it had when the program was built.
#include "results/netcdf_library.hpp"

#include <dlfcn.h>

#include <mutex>

namespace gruv {

const NetcdfLibrary* netcdf_library(std::string& reason) {
    static NetcdfLibrary library;
    static std::string failure;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        void* handle = ::dlopen(GRUV_NETCDF_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = ::dlerror();
            failure = why != nullptr ? why : GRUV_NETCDF_SONAME;
            return;
        }
#define GRUV_NETCDF_LOAD(f)                                                    \
    library.f = reinterpret_cast<decltype(library.f)>(::dlsym(handle, #f));   \
    if (library.f == nullptr) {                                                \
        failure = std::string(GRUV_NETCDF_SONAME) + ": " #f " fehlt";          \
        return;                                                                \
    }
        GRUV_NETCDF_FUNCTIONS(GRUV_NETCDF_LOAD)
#undef GRUV_NETCDF_LOAD
        // HDF5, below the library, would close itself when the process ends
        // and, after a file it could not create, complain on standard error
        // in lines of its own. The files are closed before the end; HDF5 is
        // told before its first use to leave the end alone.
        using DontAtexit = int (*)();
        if (auto dont_atexit = reinterpret_cast<DontAtexit>(::dlsym(handle, "H5dont_atexit"))) dont_atexit();
        // The library sets itself up (its settings files, the storage layers)
        // at its first file; done here, that work goes with the loading.
        using Initialize = int (*)();
        if (auto initialize = reinterpret_cast<Initialize>(::dlsym(handle, "nc_initialize"))) initialize();
        loaded = true;  // the handle stays open for the life of the process
    });
    reason = failure;
    return loaded ? &library : nullptr;
}

}  // namespace gruv
