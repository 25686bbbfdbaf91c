// The heat equation of single nodes: scheme weights, effective conductivities,
// convective mass flows, storage terms and right-hand sides, each against the
// physics evaluated independently here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "heat/heat.hpp"
#include "heat/heat_fixture.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

using test::HeatModel;

TEST(Peclet, WeightOfEveryScheme) {
    HeatModel h(1, 1, 1);
    struct Case {
        int scheme;
        float F, D;
        double weight;
    };
    const double e1 = 1.0 / std::expm1(1.0), e10 = 10.0 / std::expm1(10.0);
    for (const Case& c : {
             Case{1, 1, 1, 0.5}, {1, -6, 1, -2.0}, {1, 6, 0, 1.0}, {7, 6, 1, -2.0},  // central, not limited below
             {2, 50, 1, 1.0},                                                       // upwind
             {3, 1, 1, 0.5}, {3, 6, 1, 0.0}, {3, 6, 0, 1.0},                        // hybrid
             {4, 5, 1, 0.03125}, {4, -20, 1, 0.0}, {4, 20, 0, 1.0},                 // power law
             {5, 1, 1, e1}, {5, -10, 1, e10}, {5, 0, 1, 1.0}, {5, 1, 0, 1.0},       // exponential
             {5, 1000, 1, 0.0}, {5, 1.0E30f, 1.0E-30f, 0.0},                        // underflow: upstream flow alone
             // exp(|P|) rounds to 1 in single precision below about 6E-8: the
             // weight tends to its limit 1 - |P|/2 instead of turning infinite.
             {5, 1.0E-9f, 1, 1.0}, {5, 3.0E-8f, 1, 1.0 - 1.5E-8}, {5, 6.0E-8f, 1, 1.0 - 3.0E-8},
             {5, 1.0E-6f, 1, 1.0 - 5.0E-7}, {5, 1.0E-30f, 1.0E10f, 1.0}}) {
        h.m.inf1.ISCHEM = c.scheme;
        h.m.koef.FKO(1) = c.F;
        h.m.koef.AKO(1) = c.D;
        PECLET(h.m, 1);
        EXPECT_NEAR(h.m.koef.PKO(1), c.weight, 1e-7) << c.scheme << " " << c.F << " " << c.D;
    }
}

//! Interface conductivity of node 1 of a 2 x 1 x 1 grid whose nodes have
//! porosity phi and rock conductivity wlkg.
float interface_value(HeatModel& h, float phi, float wlkg) {
    for (int i = 1; i <= 2; ++i) {
        h.m.phys.PHIG(i, 1, 1) = phi;
        h.m.phys.WLKG(i, 1, 1) = wlkg;
    }
    h.m.phys.KFMX(1, 1, 1) = -1.0f;
    KONINF(h.m, 1, 1, 1);
    return h.m.phys.KFMX(1, 1, 1);
}

TEST(Koninf, MixingRules) {
    HeatModel h(2, 1, 1);
    const double lw = 0.57, r = lw / 2.5;  // saturated, above freezing: water
    struct Case {
        int rule;
        float phi, wlkg;
        double lambda;
    };
    for (const Case& c : {
             Case{1, 0, 2.5f, 2.5}, {2, 0, 2.5f, 2.5}, {3, 0, 2.5f, 2.5},  // porosity 0: the rock
             {1, 1, 2.5f, lw}, {3, 1, 2.5f, lw}, {2, 1, 2.5f, 2.5 * (1.0 - 3.0 * (1.0 - r) / (3.0 + r))},
             {1, 0.3f, 2.5f, 2.5 * (1.0 - 0.3 * (1.0 + 2.0 * r) * (1.0 - r) / (3.0 * r + 0.3 * (1.0 - r)))},
             {3, 0.3f, 2.5f, 0.7 * 2.5 + 0.3 * lw},
             // A rock of conductivity 0: the limit 2*phi*lf/(3 - phi) of the
             // first bound, finite; the second keeps its guard and gives 0.
             {1, 0.4f, 0, 2.0 * 0.4 * lw / 2.6}, {1, 0, 0, 0.0}, {2, 0.4f, 0, 0.0}}) {
        h.m.inf2.IMISCH = c.rule;
        EXPECT_NEAR(interface_value(h, c.phi, c.wlkg), c.lambda, 1e-5) << c.rule << " " << c.phi << " " << c.wlkg;
    }
    // No pores and no fluid conductivity (material data switched off): the rock, not 0/0.
    h.m.inf2.IMISCH = 1;
    h.m.par3 = PAR3{};
    EXPECT_EQ(interface_value(h, 0, 2.5f), 2.5f);
}

