// Speed of `gruv3d --check` on the largest deck there is: a coupled run of
// 100 x 100 x 10 nodes entered node by node (16 field blocks of 100 000
// values, 160 000 lines), written once into a scratch directory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "check/check.hpp"

namespace {

namespace fs = std::filesystem;

//! The deck: control cards of a coupled run, the grid of 5 m cells and 1 m
//! layers, and every field block row by row in (10F8.2).
std::string full_grid_deck() {
    std::string d =
        "Pruefung: 100 x 100 x 10 Knoten, Knoten fuer Knoten\n"
        "(4I5)\n    0    0    0    0\n"
        "(3I5,3A20)\n    2    0    0BEOB.DAT            GRUV.LST            ZUSATZ.DAT          \n"
        "(7I5,1X,A3,3F15.0)\n   10   50   10    0    1   10    6 STU            1.0         1.0E-4            0.0\n"
        "(F15.0,7I5)\n            1.0    0    1    0    0    0    0    0\n"
        "(2F15.0,8I5)\n            1.0            1.2    0    5    1    0    0    1    1    0\n"
        "(5F15.0,3I5)\n            0.0          100.0            1.0            1.2         1.0E-5    1    0    0\n"
        "(3I5)\n   50   50    5\n"
        "(3I5)\n   10   10    1\n   90   90   10\n"
        "(3I5)\n  100  100   10\n"
        "(3I5,3F15.0)\n    0    0    0            1.0            1.0            1.0\n";
    const auto row_card = [&d](int n, const char* value) {
        d += "(10F8.2)\n";
        for (int i = 1; i <= n; ++i) d += std::string(value) + (i % 10 == 0 || i == n ? "\n" : "");
    };
    row_card(100, "     5.0");
    row_card(100, "     5.0");
    row_card(10, "     1.0");
    const auto block = [&d](const char* format, const char* value) {
        d += format;
        for (int row = 0; row < 100 * 10; ++row)
            for (int i = 1; i <= 100; ++i) d += std::string(value) + (i % 10 == 0 ? "\n" : "");
    };
    // Heat blocks (TEMP ... PHIN), the saturation, the heat production, then
    // the flow blocks (WPOT ... SPEI) and the H-flags.
    for (const char* v : {"    10.0", "   900.0", "     2.6", "     2.4"}) block("(10F8.2)\n", v);
    block("(10I8)\n", "       1");
    for (const char* v : {"    25.0", "    20.0"}) block("(10F8.2)\n", v);
    d += "(10F8.2)\n";
    for (int k = 1; k <= 10; ++k) d += "   100.0";
    d += "\n";
    block("(10F8.2)\n", "     0.0");
    for (const char* v : {"    99.0", " 1.0E-04", " 1.0E-04", " 1.0E-05", "     0.0", " 1.0E-04"})
        block("(10F8.2)\n", v);
    block("(10I8)\n", "       1");
    return d;
}

void BM_CheckFullGridNodeByNode(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / ("gruv3d-check-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "GRUVAT", std::ios::binary) << full_grid_deck();
    const fs::path home = fs::current_path();
    fs::current_path(dir);
    int64_t findings = 0;
    for (auto _ : state) {
        auto m = std::make_unique<gruv::Model>();
        gruv::RunOptions options;
        options.check = true;
        const gruv::CheckReport report = gruv::check_deck(*m, options);
        findings = report.errors + report.warnings;
        benchmark::DoNotOptimize(findings);
    }
    fs::current_path(home);
    fs::remove_all(dir);
    state.counters["findings"] = static_cast<double>(findings);
    if (findings != 0) state.SkipWithError("the full-grid deck is not sound");
}
BENCHMARK(BM_CheckFullGridNodeByNode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
