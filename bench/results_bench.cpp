// Speed of the result files for other tools on the full grid of 100 x 100 x
// 10 nodes of a coupled run: their start (files created, NetCDF defined, the
// fixed fields and the initial state written) and one printout (a NetCDF
// slice, a ParaView grid file, an energy row), each against a time step.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "results/results.hpp"
#include "state/model.hpp"
#include "support/grid_model.hpp"

namespace {

using gruv::Model;

std::unique_ptr<Model> full_grid() {
    auto owner = std::make_unique<Model>();
    Model& m = *owner;
    gruv::test::set_uniform_grid(m, gruv::IX, gruv::IY, gruv::IZ, 5.0f, 5.0f, 1.0f);
    m.par3 = gruv::kBuiltInMaterialData;
    m.par1.FZEIT = 86400.0f;
    m.par1.DELT = 86400.0f;
    m.par2.SPKONS = 1.0E30f;
    m.inf2.KONVEK = 1;
    m.inf4.IMODE = 1;
    m.phys.CPGE.fill(900.0f);
    m.phys.RHOG.fill(2600.0f);
    m.phys.PHIG.fill(0.25f);
    m.ifld.IFLG.fill(1);
    m.ifld.JFLG.fill(1);
    m.temp.TEMP.fill(283.15);
    m.wpot.WPOT.fill(100.0f);
    for (int k = 1; k <= gruv::IZ; ++k) {
        m.phys.SAETT(k) = 1.0f;
        m.temp.TGEF(k) = 273.15;
    }
    m.ifld.IFLG(50, 50, 5) = 5;
    return owner;
}

gruv::ResultPaths all_outputs(const std::filesystem::path& dir) {
    gruv::ResultPaths p;
    p.netcdf_file = (dir / "run.nc").string();
    p.vtk_dir = (dir / "vtk").string();
    p.csv_dir = (dir / "csv").string();
    return p;
}

std::filesystem::path scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "gruv3d-results-bench-XXXXXX").string();
    return mkdtemp(pattern.data());
}

void BM_ResultFilesStart(benchmark::State& state) {
    auto m = full_grid();
    const auto dir = scratch();
    for (auto _ : state) {
        gruv::ResultFiles files(all_outputs(dir));
        files.open(*m);
        files.start(*m);
        files.close(*m, 1);  // as a run that stops: no end state
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ResultFilesStart)->Unit(benchmark::kMillisecond);

void BM_ResultFilesPrintout(benchmark::State& state) {
    auto m = full_grid();
    const auto dir = scratch();
    gruv::ResultFiles files(all_outputs(dir));
    files.open(*m);
    files.start(*m);
    int32_t step = 0;
    for (auto _ : state) {
        files.step_done(*m, ++step);
        files.printout(*m);
        files.complete();  // the files written in the background included
    }
    files.close(*m, 1);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ResultFilesPrintout)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