TEST(Koninf, PoreFillingRockAndConvectiveForm) {
    HeatModel h(2, 1, 1);
    auto& T = h.m.temp.TEMP;
    h.m.phys.SAETT(1) = 0.5f;
    EXPECT_NEAR(interface_value(h, 1, 0), 0.5 * 0.57 + 0.5 * 0.025, 1e-6);  // water and air
    h.m.phys.SAETT(1) = 1.0f;
    T(1, 1, 1) = T(2, 1, 1) = 270.0;
    EXPECT_NEAR(interface_value(h, 1, 0), 0.57, 1e-6);  // no freezing curve: liquid
    h.m.ifld.IEIS(1) = 1;                                // a curve with no liquid left: ice
    EXPECT_NEAR(interface_value(h, 1, 0), 2.25, 1e-6);
    // Rock conductivity at 30 degC after temperature and depth (0.5 m).
    T(1, 1, 1) = T(2, 1, 1) = 303.15;
    struct Case {
        int istoff;
        float a, b, c;
        double lambda;
    };
    for (const Case& c : {Case{3, 0.01f, 0, 0, 2.5 * 1.3}, {4, 2.0f, 0, 0.5f, 2.5 * 2.0 + 2.5 * 0.5},
                          {5, 0.01f, 1.0f, 0, 2.5 / 1.25 + 0.027 * (0.5 - 400.0)}}) {
        h.m.inf2.ISTOFF = c.istoff;
        h.m.par4.WLKA = c.a;
        h.m.par4.WLKB = c.b;
        h.m.par4.WLKC = c.c;
        EXPECT_NEAR(interface_value(h, 0, 2.5f), c.lambda, 1e-4) << c.istoff;
    }
    // Anisotropy; convection divides by the porosity-weighted heat capacity.
    h.m.inf2.ISTOFF = 1;
    h.m.phys.ANISX = 2.0f;
    EXPECT_NEAR(interface_value(h, 0, 2.5f), 5.0, 1e-6);
    h.m.phys.ANISX = 1.0f;
    h.m.inf2.KONVEK = 1;
    T(1, 1, 1) = T(2, 1, 1) = 283.15;
    EXPECT_NEAR(interface_value(h, 0.25f, 2.0f), (0.75 * 2.0 + 0.25 * 0.57) / (0.25 * 4200.0 + 0.75 * 1000.0), 1e-8);
}

