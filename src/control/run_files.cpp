// The files of a run under their names: names from the deck that would leave
// the working directory, and two roles of a run that would use the same file.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "control/control.hpp"

namespace gruv {

namespace {

//! What makes two names the same file: device and inode of a file that
//! exists, the normalised absolute path of one that does not exist yet.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string path;

    bool operator==(const FileIdentity&) const = default;
};

FileIdentity identity_of(const RunFile& f) {
    struct stat st {};
    if ((f.fd >= 0 ? ::fstat(f.fd, &st) : ::stat(f.name.c_str(), &st)) == 0) return {true, st.st_dev, st.st_ino, {}};
    // weakly_canonical resolves the links and dots of the part that exists;
    // made absolute first, since of a bare name nothing exists and it would
    // stay relative ("x" and "./x" would differ).
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(f.name, ec);
    std::filesystem::path p = std::filesystem::weakly_canonical(absolute, ec);
    if (ec) p = absolute.lexically_normal();
    return {false, 0, 0, p.string()};
}

std::string described(const RunFile& f) { return f.name.empty() ? f.role : f.role + " " + f.name; }

}  // namespace

bool leaves_working_directory(std::string_view name) {
    if (!name.empty() && name.front() == '/') return true;
    for (const auto& part : std::filesystem::path(name))
        if (part == "..") return true;
    return false;
}

FileConflict file_conflict(const std::vector<RunFile>& files) {
    std::vector<FileIdentity> ids;
    ids.reserve(files.size());
    for (const RunFile& f : files) ids.push_back(identity_of(f));
    for (std::size_t b = 0; b < files.size(); ++b)
        for (std::size_t a = 0; a < b; ++a) {
            // A name left blank opens no file; its own message follows.
            if (files[a].fd < 0 && files[a].name.empty()) continue;
            if (files[b].fd < 0 && files[b].name.empty()) continue;
            if ((files[a].written || files[b].written) && ids[a] == ids[b])
                return {described(files[b]) + " ist dieselbe Datei wie die " + described(files[a]),
                        files[b].item >= 0 ? files[b].item : files[a].item,
                        files[b].option.empty() ? files[a].option : files[b].option};
        }
    return {};
}

std::vector<RunFile> result_files(const ResultPaths& paths, bool heat, bool observations) {
    std::vector<RunFile> files;
    if (!paths.netcdf_file.empty()) files.push_back({"NetCDF-Datei", paths.netcdf_file, true, -1, -1, "--netcdf"});
    if (!paths.vtk_dir.empty()) {
        const std::filesystem::path dir(paths.vtk_dir);
        for (const char* name : {"results.pvd", "results.pvd.neu", "properties.vtr"})
            files.push_back({"ParaView-Datei", (dir / name).string(), true, -1, -1, "--vtk"});
    }
    if (!paths.csv_dir.empty()) {
        // The names the CSV tables take in their folder.
        const std::filesystem::path dir(paths.csv_dir);
        files.push_back({"Tabelle", (dir / "solver.csv").string(), true, -1, -1, "--csv"});
        if (heat) files.push_back({"Tabelle", (dir / "energy.csv").string(), true, -1, -1, "--csv"});
        if (observations) files.push_back({"Tabelle", (dir / "observations.csv").string(), true, -1, -1, "--csv"});
    }
    return files;
}

}  // namespace gruv
