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
        loaded = true;  // the handle stays open for the life of the process
    });
    reason = failure;
    return loaded ? &library : nullptr;
}

}  // namespace gruv