TEST(Flukof, MassFlowsOfTheFaces) {
    HeatModel h(3, 2, 3);
    Model& m = h.m;
    m.inf4.IMODE = 1;
    m.phys.GWVX.fill(1.0E-6f);
    m.phys.GWVY.fill(2.0E-6f);
    m.phys.GWVZ.fill(-3.0E-6f);
    m.phys.PHIN.fill(0.2f);
    auto expect_flows = [&](int i, int j, int k, std::initializer_list<float> expected) {
        FLUKOF(m, i, j, k);
        int face = 1;
        for (float f : expected) EXPECT_FLOAT_EQ(m.koef.FKO(face++), f) << i << j << k << " face " << face - 1;
    };
    // The outer faces of the grid are closed to convection, at both ends.
    expect_flows(3, 2, 3, {1.0E-3f, 0, 2.0E-3f, 0, -3.0E-3f, 0});
    expect_flows(1, 1, 1, {0, 1.0E-3f, 0, 2.0E-3f, 0, -3.0E-3f});
    // A neighbour taken out of the heat transport (TTOT: marker capacity,
    // 999 degC) delivers no water: its face is closed like an outer one.
    m.phys.CPGE(2, 2, 3) = m.par2.SPKONS;
    expect_flows(3, 2, 3, {0, 0, 2.0E-3f, 0, -3.0E-3f, 0});
    m.phys.CPGE(2, 2, 3) = 1000.0f;
    // Partly frozen water (half liquid below freezing) is lighter.
    m.ifld.IEIS(2) = 1;
    m.ener.EISK(2, 3) = 0.5f;
    m.temp.TEMP(2, 1, 2) = 272.15;
    const float rho = 0.5f * 1000.0f + 0.5f * 917.0f;
    expect_flows(2, 1, 2, {rho * 1.0E-6f, rho * 1.0E-6f, 0, rho * 2.0E-6f, rho * -3.0E-6f, rho * -3.0E-6f});

    // Heat-only runs: the fluid flags decide. Saturated layers move water
    // horizontally, partly saturated ones vertically; none moves at an
    // exchanger, in frozen or in undrainable pores.
    m.inf4.IMODE = 0;
    m.phys.SAETT(3) = 0.5f;
    m.ifld.IFLG(2, 2, 1) = 5;
    m.temp.TEMP(2, 2, 3) = 272.0;
    m.phys.PHIN(1, 2, 3) = 0.0f;
    FLUSFL(m, 1, 1, 1, 3, 2, 3);
    EXPECT_EQ(m.ifld.IFLU(1, 1, 1), 1);
    EXPECT_EQ(m.ifld.IFLU(1, 1, 3), -1);
    for (int flagged : {m.ifld.IFLU(2, 2, 1), m.ifld.IFLU(2, 2, 3), m.ifld.IFLU(1, 2, 3)}) EXPECT_EQ(flagged, 0);
    expect_flows(2, 1, 1, {1.0E-3f, 1.0E-3f, 0, 2.0E-3f, 0, 0});
    expect_flows(2, 1, 3, {0, 0, 0, 0, -3.0E-3f, 0});
    expect_flows(2, 2, 1, {0, 0, 0, 0, 0, 0});
}

TEST(Flusfl, FlagTablesOfTheListing) {
    // Two layers of 12 x 2 nodes: a saturated one with an exchanger and a
    // dry patch, a partly saturated one with a frozen node; 12 columns make
    // each row run over into a second line.
    HeatModel h(12, 2, 2, 2.5f, 4.0f, 1.5f);
    Model& m = h.m;
    m.inf1.KONTRL = 3;
    m.phys.SAETT(2) = 0.6f;
    m.phys.PHIN.fill(0.1f);
    m.ifld.IFLG(3, 1, 1) = 5;
    m.phys.PHIN(5, 2, 1) = 0.0f;
    m.temp.TEMP(11, 2, 2) = 272.0;
    FLUSFL(m, 1, 1, 1, 12, 2, 2);
    test::expect_golden(h.text(), "heat/golden/flusfl_flags.txt");
}

