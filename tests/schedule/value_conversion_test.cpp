// Value conversion: ranges of the selectors, the factors of every keyword,
// add mode, and the application states with the switch-off group.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "input/input.hpp"
#include "input/model_fixture.hpp"
#include "schedule/schedule.hpp"

namespace gruv::test {
namespace {

class ValueConversionTest : public ModelFixture {
protected:
    // A 3 x 2 x 2 grid with cells of different sizes in every direction.
    void SetUp() override {
        grid_size(3, 2, 2);
        auto& g = m.gitt;
        const float zx[] = {1.0f, 2.0f, 3.0f}, zy[] = {1.0f, 4.0f}, zz[] = {2.0f, 5.0f};
        for (int i = 1; i <= 3; ++i) g.ZBRX(i) = zx[i - 1];
        for (int j = 1; j <= 2; ++j) g.ZBRY(j) = zy[j - 1];
        for (int k = 1; k <= 2; ++k) g.ZBRZ(k) = zz[k - 1];
        g.KABZ(1) = 3.5f;
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 2; ++j)
                for (int i = 1; i <= 3; ++i) g.ZVOL(i, j, k) = g.ZBRX(i) * g.ZBRY(j) * g.ZBRZ(k);
    }

    //! Stores entry n; the entries of the main input are 1..NUMW.
    void entry(int32_t n, const char* word, float value, int32_t i, int32_t j, int32_t k, int32_t s) {
        for (int c = 0; c < 4; ++c) m.zyk2.SWORT(n)[static_cast<std::size_t>(c)] = word[c];
        m.zyk1.WERT(n) = value;
        m.izy1.IORT(n) = i;
        m.izy1.JORT(n) = j;
        m.izy1.KORT(n) = k;
        m.izy1.IBER(n) = s;
    }

    template <class T>
    void fill(NodeArray<T>& a, T v) {
        a.fill(v);
    }

    //! Nodes of the grid where pred holds, as a string "ijk ijk ..." in loop order.
    template <class T>
    std::string nodes_equal(const NodeArray<T>& a, T v) {
        std::string s;
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 2; ++j)
                for (int i = 1; i <= 3; ++i)
                    if (a(i, j, k) == v) s += (s.empty() ? "" : " ") + std::to_string(100 * i + 10 * j + k);
        return s;
    }
};

struct SelectorCase {
    int32_t selector;
    const char* nodes;  // I J K of the changed nodes
};

class SelectorTest : public ValueConversionTest, public ::testing::WithParamInterface<SelectorCase> {};

TEST_P(SelectorTest, RangeAroundNode212) {
    const SelectorCase& c = GetParam();
    m.inf3.NUMW = 1;
    entry(1, "SOUC", 10.0f, 2, 1, 2, c.selector);
    UMWAND(m, 1, -1);
    EXPECT_EQ(nodes_equal(m.ener.SOUC, 10.0f), c.nodes) << "selector " << c.selector;
}

INSTANTIATE_TEST_SUITE_P(
    Selectors, SelectorTest,
    ::testing::Values(SelectorCase{0, "212"}, SelectorCase{1, "112 212 312"}, SelectorCase{2, "212 222"},
                      SelectorCase{3, "211 212"}, SelectorCase{4, "112 212 312 122 222 322"},
                      SelectorCase{5, "111 211 311 112 212 312"}, SelectorCase{6, "211 221 212 222"},
                      SelectorCase{7, "111 211 311 121 221 321 112 212 312 122 222 322"}, SelectorCase{8, "212"},
                      SelectorCase{99, "212"}));

TEST_F(ValueConversionTest, NegativeSelectorAddsOnTheRangeOfItsMagnitude) {
    m.inf3.NUMW = 2;
    fill(m.ener.SOUC, 1.0f);
    entry(1, "SOUC", 10.0f, 1, 2, 1, -1);
    UMWAND(m, 1, -1);
    EXPECT_EQ(nodes_equal(m.ener.SOUC, 11.0f), "121 221 321");
    EXPECT_EQ(nodes_equal(m.ener.SOUC, 1.0f), "111 211 311 112 212 312 122 222 322");
    entry(2, "SOUC", 10.0f, 0, 0, 0, -7);
    UMWAND(m, 2, -1);
    EXPECT_EQ(m.ener.SOUC(3, 2, 2), 11.0f);
    EXPECT_EQ(m.ener.SOUC(1, 2, 1), 21.0f);
}

