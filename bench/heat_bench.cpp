// Speed of the heat transport on the full grid of 100 x 100 x 10 nodes: the
// sweeps of each heat solver (in solves of kSweeps sweeps), one assembly of
// the heat equation, the re-assembly inside a solve with temperature-
// dependent rock conductivity (all of it, and after a few hundred nodes
// changed), and one whole coupled time step (flow set-up and solve,
// velocities, heat set-up and solve). Figures are node updates per second
// (items_per_second), per sweep or per assembly.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "flow/flow.hpp"
#include "heat/heat.hpp"
#include "state/model.hpp"
#include "support/grid_model.hpp"

namespace {

using gruv::Model;

constexpr int kSweeps = 10;  //!< sweeps of one solve
constexpr int64_t kNodes = int64_t{gruv::IX} * gruv::IY * gruv::IZ;

//! A saturated aquifer of 5 m cells, 1 m layers, with a regional head
//! gradient, a warm stripe and a heat source, and convection switched on.
std::unique_ptr<Model> full_grid() {
    auto owner = std::make_unique<Model>();
    Model& m = *owner;
    gruv::test::set_uniform_grid(m, gruv::IX, gruv::IY, gruv::IZ, 5.0f, 5.0f, 1.0f);
    const auto& d = m.ndim;
    for (int k = 1; k <= d.NZ; ++k) {
        m.phys.SAETT(k) = 1.0f;
        m.temp.TGEF(k) = 273.15;
    }
    m.par3 = gruv::kBuiltInMaterialData;
    m.par4.DTGEF = 0.1f;
    m.par4.DTHALB = 0.05f;
    m.par4.DWAN = 0.001f;
    m.phys.ANISX = m.phys.ANISY = m.phys.ANISZ = 1.0f;
    m.par2.SPKONS = 1.0E30f;
    m.par2.HGOK = 100.0f;
    m.par2.ALFA = 1.0f;
    m.par2.OMEGA = 1.5f;
    m.par2.EPSH = 1.0E-6f;
    m.par1.DELT = 86400.0f;
    m.par1.ZFAKT = 1.0f;
    m.par1.ALFAT = 1.0f;
    m.par1.OMEGT = 1.2f;
    m.par1.EPST = 1.0E-6f;
    m.inf1.ITMAX = 1;
    m.inf1.ISCHEM = 5;
    m.inf2.KONVEK = 1;
    m.inf2.IMISCH = 1;
    m.inf2.ISTOFF = 1;
    m.inf2.IOUT = 1;
    m.inf4.IMODE = 1;
    m.phys.CPGE.fill(900.0f);
    m.phys.RHOG.fill(2600.0f);
    m.phys.WLKG.fill(2.4f);
    m.phys.PHIG.fill(0.25f);
    m.phys.PHIN.fill(0.2f);
    m.trns.TRSX.fill(1.0E-4f);
    m.trns.TRSY.fill(1.0E-4f);
    m.trns.TRSZ.fill(1.0E-5f);
    m.trns.SPEI.fill(1.0E-4f);
    m.ifld.IFLG.fill(1);
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) {
                m.ifld.JFLG(i, j, k) = i == 1 || i == d.NX ? 2 : 1;
                const float head = 110.0f - 0.01f * static_cast<float>(i);
                m.wpot.WPOT(i, j, k) = m.wpot.WPOTA(i, j, k) = head;
                const double t = 283.15 + (j > 45 && j < 55 ? 5.0 : 0.0) + 0.01 * i;
                m.temp.TEMP(i, j, k) = m.temp.TEMPA(i, j, k) = t;
            }
    m.ener.SOUC(50, 50, 5) = 1000.0f;
    gruv::FLIESS(m);
    gruv::AUFNUL(m);
    gruv::KOEFFT(m, 1, 1, 1, d.NX, d.NY, d.NZ);
    gruv::QKOEFT(m);
    return owner;
}

//! Solves of exactly kSweeps sweeps.
void fixed_sweeps(Model& m) {
    m.inf1.ITMAX = kSweeps;
    m.par1.EPST = -1.0f;  // never converged
}

