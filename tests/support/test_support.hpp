// Helpers of the tests: whole runs of a deck in a scratch directory, files,
// golden-file comparison.
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "results/results.hpp"
#include "state/model.hpp"

namespace gruv::test {

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, std::string_view text);
//! Text of a file below the source tree (e.g. "examples/steady_flow/steady_flow.gruv").
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
//! files (name -> content; a name such as "lauf/deck.gruv" places the file
//! in a sub-folder); the keyboard reads from `keyboard`. The main input file
//! is "GRUVAT" unless input_file names another; results names the result
//! files for other tools (none by default).
RunResult run_deck(const std::map<std::string, std::string>& files, std::string_view keyboard = "",
                   std::string_view input_file = "GRUVAT", const ResultPaths& results = {});

//! Replaces the computing-time figure of every "Gesamtrechenzeit:" line.
std::string mask_volatile(std::string_view text);

//! Reads a text piece by piece from a position, the way a listing line is
//! laid out; once a piece does not match, every later step fails too.
class TextScan {
public:
    TextScan(std::string_view text, std::size_t pos) : text_(text), pos_(pos) {}
    //! Exactly the text s.
    TextScan& literal(std::string_view s);
    //! One or more blanks.
    TextScan& blanks() { return run([](char c) { return c == ' '; }, nullptr); }
    //! One or more of the characters in set; taken receives them.
    TextScan& one_or_more_of(std::string_view set, std::string_view* taken = nullptr) {
        return run([set](char c) { return set.find(c) != std::string_view::npos; }, taken);
    }
    //! One or more characters up to the next white space; taken receives them.
    TextScan& word(std::string_view* taken) {
        return run([](char c) { return std::string_view(" \t\n\r\f\v").find(c) == std::string_view::npos; }, taken);
    }
    bool ok() const { return ok_; }
    //! Position behind the last piece read.
    std::size_t pos() const { return pos_; }

private:
    template <class Accept>
    TextScan& run(Accept accept, std::string_view* taken) {
        std::size_t end = pos_;
        while (ok_ && end < text_.size() && accept(text_[end])) ++end;
        ok_ = ok_ && end > pos_;
        if (ok_ && taken != nullptr) *taken = text_.substr(pos_, end - pos_);
        if (ok_) pos_ = end;
        return *this;
    }
    std::string_view text_;
    std::size_t pos_;
    bool ok_ = true;
};

//! Positions just behind every occurrence of head in text, in order.
std::vector<std::size_t> positions_after(std::string_view text, std::string_view head);

//! Compares text with the golden file tests/<relative> byte for byte and fails
//! with the first differing lines; GRUV_UPDATE_GOLDEN=1 rewrites the file.
void expect_golden(std::string_view text, std::string_view relative);

}  // namespace gruv::test