TEST(Koefft, ConductionAndConvection) {
    HeatModel h(3, 1, 1);
    Model& m = h.m;
    AUFNUL(m);
    m.koef.KOYM(2, 1, 1) = m.koef.KOZP(2, 1, 1) = 7.0f;
    KOEFFT(m, 1, 1, 1, 3, 1, 1);
    // One row: only the X coefficients are written, lambda*A/d each.
    EXPECT_EQ(m.koef.KOXM(2, 1, 1), 2.5f);
    EXPECT_EQ(m.koef.KOXP(3, 1, 1), 0.0f);
    EXPECT_EQ(m.koef.KOYM(2, 1, 1), 7.0f);
    EXPECT_EQ(m.koef.KOZP(2, 1, 1), 7.0f);
    const float kspe = 2500.0f * 1000.0f / 3600.0f;
    EXPECT_FLOAT_EQ(m.koef.KSPE(2, 1, 1), kspe);
    EXPECT_FLOAT_EQ(m.koef.KDIA(2, 1, 1), 5.0f + kspe);

    // Convective form: the upstream face also carries the mass flow.
    m.inf2.KONVEK = 1;
    m.inf1.ISCHEM = 2;
    m.phys.PHIG.fill(0.2f);
    m.phys.PHIN.fill(0.2f);
    m.phys.GWVX.fill(1.0E-5f);
    KOEFFT(m, 1, 1, 1, 3, 1, 1);
    const double D = (0.8 * 2.5 + 0.2 * 0.57) / (0.2 * 4200.0 + 0.8 * 1000.0), F = 1000.0 * 1.0E-5;
    EXPECT_NEAR(m.koef.KOXM(2, 1, 1), F + D, 1e-7);
    EXPECT_NEAR(m.koef.KOXP(2, 1, 1), D, 1e-7);
    EXPECT_NEAR(m.koef.KSPE(2, 1, 1), (0.8 * 2500.0 + 0.2 * 1000.0) / 3600.0, 1e-5);
    // Central differences at |P| > 2: the downstream coefficient turns negative.
    m.inf1.ISCHEM = 1;
    KOEFFT(m, 1, 1, 1, 3, 1, 1);
    EXPECT_NEAR(m.koef.KOXP(2, 1, 1), D - 0.5 * F, 1e-6);
    EXPECT_LT(m.koef.KOXP(2, 1, 1), 0.0f);
}

TEST(Koefft, StorageAndRightHandSide) {
    HeatModel h(3, 1, 1);
    Model& m = h.m;
    // At Tc = TG the storage takes the liquid heat capacity, while the
    // right-hand side of the convective form divides the source by the
    // freezing-range capacity.
    m.phys.PHIG(1, 1, 1) = 0.3f;
    m.temp.TEMP(1, 1, 1) = m.temp.TEMPA(1, 1, 1) = 273.15;
    m.ifld.IEIS(1) = 1;
    m.ener.EISK(1, 1) = 1.0f;
    m.ener.EISK(1, 2) = 2.0f;  // X = exp(2 dT)
    m.ener.SOUC(1, 1, 1) = 1000.0f;
    // Nodes of a fixed temperature and heat exchangers are held at TEMPA.
    m.ifld.IFLG(2, 1, 1) = 2;
    m.ifld.IFLG(3, 1, 1) = 5;
    m.ener.SOUC(2, 1, 1) = m.ener.SOUC(3, 1, 1) = 50.0f;
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, 3, 1, 1);
    QKOEFT(m);
    const double kspe = static_cast<double>(m.koef.KSPE(1, 1, 1));
    EXPECT_NEAR(kspe, (2500.0 * 1000.0 * 0.7 + 4200.0 * 1000.0 * 0.3) / 3600.0, 0.01);
    EXPECT_NEAR(m.koef.RSEI(1, 1, 1), kspe * 273.15 + 1000.0, 0.04);
    for (int i = 2; i <= 3; ++i) {
        EXPECT_EQ(m.koef.KSPE(i, 1, 1), 1.0E30f);
        EXPECT_EQ(m.koef.RSEI(i, 1, 1), static_cast<float>(static_cast<double>(1.0E30f) * 283.15));
        EXPECT_NEAR(m.koef.RSEI(i, 1, 1) / m.koef.KDIA(i, 1, 1), 283.15, 1e-4);
    }
    m.inf2.KONVEK = 1;
    KOEFFT(m, 1, 1, 1, 3, 1, 1);
    QKOEFT(m);
    const double xh = std::exp(2.0 * -0.05), xm = 0.5 * (1.0 + xh);
    const double cf = xm * 4200.0 + (1.0 - xm) * 2114.0 + 334715.5 * (1.0 - xh) / 0.05;
    const double source =
        static_cast<double>(m.koef.RSEI(1, 1, 1)) - static_cast<double>(m.koef.KSPE(1, 1, 1)) * 273.15;
    EXPECT_NEAR(source, 1000.0 / (0.7 * 1000.0 + 0.3 * cf), 5e-5);
}