TEST_F(ValueConversionTest, FlagsAndTemperaturesTakeANegativeSelectorAsTheNode) {
    m.inf3.NUMW = 2;
    entry(1, "IFLG", 2.0f, 3, 1, 1, -4);
    entry(2, "TEMP", 10.0f, 1, 2, 2, -7);
    UMWAND(m, 1, -1);
    UMWAND(m, 2, -1);
    EXPECT_EQ(nodes_equal(m.ifld.IFLG, 2), "311");
    // 10 + 273.15 is formed in single precision, then widened.
    EXPECT_EQ(nodes_equal(m.temp.TEMP, static_cast<double>(283.15f)), "122");
    EXPECT_EQ(m.temp.TEMPA(1, 2, 2), static_cast<double>(283.15f));
    EXPECT_NE(m.temp.TEMP(1, 2, 2), 283.15);
}

TEST_F(ValueConversionTest, FlagValuesAreTruncatedTowardZero) {
    m.inf3.NUMW = 2;
    entry(1, "IFLG", 2.9f, 1, 1, 1, 0);
    entry(2, "JFLG", -1.5f, 1, 1, 1, 0);
    UMWAND(m, 1, -1);
    UMWAND(m, 2, -1);
    EXPECT_EQ(m.ifld.IFLG(1, 1, 1), 2);
    EXPECT_EQ(m.ifld.JFLG(1, 1, 1), -1);
}

TEST_F(ValueConversionTest, HeatOutputsAreSpreadOverTheCell) {
    auto& g = m.gitt;
    m.inf3.NUMW = 7;
    entry(1, "WATT", 100.0f, 1, 1, 1, 0);  // cell of 1 x 1 x 2 m
    UMWAND(m, 1, -1);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 50.0f);
    // Per metre of a vertical line: every node of the line gets V*ZBRZ/ZVOL.
    entry(2, "WPZM", 100.0f, 3, 2, 1, 3);
    UMWAND(m, 2, -1);
    for (int k = 1; k <= 2; ++k) EXPECT_EQ(m.ener.SOUC(3, 2, k), 100.0f * g.ZBRZ(k) / g.ZVOL(3, 2, k));
    EXPECT_FLOAT_EQ(m.ener.SOUC(3, 2, 2), 100.0f / 12.0f);
    struct {
        const char* word;
        float factor;  // the cell area or length the output refers to, at node (2,2,2)
    } per_unit[] = {{"WPXM", 2.0f}, {"WPYM", 4.0f}, {"WPXY", 8.0f}, {"WPXZ", 10.0f}, {"WPYZ", 20.0f}};
    for (const auto& c : per_unit) {
        entry(3, c.word, 40.0f, 2, 2, 2, 0);
        UMWAND(m, 3, -1);
        EXPECT_FLOAT_EQ(m.ener.SOUC(2, 2, 2), 40.0f * c.factor / 40.0f) << c.word;  // ZVOL = 40
    }
}