//! Point sweeps in both orders (argument: IRICHT).
void BM_ITERAT_sweep(benchmark::State& state) {
    auto owner = full_grid();
    Model& m = *owner;
    fixed_sweeps(m);
    m.par1.OMEGT = 1.2f;
    m.inf1.IRICHT = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        gruv::ITERAT(m);
        benchmark::DoNotOptimize(m.temp.TEMP.data());
    }
    state.SetItemsProcessed(state.iterations() * kNodes * kSweeps);
}
BENCHMARK(BM_ITERAT_sweep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_IADITP_sweep(benchmark::State& state) {
    auto owner = full_grid();
    Model& m = *owner;
    fixed_sweeps(m);
    m.par1.OMEGT = -1.0f;
    for (auto _ : state) {
        gruv::IADITP(m);
        benchmark::DoNotOptimize(m.temp.TEMP.data());
    }
    state.SetItemsProcessed(state.iterations() * kNodes * kSweeps);
}
BENCHMARK(BM_IADITP_sweep)->Unit(benchmark::kMillisecond);

//! The whole-grid re-assembly after a sweep with temperature-dependent rock
//! conductivity (ISTOFF 3): argument 0 assembles everything, as after the
//! first sweeps of a solve, argument 1 only what 300 changed temperatures
//! reach, as after the later ones.
void BM_reassembly(benchmark::State& state) {
    auto owner = full_grid();
    Model& m = *owner;
    m.inf2.ISTOFF = 3;
    m.par4.WLKA = 0.001f;
    m.par4.WLKB = 1.0E-5f;
    const auto& d = m.ndim;
    gruv::HeatAssembly record;
    gruv::reassemble_heat_box(m, 1, 1, 1, d.NX, d.NY, d.NZ, &record);
    const bool changes_only = state.range(0) == 1;
    int64_t step = 0;
    for (auto _ : state) {
        if (changes_only) {
            for (int n = 0; n < 300; ++n, ++step) {
                const auto o = static_cast<int>(step * 7919 % kNodes);
                m.temp.TEMP(o % d.NX + 1, o / d.NX % d.NY + 1, o / (d.NX * d.NY) + 1) += 0.01;
            }
            gruv::reassemble_heat_box(m, 1, 1, 1, d.NX, d.NY, d.NZ, &record);
        } else {
            gruv::reassemble_heat_box(m, 1, 1, 1, d.NX, d.NY, d.NZ, nullptr);
        }
        benchmark::DoNotOptimize(m.koef.KDIA.data());
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_reassembly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_KOEFFT_QKOEFT(benchmark::State& state) {
    auto owner = full_grid();
    Model& m = *owner;
    for (auto _ : state) {
        gruv::KOEFFT(m, 1, 1, 1, m.ndim.NX, m.ndim.NY, m.ndim.NZ);
        gruv::QKOEFT(m);
        benchmark::DoNotOptimize(m.koef.KDIA.data());
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_KOEFFT_QKOEFT)->Unit(benchmark::kMillisecond);

//! One step of a coupled run, each solve limited to 20 sweeps.
void BM_coupled_time_step(benchmark::State& state) {
    auto owner = full_grid();
    Model& m = *owner;
    m.inf1.ITMAX = 20;
    const auto& d = m.ndim;
    for (auto _ : state) {
        gruv::AUFNUL(m);
        gruv::KOEFFH(m);
        gruv::QKOEFH(m);
        gruv::ITERAH(m);
        gruv::FLIESS(m);
        gruv::KOPIER(m, 2);
        gruv::AUFNUL(m);
        gruv::KOEFFT(m, 1, 1, 1, d.NX, d.NY, d.NZ);
        gruv::QKOEFT(m);
        gruv::ITERAT(m);
        gruv::KOPIER(m, 1);
        benchmark::DoNotOptimize(m.temp.TEMP.data());
    }
}
BENCHMARK(BM_coupled_time_step)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
