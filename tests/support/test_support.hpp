// Helpers of the tests: whole runs of a deck in a scratch directory, files,
// golden-file comparison.
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "results/results.hpp"
#include "state/model.hpp"

namespace gruv::test {

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, std::string_view text);
//! Text of a file below the source tree (e.g. "examples/steady_flow.gruv").
std::string source_file(std::string_view relative);

//! A fresh directory that is the working directory while the object lives.
class ScratchDir {
public:
    explicit ScratchDir(std::string_view tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

//! The outcome of a whole run.
struct RunResult {
    int status = -1;                     //!< exit status GRUV3D returned
    std::string console;                 //!< everything written to the console
    std::unique_ptr<Model> model;        //!< the state at the end of the run
    std::unique_ptr<ScratchDir> dir;     //!< the working directory of the run (still current)
    //! Text of a file the run left in its directory ("" when missing).
    std::string file(std::string_view name) const;
};

//! Runs GRUV3D in-process in a fresh scratch directory holding the given
//! files (name -> content); the keyboard reads from `keyboard`. The main input
//! file is "GRUVAT" unless input_file names another; results names the
//! result files for other tools (none by default).
RunResult run_deck(const std::map<std::string, std::string>& files, std::string_view keyboard = "",
                   std::string_view input_file = "GRUVAT", const ResultPaths& results = {});

//! Replaces the computing-time figure of every "Gesamtrechenzeit:" line.
std::string mask_volatile(std::string_view text);

//! Compares text with the golden file tests/<relative> byte for byte and fails
//! with the first differing lines; GRUV_UPDATE_GOLDEN=1 rewrites the file.
void expect_golden(std::string_view text, std::string_view relative);

}  // namespace gruv::test
