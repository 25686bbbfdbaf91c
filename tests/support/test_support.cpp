#include "support/test_support.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "control/control.hpp"

namespace gruv::test {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string source_file(std::string_view relative) { return read_file(fs::path(GRUV_SOURCE_DIR) / relative); }

ScratchDir::ScratchDir(std::string_view tag) : previous_(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / ("gruv3d-" + std::string(tag) + "-XXXXXX")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
    fs::current_path(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    if (std::getenv("GRUV_KEEP_SCRATCH") == nullptr) fs::remove_all(path_, ec);
}

std::string RunResult::file(std::string_view name) const {
    const fs::path p = dir->path() / name;
    return fs::exists(p) ? read_file(p) : std::string();
}

RunResult run_deck(const std::map<std::string, std::string>& files, std::string_view keyboard,
                   std::string_view input_file, const ResultPaths& results) {
    RunResult r;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    r.dir = std::make_unique<ScratchDir>(info != nullptr ? info->name() : "run");
    for (const auto& [name, text] : files) {
        const fs::path path = r.dir->path() / name;
        fs::create_directories(path.parent_path());  // a name may place the file in a sub-folder
        write_file(path, text);
    }
    r.model = std::make_unique<Model>();
    std::ostringstream console;
    std::istringstream keys{std::string(keyboard)};
    r.model->io.console().attach(console, keys, false);
    RunOptions options;
    options.input_file = std::string(input_file);
    options.results = results;
    r.status = GRUV3D(*r.model, options);
    r.model->io.flush_all();
    r.console = console.str();
    // The streams above end with this function; the model lives on.
    static std::ostream discard(nullptr);
    static std::istream nothing(nullptr);
    r.model->io.console().attach(discard, nothing, false);
    return r;
}

TextScan& TextScan::literal(std::string_view s) {
    ok_ = ok_ && text_.substr(pos_, s.size()) == s;
    if (ok_) pos_ += s.size();
    return *this;
}

std::vector<std::size_t> positions_after(std::string_view text, std::string_view head) {
    std::vector<std::size_t> after;
    for (std::size_t p = text.find(head); p != std::string_view::npos; p = text.find(head, p + 1))
        after.push_back(p + head.size());
    return after;
}

std::string mask_volatile(std::string_view text) {
    constexpr std::string_view head = "Gesamtrechenzeit:";
    std::string masked;
    std::size_t copied = 0;
    for (const std::size_t p : positions_after(text, head)) {
        if (p < copied) continue;
        TextScan s(text, p);
        if (!s.blanks().one_or_more_of("0123456789.*").literal(" Minuten").ok()) continue;
        masked.append(text.substr(copied, p - head.size() - copied));
        masked.append("Gesamtrechenzeit: <masked> Minuten");
        copied = s.pos();
    }
    masked.append(text.substr(copied));
    return masked;
}

void expect_golden(std::string_view text, std::string_view relative) {
    const fs::path path = fs::path(GRUV_TESTS_DIR) / relative;
    const std::string actual = mask_volatile(text);
    const char* update = std::getenv("GRUV_UPDATE_GOLDEN");
    if (update != nullptr && std::string_view(update) == "1") {
        fs::create_directories(path.parent_path());
        write_file(path, actual);
        return;
    }
    if (!fs::exists(path)) {
        ADD_FAILURE() << "golden file " << path << " is missing (GRUV_UPDATE_GOLDEN=1 writes it)";
        return;
    }
    const std::string expected = mask_volatile(read_file(path));
    if (expected == actual) return;
    // Report the first differing lines with a little context.
    std::istringstream e(expected), a(actual);
    std::string le, la;
    int line = 0;
    std::ostringstream report;
    int shown = 0;
    while (shown < 8) {
        const bool ge = static_cast<bool>(std::getline(e, le));
        const bool ga = static_cast<bool>(std::getline(a, la));
        if (!ge && !ga) break;
        ++line;
        if (ge && ga && le == la) continue;
        report << "line " << line << "\n  expected: [" << (ge ? le : "<end>") << "]\n  actual:   ["
               << (ga ? la : "<end>") << "]\n";
        ++shown;
    }
    ADD_FAILURE() << "output differs from golden file " << relative << "\n" << report.str();
}

}  // namespace gruv::test
