// A libFuzzer target: every input goes through the entry GRUV_FUZZ_ENTRY of
// fuzz/entries.hpp (chosen when the target is built); a finding aborts, so
// that libFuzzer keeps the input as a crash file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/entries.hpp"

namespace {

std::string current_dir() {
    std::vector<char> buf(4096);
    if (::getcwd(buf.data(), buf.size()) == nullptr) return ".";
    return buf.data();
}

// The directory part of a path ("" for none).
std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

// Crash files must land where the fuzzer was started even while a deck runs
// in its scratch directory: a relative -artifact_prefix or
// -exact_artifact_path is made absolute, and without either the prefix is
// the starting directory. Those directories stay writable for the runs.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<std::string> args;
    static std::vector<char*> pointers;
    const std::string cwd = current_dir();
    std::vector<std::string> dirs;
    bool have_prefix = false;
    for (int n = 0; n < *argc; ++n) {
        std::string arg = (*argv)[n];
        for (const std::string flag : {"-artifact_prefix=", "-exact_artifact_path="}) {
            if (arg.rfind(flag, 0) != 0) continue;
            std::string value = arg.substr(flag.size());
            if (value.empty() || value.front() != '/') value = cwd + "/" + value;
            arg = flag + value;
            const std::string dir = directory_of(value);
            dirs.push_back(dir.empty() ? cwd : dir);
            have_prefix = true;
        }
        args.push_back(arg);
    }
    if (!have_prefix) {
        args.push_back("-artifact_prefix=" + cwd + "/");
        dirs.push_back(cwd);
    }
    for (std::string& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(args.size());
    *argv = pointers.data();
    gruv::fuzz::allow_writes_beneath(dirs);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const gruv::fuzz::Finding finding =
        gruv::fuzz::GRUV_FUZZ_ENTRY(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!finding.empty()) {
        std::fprintf(stderr, "\n*** gruv3d fuzz finding: %s\n", finding.c_str());
        std::abort();
    }
    return 0;
}