TEST_F(ValueConversionTest, PropertyKeywordsWithTheirUnits) {
    auto& p = m.phys;
    auto& t = m.trns;
    const struct {
        const char* word;
        float value;
    } entries[] = {{"CPGE", 900.0f}, {"PHIG", 25.0f}, {"PHIN", 12.0f}, {"RHOG", 2.65f}, {"SPEI", 0.2f},
                   {"TXYZ", 3.0E-5f}, {"WLKG", 2.1f}, {"WPOT", 95.5f}, {"GWVX", 1.0E-6f}, {"GWVY", 2.0E-6f},
                   {"GWVZ", 3.0E-6f}};
    int32_t n = 0;
    for (const auto& e : entries) entry(++n, e.word, e.value, 1, 1, 1, 7);
    m.inf3.NUMW = n;
    for (int32_t i = 1; i <= n; ++i) UMWAND(m, i, -1);
    EXPECT_EQ(p.CPGE(3, 2, 2), 900.0f);
    EXPECT_EQ(p.PHIG(3, 2, 2), 25.0f / 100.0f);
    EXPECT_EQ(p.PHIN(3, 2, 2), 12.0f / 100.0f);
    EXPECT_EQ(p.RHOG(3, 2, 2), 2.65f * 1000.0f);
    EXPECT_EQ(t.SPEI(3, 2, 2), 0.2f);
    EXPECT_EQ(t.TRSX(3, 2, 2), 3.0E-5f);
    EXPECT_EQ(t.TRSY(3, 2, 2), 3.0E-5f);
    EXPECT_EQ(t.TRSZ(3, 2, 2), 3.0E-5f);
    EXPECT_EQ(p.WLKG(3, 2, 2), 2.1f);
    EXPECT_EQ(m.wpot.WPOT(3, 2, 2), 95.5f);
    EXPECT_EQ(m.wpot.WPOTA(3, 2, 2), 95.5f);
    EXPECT_EQ(p.GWVZ(3, 2, 2), 3.0E-6f);
}

TEST_F(ValueConversionTest, RechargeAndInflowAreAdded) {
    m.inf3.NUMW = 2;
    fill(m.trns.QUEL, 0.5f);
    entry(1, "GWNB", 1.0E-3f, 3, 2, 1, 0);  // per horizontal area: times 3 m x 4 m
    entry(2, "RNZF", 0.25f, 3, 2, 1, 0);
    UMWAND(m, 1, -1);
    UMWAND(m, 2, -1);
    EXPECT_EQ(m.trns.QUEL(3, 2, 1), (1.0E-3f * 3.0f * 4.0f + 0.5f) + 0.25f);
}

TEST_F(ValueConversionTest, LeakageSetsTheLayerAndTheOneBelow) {
    m.inf3.NUMW = 1;
    fill(m.trns.TRSZ, 1.0f);
    entry(1, "LEAK", 2.0E-7f, 2, 1, 1, 0);
    UMWAND(m, 1, -1);
    EXPECT_EQ(m.trns.TRSZ(2, 1, 1), 2.0E-7f * 3.5f);
    EXPECT_EQ(m.trns.TRSZ(2, 1, 2), 2.0E-7f * 3.5f);
    EXPECT_EQ(m.trns.TRSZ(1, 1, 1), 1.0f);
    EXPECT_EQ(m.izy1.KORT(1), 1);  // restored
}

TEST_F(ValueConversionTest, NodesTakenOutOfFlowAndHeat) {
    m.inf3.NUMW = 2;
    fill(m.phys.CPGE, 800.0f);
    fill(m.ener.SOUC, 4.0f);
    entry(1, "HTOT", 0.0f, 1, 1, 1, 0);
    entry(2, "TTOT", 0.0f, 2, 2, 2, 0);
    UMWAND(m, 1, -1);
    UMWAND(m, 2, -1);
    EXPECT_EQ(m.trns.TRSX(1, 1, 1), 0.0f);
    EXPECT_EQ(m.trns.SPEI(1, 1, 1), 1.0E30f);
    EXPECT_EQ(m.phys.PHIN(1, 1, 1), 1.0E30f);
    EXPECT_EQ(m.wpot.WPOTA(1, 1, 1), 999.0f);
    EXPECT_EQ(m.ifld.JFLG(1, 1, 1), 2);
    EXPECT_EQ(m.ener.SOUC(2, 2, 2), 0.0f);
    EXPECT_EQ(m.phys.CPGE(2, 2, 2), 1.0E30f);
    EXPECT_EQ(m.temp.TEMPA(2, 2, 2), static_cast<double>(1272.15f));
    EXPECT_EQ(m.ifld.IFLG(2, 2, 2), 2);
    EXPECT_EQ(m.phys.CPGE(1, 1, 1), 800.0f);
}

