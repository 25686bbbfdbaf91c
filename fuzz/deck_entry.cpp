// Fuzz entry of whole runs: a deck (and the files it reads) run in-process in
// a scratch working directory, on a thread that may write nowhere else.
#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "control/control.hpp"
#include "fuzz/entries.hpp"
#include "state/stop.hpp"

namespace gruv::fuzz {

namespace fs = std::filesystem;

namespace {

// A run of the fuzzer: a few steps and sweeps on a small grid, so that a
// deck costs milliseconds. Steps and sweeps above these are cut (the example
// decks stay useful seeds); a larger grid is refused after card 17.
constexpr RunLimits kLimits{.steps = 4, .sweeps = 25, .nodes = 400};

// The line that starts a further file of the input.
constexpr std::string_view kFileMark = "@@@ ";

std::mutex dirs_mutex;
std::vector<std::string> writable_dirs;  // besides the scratch directory

const fs::path& scratch_dir();

void remove_scratch_dir() {
    std::error_code ec;
    fs::remove_all(scratch_dir(), ec);
}

//! The scratch directory of this process, made on first use and removed at
//! its end (registered once the directory exists, so the removal comes
//! before the path is destroyed).
const fs::path& scratch_dir() {
    static const fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "gruv3d-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("gruv3d fuzz: mkdtemp");
            std::abort();
        }
        return fs::path(pattern);
    }();
    [[maybe_unused]] static const int registered = std::atexit(remove_scratch_dir);
    return dir;
}

void empty_dir(const fs::path& dir) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) fs::remove_all(entry.path(), ec);
}

//! A file name of the input: letters, digits and ". _ -" only, so that a
//! file stays inside the scratch directory.
bool plain_name(std::string_view name) {
    if (name.empty() || name.size() > 40 || name == "." || name == "..") return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
               c == '-';
    });
}

//! Writes the files of the input into dir: "GRUVAT" up to the first line
//! that starts with the mark, then each marked file up to the next.
void write_files(const fs::path& dir, std::string_view data) {
    std::string name = "GRUVAT";
    const std::string next_mark = "\n" + std::string(kFileMark);
    for (;;) {
        std::string_view text = data;
        std::string_view rest;
        if (data.rfind(kFileMark, 0) == 0) {
            text = {};
            rest = data;
        } else if (const std::size_t end = data.find(next_mark); end != std::string_view::npos) {
            text = data.substr(0, end + 1);
            rest = data.substr(end + 1);
        }
        if (plain_name(name)) {
            std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
        }
        if (rest.empty()) return;
        rest.remove_prefix(kFileMark.size());
        const std::size_t eol = rest.find('\n');
        name = std::string(rest.substr(0, eol));
        while (!name.empty() && (name.back() == ' ' || name.back() == '\r')) name.pop_back();
        data = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    }
}

//! Closes the file system to writing by this thread, except beneath the
//! given directories (Landlock); false where the kernel does not offer it.
bool restrict_writes(const std::vector<std::string>& dirs) {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1) return false;
    landlock_ruleset_attr ruleset{};
    ruleset.handled_access_fs = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                                LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
                                LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                                LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                                LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
#ifdef LANDLOCK_ACCESS_FS_REFER
    if (abi >= 2) ruleset.handled_access_fs |= LANDLOCK_ACCESS_FS_REFER;
#endif
#ifdef LANDLOCK_ACCESS_FS_TRUNCATE
    if (abi >= 3) ruleset.handled_access_fs |= LANDLOCK_ACCESS_FS_TRUNCATE;
#endif
    const int fd = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &ruleset, sizeof ruleset, 0));
    if (fd < 0) return false;
    bool ok = true;
    for (const std::string& dir : dirs) {
        landlock_path_beneath_attr beneath{};
        beneath.allowed_access = ruleset.handled_access_fs;
        beneath.parent_fd = ::open(dir.c_str(), O_PATH | O_CLOEXEC);
        if (beneath.parent_fd < 0) continue;
        ok = ok && ::syscall(SYS_landlock_add_rule, fd, LANDLOCK_RULE_PATH_BENEATH, &beneath, 0) == 0;
        ::close(beneath.parent_fd);
    }
    ok = ok && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::syscall(SYS_landlock_restrict_self, fd, 0) == 0;
    ::close(fd);
    return ok;
}

// The exact size of a struct of the given members in this order.
template <class... Members>
constexpr std::size_t size_of_struct() {
    std::size_t size = 0;
    std::size_t align = 1;
    ((size = (size + alignof(Members) - 1) / alignof(Members) * alignof(Members) + sizeof(Members),
      align = std::max(align, alignof(Members))),
     ...);
    return (size + align - 1) / align * align;
}

//! A new unit table: the files of the last run closed, the console nowhere.
void reset_units(Model& m) {
    std::destroy_at(&m.io);
    std::construct_at(&m.io);
}