//! A heterogeneous, partly frozen block with convection, held nodes, heat
//! exchangers and a node taken out of the heat transport, the same per seed.
void scramble(HeatModel& h, unsigned seed) {
    Model& m = h.m;
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> temperature(-3.0, 12.0);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), velocity(-3.0E-6f, 3.0E-6f);
    const auto& d = m.ndim;
    m.inf2.KONVEK = 1;
    m.inf2.ISTOFF = 3;
    m.inf2.IMISCH = 1;
    m.par4.WLKA = 0.004f;
    m.par4.WLKB = -0.0002f;
    m.par4.WLKC = 0.00001f;
    for (int k = 1; k <= d.NZ; ++k) {
        m.ifld.IEIS(k) = k % 2;
        m.ener.EISK(k, 1) = 0.9f, m.ener.EISK(k, 2) = 2.0f, m.ener.EISK(k, 3) = 0.1f;
        m.phys.SAETT(k) = k == 1 ? 0.6f : 1.0f;
    }
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) {
                m.temp.TEMP(i, j, k) = m.temp.TEMPA(i, j, k) = 273.15 + temperature(gen);
                m.phys.PHIG(i, j, k) = 0.1f + 0.3f * unit(gen);
                m.phys.PHIN(i, j, k) = unit(gen) < 0.1f ? 0.0f : 0.2f;
                m.phys.WLKG(i, j, k) = 1.5f + 2.0f * unit(gen);
                m.phys.GWVX(i, j, k) = velocity(gen);
                m.phys.GWVY(i, j, k) = velocity(gen);
                m.phys.GWVZ(i, j, k) = 0.1f * velocity(gen);
                const float f = unit(gen);
                m.ifld.IFLG(i, j, k) = f < 0.05f ? 2 : f < 0.1f ? 5 : 1;
                m.ener.SOUC(i, j, k) = unit(gen) < 0.1f ? 500.0f : 0.0f;
            }
    m.phys.CPGE(2, 1, 1) = m.par2.SPKONS;  // taken out of the heat transport
}

//! Every array a heat assembly writes, bit for bit.
void expect_same_equations(const Model& a, const Model& b, const std::string& where) {
    auto same = [](const auto& x, const auto& y) {
        return std::memcmp(x.data(), y.data(), sizeof(*x.data()) * std::size_t{IX} * IY * IZ) == 0;
    };
    const auto& p = a.phys;
    const auto& q = b.phys;
    EXPECT_TRUE(same(p.KFMX, q.KFMX) && same(p.KFMY, q.KFMY) && same(p.KFMZ, q.KFMZ)) << where;
    const auto& c = a.koef;
    const auto& e = b.koef;
    EXPECT_TRUE(same(c.KOXM, e.KOXM) && same(c.KOXP, e.KOXP) && same(c.KOYM, e.KOYM) && same(c.KOYP, e.KOYP) &&
                same(c.KOZM, e.KOZM) && same(c.KOZP, e.KOZP))
        << where;
    EXPECT_TRUE(same(c.KSPE, e.KSPE) && same(c.KDIA, e.KDIA) && same(c.RSEI, e.RSEI)) << where;
    EXPECT_TRUE(same(a.ifld.IFLU, b.ifld.IFLU)) << where;
}

