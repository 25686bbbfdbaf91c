// Value conversion: ranges of the selectors, the factors of every keyword,
// add mode, and the application states with the switch-off group.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "schedule/schedule.hpp"
#include "support/state_fixture.hpp"

namespace gruv::test {
namespace {

class ValueConversionTest : public StateFixture {
protected:
    // A 3 x 2 x 2 grid with cells of different sizes in every direction.
    void SetUp() override {
        grid_size(3, 2, 2);
        auto& g = m.gitt;
        const float zx[] = {1.0f, 2.0f, 3.0f}, zy[] = {1.0f, 4.0f}, zz[] = {2.0f, 5.0f};
        g.KABZ(1) = 3.5f;
        for (int k = 1; k <= 2; ++k)
            for (int j = 1; j <= 2; ++j)
                for (int i = 1; i <= 3; ++i) {
                    g.ZBRX(i) = zx[i - 1], g.ZBRY(j) = zy[j - 1], g.ZBRZ(k) = zz[k - 1];
                    g.ZVOL(i, j, k) = zx[i - 1] * zy[j - 1] * zz[k - 1];
                }
    }
    //! Stores entry n of the table.
    void entry(int32_t n, const char* word, float value, int32_t i, int32_t j, int32_t k, int32_t s) {
        for (int c = 0; c < 4; ++c) m.zyk2.SWORT(n)[static_cast<std::size_t>(c)] = word[c];
        m.zyk1.WERT(n) = value;
        m.izy1.IORT(n) = i, m.izy1.JORT(n) = j, m.izy1.KORT(n) = k, m.izy1.IBER(n) = s;
    }
    //! The nodes holding v, as "IJK IJK ..." in loop order.
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

TEST_F(ValueConversionTest, SelectorsAroundNode212) {
    // A negative selector adds on the range of its magnitude.
    const struct {
        int32_t selector;
        const char* nodes;
    } cases[] = {{0, "212"}, {1, "112 212 312"}, {2, "212 222"}, {3, "211 212"}, {4, "112 212 312 122 222 322"},
                 {5, "111 211 311 112 212 312"}, {6, "211 221 212 222"},
                 {7, "111 211 311 121 221 321 112 212 312 122 222 322"}, {8, "212"}, {99, "212"},
                 {-1, "112 212 312"}, {-7, "111 211 311 121 221 321 112 212 312 122 222 322"}};
    m.inf3.NUMW = 1;
    for (const auto& c : cases) {
        m.ener.SOUC.fill(1.0f);
        entry(1, "SOUC", 10.0f, 2, 1, 2, c.selector);
        UMWAND(m, 1, -1);
        EXPECT_EQ(nodes_equal(m.ener.SOUC, c.selector < 0 ? 11.0f : 10.0f), c.nodes) << "selector " << c.selector;
    }
}

TEST_F(ValueConversionTest, KeywordsWithTheirUnitsAndFactors) {
    auto& p = m.phys;
    auto& t = m.trns;
    auto& S = m.ener.SOUC;
    // Each entry is applied to a field filled with 0.5 (so "added" shows);
    // ZVOL is 2 m3 at (1,1,1), 24 and 60 m3 at (3,2,1) and (3,2,2), 40 m3 at (2,2,2).
    const struct {
        const char* word;
        float value;
        int i, j, k, s;
        NodeArray<float>* field;
        float want;
    } cases[] = {
        {"CPGE", 900.0f, 1, 1, 1, 7, &p.CPGE, 900.0f},    {"PHIG", 25.0f, 1, 1, 1, 7, &p.PHIG, 25.0f / 100.0f},
        {"PHIN", 12.0f, 1, 1, 1, 7, &p.PHIN, 0.12f},      {"RHOG", 2.65f, 1, 1, 1, 7, &p.RHOG, 2.65f * 1000.0f},
        {"SPEI", 0.2f, 1, 1, 1, 7, &t.SPEI, 0.2f},        {"WLKG", 2.1f, 1, 1, 1, 7, &p.WLKG, 2.1f},
        {"GWVX", 1.0E-6f, 1, 1, 1, 0, &p.GWVX, 1.0E-6f},  {"GWVY", 2.0E-6f, 1, 1, 1, 0, &p.GWVY, 2.0E-6f},
        {"GWVZ", 3.0E-6f, 1, 1, 1, 0, &p.GWVZ, 3.0E-6f},  {"TRSX", 1.0E-5f, 1, 1, 1, 0, &t.TRSX, 1.0E-5f},
        {"TRSY", 2.0E-5f, 1, 1, 1, 0, &t.TRSY, 2.0E-5f},  {"TRSZ", 3.0E-5f, 1, 1, 1, 0, &t.TRSZ, 3.0E-5f},
        {"TXYZ", 4.0E-5f, 1, 1, 1, 0, &t.TRSX, 4.0E-5f},  {"TXYZ", 4.0E-5f, 1, 1, 1, 0, &t.TRSY, 4.0E-5f},
        {"TXYZ", 4.0E-5f, 1, 1, 1, 0, &t.TRSZ, 4.0E-5f},  {"WPOT", 95.5f, 1, 1, 1, 0, &m.wpot.WPOT, 95.5f},
        {"WPOT", 95.5f, 1, 1, 1, 0, &m.wpot.WPOTA, 95.5f}, {"QUEL", 5.0f, 1, 1, 1, 0, &t.QUEL, 5.0f},
        {"GWNB", 1.0E-3f, 3, 2, 1, 0, &t.QUEL, 1.0E-3f * 3.0f * 4.0f + 0.5f},  // per horizontal area, added
        {"RNZF", 0.25f, 3, 2, 1, 0, &t.QUEL, 0.75f},
        {"LEAK", 2.0E-7f, 2, 1, 1, 0, &t.TRSZ, 2.0E-7f * 3.5f},  // times KABZ(1), in layer 1 ...
        {"SOUC", 10.0f, 1, 1, 1, 0, &S, 10.0f},           {"WATT", 100.0f, 1, 1, 1, 0, &S, 50.0f},
        {"WPZM", 100.0f, 3, 2, 1, 3, &S, 100.0f * 2.0f / 24.0f},  // per metre of each cell of the line
        {"WPZM", 100.0f, 3, 2, 2, 3, &S, 100.0f * 5.0f / 60.0f},
        {"WPXM", 40.0f, 2, 2, 2, 0, &S, 40.0f * 2.0f / 40.0f}, {"WPYM", 40.0f, 2, 2, 2, 0, &S, 40.0f * 4.0f / 40.0f},
        {"WPXY", 40.0f, 2, 2, 2, 0, &S, 40.0f * 2.0f * 4.0f / 40.0f},
        {"WPXZ", 40.0f, 2, 2, 2, 0, &S, 40.0f * 2.0f * 5.0f / 40.0f},
        {"WPYZ", 40.0f, 2, 2, 2, 0, &S, 40.0f * 4.0f * 5.0f / 40.0f},
        // Nodes taken out of the flow and out of the heat transport.
        {"HTOT", 7.0f, 1, 1, 1, 0, &t.TRSX, 0.0f},        {"HTOT", 7.0f, 1, 1, 1, 0, &t.SPEI, 1.0E30f},
        {"HTOT", 7.0f, 1, 1, 1, 0, &p.PHIN, 1.0E30f},     {"HTOT", 7.0f, 1, 1, 1, 0, &m.wpot.WPOTA, 999.0f},
        {"TTOT", 7.0f, 1, 1, 1, 0, &S, 0.0f},             {"TTOT", 7.0f, 1, 1, 1, 0, &p.WLKG, 0.0f},
        {"TTOT", 7.0f, 1, 1, 1, 0, &p.CPGE, 1.0E30f},
    };
    m.inf3.NUMW = 1;
    for (const auto& c : cases) {
        c.field->fill(0.5f);
        entry(1, c.word, c.value, c.i, c.j, c.k, c.s);
        UMWAND(m, 1, -1);
        EXPECT_EQ((*c.field)(c.i, c.j, c.k), c.want) << c.word;
    }
    // ... and in the layer below; the entry keeps its layer index.
    EXPECT_EQ(t.TRSZ(2, 1, 2), 2.0E-7f * 3.5f);
    EXPECT_EQ(m.izy1.KORT(1), 1);
}

TEST_F(ValueConversionTest, FlagsAndTemperatures) {
    m.inf3.NUMW = 1;
    const auto apply = [&](const char* word, float v, int32_t i, int32_t j, int32_t k, int32_t s) {
        entry(1, word, v, i, j, k, s);
        UMWAND(m, 1, -1);
    };
    apply("IFLG", 2.9f, 1, 1, 1, 0);  // truncated toward zero
    apply("JFLG", -1.5f, 1, 1, 1, 0);
    EXPECT_EQ(m.ifld.IFLG(1, 1, 1), 2);
    EXPECT_EQ(m.ifld.JFLG(1, 1, 1), -1);
    // A negative selector means the single node for flags and temperatures.
    apply("IFLG", 3.0f, 3, 1, 1, -4);
    EXPECT_EQ(nodes_equal(m.ifld.IFLG, 3), "311");
    // 10 + 273.15 is formed in single precision, then widened.
    apply("TEMP", 10.0f, 1, 2, 2, -7);
    EXPECT_EQ(nodes_equal(m.temp.TEMP, static_cast<double>(283.15f)), "122");
    EXPECT_EQ(m.temp.TEMPA(1, 2, 2), static_cast<double>(283.15f));
    apply("HTOT", 0.0f, 2, 1, 1, 0);
    apply("TTOT", 0.0f, 2, 2, 2, 0);
    EXPECT_EQ(m.ifld.JFLG(2, 1, 1), 2);
    EXPECT_EQ(m.ifld.IFLG(2, 2, 2), 2);
    EXPECT_EQ(m.temp.TEMPA(2, 2, 2), static_cast<double>(1272.15f));
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
    // With an additional data file nothing is switched off.
    m.inf3.IZUSAT = 1;
    for (int n = 1; n <= 5; ++n) UMWAND(m, n, 1);
    for (int n = 1; n <= 5; ++n) UMWAND(m, n, 0);
    EXPECT_EQ(m.ener.SOUC(1, 1, 1), 10.0f);
    EXPECT_EQ(m.ifld.IFLG(1, 1, 1), 3);
}

TEST_F(ValueConversionTest, SwitchingOffAndOnAtIntervalEnds) {
    // An entry acts at the start (-1), then alternately off (0) and on (1).
    // An added source acts once while on and not at all while off; it must
    // not pile up from one switch-on to the next. A set QUEL is subtracted
    // when switched off, so the node returns to 0, not to the 0.5 it held.
    const struct {
        const char* word;
        float value;
        int32_t selector, IZUSAT;
        NodeArray<float>* field;
        std::vector<float> seen;
    } cases[] = {
        {"SOUC", 10.0f, -4, 0, &m.ener.SOUC, {10.5, 0.5, 10.5, 0.5, 10.5}},
        {"WATT", 60.0f, -9, 0, &m.ener.SOUC, {1.5, 0.5, 1.5, 0.5, 1.5}},  // 60 W in 60 m3
        {"QUEL", 10.0f, -7, 0, &m.trns.QUEL, {10.5, 0.5, 10.5, 0.5, 10.5}},
        {"WPZM", 12.0f, -9, 0, &m.ener.SOUC, {1.5, 1.5, 1.5, 1.5, 1.5}},  // 12 W/m x 5 m; never switched off
        {"SOUC", 10.0f, -4, 1, &m.ener.SOUC, {10.5, 10.5, 10.5, 10.5, 10.5}},
        {"SOUC", 10.0f, 4, 0, &m.ener.SOUC, {10, 0, 10, 0, 10}},
        {"SOUC", 10.0f, 4, 1, &m.ener.SOUC, {10, 10, 10, 10, 10}},
        {"QUEL", 10.0f, 0, 0, &m.trns.QUEL, {10, 0, 10, 0, 10}},
    };
    m.inf3.NUMW = 1;
    for (const auto& c : cases) {
        m.inf3.IZUSAT = c.IZUSAT;
        c.field->fill(0.5f);
        entry(1, c.word, c.value, 3, 2, 2, c.selector);
        std::vector<float> seen;
        for (int32_t state : {-1, 0, 1, 0, 1}) {
            UMWAND(m, 1, state);
            seen.push_back((*c.field)(3, 2, 2));
        }
        EXPECT_EQ(seen, c.seen) << c.word << " selector " << c.selector << " IZUSAT " << c.IZUSAT;
    }
}

}  // namespace
}  // namespace gruv::test
