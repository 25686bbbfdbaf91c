// Speed of the groundwater flow on the full grid of 100 x 100 x 10 nodes:
// the sweeps of the point iteration (in both sweep orders) and of the line
// iteration, in solves of kSweeps sweeps as a time step makes them, and one
// set-up of the flow equation (KOEFFH + QKOEFH). Figures are node updates
// per second (items_per_second), per sweep.
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>

#include "flow/flow.hpp"
#include "state/model.hpp"
#include "support/grid_model.hpp"

namespace {

using gruv::Model;

constexpr int kSweeps = 10;  //!< sweeps of one solve

//! A confined aquifer of 10 m cells and 5 m layers below a ground surface at
//! 0 m, heads of 20..30 m falling toward +X, fixed heads on the first and last
//! column, a pumping well in the middle; flow only.
std::unique_ptr<Model> full_grid(std::ostream& console, std::istream& keyboard) {
    auto owner = std::make_unique<Model>();
    Model& m = *owner;
    m.io.console().attach(console, keyboard, false);
    gruv::test::set_uniform_grid(m, gruv::IX, gruv::IY, gruv::IZ, 10.0f, 10.0f, 5.0f);
    const auto& d = m.ndim;
    m.par2.HGOK = 0.0f;
    m.par2.SPKONS = 1.0E30f;
    m.par2.ALFA = 1.0f;
    m.par2.EPSH = -1.0f;  // never converged: every solve makes ITMAX sweeps
    m.par1.DELT = 86400.0f;
    m.inf1.ITMAX = kSweeps;
    m.inf1.IRICHT = 1;
    m.inf2.IOUT = 1;
    m.inf4.IMODE = 2;
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) {
                m.trns.TRSX(i, j, k) = m.trns.TRSY(i, j, k) = 1.0E-4f;
                m.trns.TRSZ(i, j, k) = 1.0E-5f;
                m.trns.SPEI(i, j, k) = 1.0E-4f;
                m.phys.PHIN(i, j, k) = 0.2f;
                m.ifld.JFLG(i, j, k) = (i == 1 || i == d.NX) ? 2 : 1;
                const float h = 30.0f - 10.0f * static_cast<float>(i - 1) / static_cast<float>(d.NX1);
                m.wpot.WPOT(i, j, k) = m.wpot.WPOTA(i, j, k) = h;
            }
    m.trns.QUEL(50, 50, 5) = -0.01f;
    gruv::AUFNUL(m);
    gruv::KOEFFH(m);
    gruv::QKOEFH(m);
    return owner;
}

constexpr int64_t kNodes = int64_t{gruv::IX} * gruv::IY * gruv::IZ;
constexpr int64_t kNodeSweeps = kNodes * kSweeps;

void BM_IterahSweep(benchmark::State& state) {
    std::ostringstream console;
    std::istringstream keyboard;
    auto m = full_grid(console, keyboard);
    m->par2.OMEGA = 1.5f;
    m->inf1.IRICHT = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        gruv::ITERAH(*m);
        benchmark::DoNotOptimize(m->par1.FEHLER);
    }
    state.SetItemsProcessed(state.iterations() * kNodeSweeps);
}
BENCHMARK(BM_IterahSweep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_IadistSweep(benchmark::State& state) {
    std::ostringstream console;
    std::istringstream keyboard;
    auto m = full_grid(console, keyboard);
    m->par2.OMEGA = -1.0f;
    for (auto _ : state) {
        gruv::IADIST(*m);
        benchmark::DoNotOptimize(m->par1.FEHLER);
    }
    // Every node is updated once per line direction: three times a sweep.
    state.SetItemsProcessed(state.iterations() * kNodeSweeps);
    state.counters["line_updates_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * 3 * kNodeSweeps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IadistSweep)->Unit(benchmark::kMillisecond);

void BM_FlowSetUp(benchmark::State& state) {
    std::ostringstream console;
    std::istringstream keyboard;
    auto m = full_grid(console, keyboard);
    for (auto _ : state) {
        gruv::KOEFFH(*m);
        gruv::QKOEFH(*m);
        benchmark::DoNotOptimize(m->koef.KDIA.data());
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_FlowSetUp)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