// The whole-grid assembly computes each node and face once, and inside a
// solve recomputes only what changed temperatures reach; both must give the
// equations of the node-by-node assembly (the one the detailed trace runs)
// bit for bit, whether few or most temperatures change, with box assemblies
// of the freezing step in between.
TEST(Koefft, WholeGridAssembliesMatchTheNodeByNodeOne) {
    struct Shape {
        int nx, ny, nz, imode;
    };
    for (const Shape& s : {Shape{6, 5, 4, 0}, Shape{6, 5, 4, 1}, Shape{7, 6, 1, 0}, Shape{9, 1, 1, 1}}) {
        const std::string where = std::to_string(s.nx) + "x" + std::to_string(s.ny) + "x" + std::to_string(s.nz) +
                                  " IMODE " + std::to_string(s.imode);
        HeatModel fast(s.nx, s.ny, s.nz), literal(s.nx, s.ny, s.nz);
        for (HeatModel* h : {&fast, &literal}) {
            scramble(*h, 5u);
            h->m.inf4.IMODE = s.imode;
            AUFNUL(h->m);
        }
        literal.m.inf2.IBILD = 2;
        const auto& d = fast.m.ndim;
        auto whole = [&](HeatAssembly* record) {
            reassemble_heat_box(fast.m, 1, 1, 1, d.NX, d.NY, d.NZ, record);
            reassemble_heat_box(literal.m, 1, 1, 1, d.NX, d.NY, d.NZ);
        };
        KOEFFT(fast.m, 1, 1, 1, d.NX, d.NY, d.NZ);
        KOEFFT(literal.m, 1, 1, 1, d.NX, d.NY, d.NZ);
        QKOEFT(fast.m);
        QKOEFT(literal.m);
        expect_same_equations(fast.m, literal.m, where + ", set-up");
        HeatAssembly record;
        whole(&record);
        expect_same_equations(fast.m, literal.m, where + ", first re-assembly");
        std::mt19937 gen(11u);
        std::uniform_int_distribution<int> node(0, d.NX * d.NY * d.NZ - 1);
        for (int round = 0; round < 4; ++round) {
            // A few nodes move (two by less than single precision shows,
            // one through the freezing point), then a box around one of
            // them is assembled as the freezing step does; in round 1 the
            // nodes then return to where they were; the last round moves
            // most of the grid.
            const int moved = round == 3 ? d.NX * d.NY * d.NZ : 3;
            const auto before = fast.m.temp.TEMP;
            int bi = 1, bj = 1, bk = 1;
            for (int n = 0; n < moved; ++n) {
                const int o = round == 3 ? n : node(gen);
                bi = o % d.NX + 1, bj = o / d.NX % d.NY + 1, bk = o / (d.NX * d.NY) + 1;
                const double T = fast.m.temp.TEMP(bi, bj, bk);
                const double step = n % 3 == 0 ? 1.0E-12 : n % 3 == 1 ? 0.7 : 273.15 - T - 0.01;
                fast.m.temp.TEMP(bi, bj, bk) += step;
                literal.m.temp.TEMP(bi, bj, bk) += step;
            }
            const int i1 = std::max(bi - 1, 1), j1 = std::max(bj - 1, 1), k1 = std::max(bk - 1, 1);
            const int i2 = std::min(bi + 1, d.NX), j2 = std::min(bj + 1, d.NY), k2 = std::min(bk + 1, d.NZ);
            reassemble_heat_box(fast.m, i1, j1, k1, i2, j2, k2, &record);
            reassemble_heat_box(literal.m, i1, j1, k1, i2, j2, k2);
            expect_same_equations(fast.m, literal.m, where + ", box of round " + std::to_string(round));
            if (round == 1) fast.m.temp.TEMP = literal.m.temp.TEMP = before;
            whole(&record);
            expect_same_equations(fast.m, literal.m, where + ", round " + std::to_string(round));
        }
    }
}

}  // namespace
}  // namespace gruv