TEST_F(ValueConversionTest, StatesSelectTheGroups) {
    m.inf3.NUMW = 5;
    entry(1, "CPGE", 900.0f, 1, 1, 1, 0);
    entry(2, "SOUC", 10.0f, 1, 1, 1, 0);
    entry(3, "IFLG", 3.0f, 1, 1, 1, 0);
    entry(4, "TEMP", 5.0f, 2, 1, 1, 0);
    entry(5, "WPXM", 40.0f, 3, 1, 1, 0);
    // On at an interval end: sources and flags only.
    for (int n = 1; n <= 5; ++n) UMWAND(m, n, 1);
    EXPECT_EQ(m.phys.CPGE(1, 1, 1), 0.0f);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 10.0f);
    EXPECT_EQ(m.ifld.IFLG(1, 1, 1), 3);
    EXPECT_EQ(m.temp.TEMP(2, 1, 1), static_cast<double>(278.15f));
    // Off: heat production to 0, flags back to variable; the per-metre output
    // and the temperature stay.
    for (int n = 1; n <= 5; ++n) UMWAND(m, n, 0);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 0.0f);
    EXPECT_EQ(m.ifld.IFLG(1, 1, 1), 1);
    EXPECT_EQ(m.ener.SOUC(3, 1, 1), 40.0f * 3.0f / 6.0f);
    EXPECT_EQ(m.temp.TEMP(2, 1, 1), static_cast<double>(278.15f));
}

TEST_F(ValueConversionTest, SwitchedOffWaterSourceReturnsToZeroNotToTheRecharge) {
    m.inf3.NUMW = 2;
    entry(1, "GWNB", 1.0E-3f, 1, 1, 1, 0);
    entry(2, "QUEL", 5.0f, 1, 1, 1, 0);
    for (int n = 1; n <= 2; ++n) UMWAND(m, n, -1);
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 5.0f);
    for (int n = 1; n <= 2; ++n) UMWAND(m, n, 0);
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 0.0f);
    for (int n = 1; n <= 2; ++n) UMWAND(m, n, 1);
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 5.0f);
}

TEST_F(ValueConversionTest, NothingIsSwitchedOffWithAnAdditionalDataFile) {
    m.inf3.IZUSAT = 1;
    m.inf3.NUMW = 4;
    entry(1, "QUEL", 5.0f, 1, 1, 1, 0);
    entry(2, "SOUC", 10.0f, 1, 1, 1, 0);
    entry(3, "IFLG", 3.0f, 1, 1, 1, 0);
    entry(4, "JFLG", 2.0f, 1, 1, 1, 0);
    for (int n = 1; n <= 4; ++n) UMWAND(m, n, -1);
    for (int n = 1; n <= 4; ++n) UMWAND(m, n, 0);
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 5.0f);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 10.0f);
    EXPECT_EQ(m.ifld.IFLG(1, 1, 1), 3);
    EXPECT_EQ(m.ifld.JFLG(1, 1, 1), 2);
}

// Interval ends toggle off (0) and on (1). An added source must act once
// while on and not at all while off: it must not pile up from one switch-on
// to the next.
class AddModeCycleTest : public ValueConversionTest {
protected:
    //! Applies entry 1 at the start and through `ends` interval ends; the
    //! value of probe() after each application.
    std::vector<float> cycle(int ends, const std::function<float()>& probe) {
        std::vector<float> seen;
        UMWAND(m, 1, -1);
        seen.push_back(probe());
        int32_t state = 1;
        for (int e = 0; e < ends; ++e) {
            state = std::abs(state - 1);
            UMWAND(m, 1, state);
            seen.push_back(probe());
        }
        return seen;
    }
};

TEST_F(AddModeCycleTest, AddedHeatProductionIsTakenBackAndReapplied) {
    m.inf3.NUMW = 1;
    fill(m.ener.SOUC, 2.0f);
    entry(1, "SOUC", 10.0f, 1, 1, 1, -4);
    EXPECT_EQ(cycle(4, [&] { return m.ener.SOUC(3, 2, 1); }), (std::vector<float>{12, 2, 12, 2, 12}));
    EXPECT_EQ(m.ener.SOUC(3, 2, 2), 2.0f);
}