//! The run state back to that of a new Model, without allocating its node
//! arrays again (a Model of the fixed bounds holds some 30 MB, and making and
//! clearing them anew was most of the time of a short run): every group is
//! copied from a Model that never ran, the unit table is made anew.
void reset(Model& m) {
    static const auto fresh = std::make_unique<const Model>();
    const Model& f = *fresh;
    m.ndim = f.ndim;
    m.inf1 = f.inf1;
    m.inf2 = f.inf2;
    m.inf3 = f.inf3;
    m.inf4 = f.inf4;
    m.inf5 = f.inf5;
    m.ipro = f.ipro;
    m.isop = f.isop;
    m.par1 = f.par1;
    m.par2 = f.par2;
    m.par3 = f.par3;
    m.par4 = f.par4;
    m.ekal = f.ekal;
    m.gitt = f.gitt;
    m.wpot = f.wpot;
    m.trns = f.trns;
    m.phys = f.phys;
    m.temp = f.temp;
    m.ifld = f.ifld;
    m.ener = f.ener;
    m.koef = f.koef;
    m.iadi = f.iadi;
    m.incb = f.incb;
    m.izy1 = f.izy1;
    m.zyk1 = f.zyk1;
    m.zyk2 = f.zyk2;
    m.form = f.form;
    m.zusd = f.zusd;
    m.run = f.run;
    reset_units(m);
}
// A group added to Model changes its size: add it to reset() too.
static_assert(sizeof(Model) == size_of_struct<NDIM, INF1, INF2, INF3, INF4, INF5, IPRO, ISOP, PAR1, PAR2, PAR3, PAR4,
                                              EKAL, GITT, WPOT, TRNS, PHYS, TEMP, IFLD, ENER, KOEF, IADI, INCB, IZY1,
                                              ZYK1, ZYK2, FORM, ZUSD, RunDescription, Io>(),
              "reset() must copy every group of Model");

//! One run of GRUVAT in the working directory; the console goes nowhere.
//! Every run writes the CSV tables and the ParaView files too, every fourth
//! the NetCDF file (the library costs more than a short run), chosen by the
//! input, so that a finding repeats.
Finding run_deck(bool netcdf) {
    static const auto model = std::make_unique<Model>();
    reset(*model);
    std::ostringstream console;
    std::istringstream keyboard;
    model->io.console().attach(console, keyboard, false);
    RunOptions options;
    options.limits = kLimits;
    options.results.csv_dir = "ergebnis-csv";
    options.results.vtk_dir = "ergebnis-vtk";
    if (netcdf) options.results.netcdf_file = "ergebnis.nc";
    int status = -1;
    try {
        status = GRUV3D(*model, options);
    } catch (const std::exception& e) {
        reset_units(*model);
        return std::string("internal error: ") + e.what() + "\nconsole:\n" + console.str();
    }
    reset_units(*model);  // before the console stream ends
    const std::string text = console.str();
    if (status != kExitNormal && status != kExitInput && status != kExitAborted && status != kExitWrite)
        return "exit status " + std::to_string(status) + "\nconsole:\n" + text;
    // A run that ends normally closes with its computing time; any other end
    // says why below the banner (whose last line is a row of '*').
    const std::size_t last = text.find_last_not_of(" \n");
    const std::size_t line = text.rfind('\n', last == std::string::npos ? 0 : last);
    const std::string_view last_line =
        last == std::string::npos ? std::string_view() : std::string_view(text).substr(line + 1, last - line);
    if (status == kExitNormal && last_line.find("Gesamtrechenzeit:") == std::string_view::npos)
        return "exit status 0 without the closing lines\nconsole:\n" + text;
    if (status != kExitNormal && last_line.find_first_not_of('*') == std::string_view::npos)
        return "exit status " + std::to_string(status) + " without a message\nconsole:\n" + text;
    return {};
}

}  // namespace

bool writes_confined() {
    return ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION) >= 1;
}

void allow_writes_beneath(std::vector<std::string> dirs) {
    const std::lock_guard<std::mutex> lock(dirs_mutex);
    writable_dirs = std::move(dirs);
}

Finding deck_input(std::string_view data) {
    const fs::path& dir = scratch_dir();
    empty_dir(dir);
    write_files(dir, data);
    std::vector<std::string> dirs{dir.string()};
    {
        const std::lock_guard<std::mutex> lock(dirs_mutex);
        dirs.insert(dirs.end(), writable_dirs.begin(), writable_dirs.end());
    }
    // The run gets a thread of its own: its working directory is the scratch
    // directory, and once restricted it cannot write anywhere else (a deck
    // names its result files, and may name any path).
    // Where the thread cannot have a working directory of its own, it
    // changes the process's, and the process returns to its own afterwards.
    Finding finding;
    const int home = ::open(".", O_PATH | O_CLOEXEC);
    bool shared_dir = false;
    std::thread run([&] {
        static std::once_flag warned;
        shared_dir = ::unshare(CLONE_FS) != 0;
        if (::chdir(dir.c_str()) != 0) {
            finding = "cannot enter the scratch directory " + dir.string();
            return;
        }
        if (!restrict_writes(dirs)) {
            std::call_once(warned, [] {
                std::fputs("gruv3d fuzz: Landlock not available - decks may write outside the scratch directory\n",
                           stderr);
            });
        }
        finding = run_deck(data.size() % 4 == 0);
    });
    run.join();
    if (shared_dir && (home < 0 || ::fchdir(home) != 0)) finding = "cannot return from the scratch directory";
    if (home >= 0) ::close(home);
    empty_dir(dir);
    return finding;
}

}  // namespace gruv::fuzz