TEST_F(AddModeCycleTest, AddedCellOutputIsTakenBackAndReapplied) {
    m.inf3.NUMW = 1;
    fill(m.ener.SOUC, 1.0f);
    entry(1, "WATT", 30.0f, 3, 2, 2, -9);  // single node in add mode; 30 W in 60 m3
    EXPECT_EQ(cycle(4, [&] { return m.ener.SOUC(3, 2, 2); }), (std::vector<float>{1.5, 1, 1.5, 1, 1.5}));
}

TEST_F(AddModeCycleTest, AddedWaterSourceIsTakenBackAndReapplied) {
    m.inf3.NUMW = 1;
    fill(m.trns.QUEL, 0.5f);
    entry(1, "QUEL", 0.25f, 1, 1, 1, -7);
    EXPECT_EQ(cycle(4, [&] { return m.trns.QUEL(2, 2, 2); }), (std::vector<float>{0.75, 0.5, 0.75, 0.5, 0.75}));
}

TEST_F(AddModeCycleTest, AddedOutputsThatAreNeverSwitchedOffActOnce) {
    m.inf3.NUMW = 1;
    fill(m.ener.SOUC, 1.0f);
    entry(1, "WPZM", 30.0f, 3, 2, 2, -9);  // 30 W/m x 5 m / 60 m3 = 2.5 W/m3
    EXPECT_EQ(cycle(4, [&] { return m.ener.SOUC(3, 2, 2); }), (std::vector<float>{3.5, 3.5, 3.5, 3.5, 3.5}));
}

TEST_F(AddModeCycleTest, NothingPilesUpWithAnAdditionalDataFile) {
    m.inf3.IZUSAT = 1;
    m.inf3.NUMW = 1;
    fill(m.ener.SOUC, 2.0f);
    entry(1, "SOUC", 10.0f, 1, 1, 1, -4);
    EXPECT_EQ(cycle(4, [&] { return m.ener.SOUC(1, 1, 1); }), (std::vector<float>{12, 12, 12, 12, 12}));
}

TEST_F(AddModeCycleTest, SetModeSourcesSwitchAsBefore) {
    m.inf3.NUMW = 1;
    fill(m.ener.SOUC, 2.0f);
    entry(1, "SOUC", 10.0f, 1, 1, 1, 4);
    EXPECT_EQ(cycle(4, [&] { return m.ener.SOUC(1, 1, 1); }), (std::vector<float>{10, 0, 10, 0, 10}));
}

// An add-mode entry of the additional data file applies the change of its
// value at each reading, not the whole value on top of the last one.
TEST_F(ValueConversionTest, AdditionalDataEntriesInAddModeApplyTheChange) {
    m.inf3.NUMW = 0;
    m.inf3.NZUS = 3;
    fill(m.trns.QUEL, 0.5f);
    fill(m.trns.SPEI, 0.1f);
    entry(1, "GWNB", 1.0E-3f, 1, 1, 1, 0);  // 1e-3 m/s on 1 m2
    entry(2, "RNZF", 1.0f, 2, 1, 1, 0);
    entry(3, "HTOT", 0.0f, 3, 1, 1, -9);   // fixed values in add mode
    const float rnzf[] = {1.0f, 3.0f, 3.0f, 2.0f};
    for (float v : rnzf) {
        m.zyk1.WERT(2) = v;
        for (int n = 1; n <= 3; ++n) UMWAND(m, n, -1);
        EXPECT_EQ(m.trns.QUEL(2, 1, 1), 0.5f + v);
    }
    EXPECT_EQ(m.trns.QUEL(1, 1, 1), 0.5f + 1.0E-3f);  // a constant recharge acts once
    EXPECT_EQ(m.trns.SPEI(3, 1, 1), 0.1f + 1.0E30f);  // not 2e30, 3e30, ...
    EXPECT_EQ(m.ifld.JFLG(3, 1, 1), 2);
}

}  // namespace
}  // namespace gruv::test
