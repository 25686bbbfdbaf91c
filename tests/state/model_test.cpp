// The bulk operations on the model state: clearing the equation store and
// copying the node values into those of the previous time step.
#include <gtest/gtest.h>

#include "state/model.hpp"
#include "support/grid_model.hpp"

namespace gruv {
namespace {

TEST(Aufnul, ClearsTheStoreOfTheActiveGridOnly) {
    test::CapturedModel c;
    Model& m = c.m;
    m.ndim = NDIM{2, 3, 1, 1, 2, 0};
    auto& k = m.koef;
    NodeArray<float>* fields[] = {&k.KDIA, &k.KSPE, &k.RSEI, &k.KOXM, &k.KOXP, &k.KOYM, &k.KOYP,
                                  &k.KOZM, &k.KOZP, &m.phys.KFMX, &m.phys.KFMY, &m.phys.KFMZ};
    for (auto* f : fields) f->fill(7.0f);
    k.FKO.fill(3.0f), k.AKO.fill(3.0f), k.PKO.fill(3.0f);
    AUFNUL(m);
    for (auto* f : fields) {
        EXPECT_EQ((*f)(1, 1, 1), 0.0f);
        EXPECT_EQ((*f)(2, 3, 1), 0.0f);
        // Outside the active grid nothing is touched.
        EXPECT_EQ((*f)(3, 1, 1), 7.0f);
        EXPECT_EQ((*f)(1, 4, 1), 7.0f);
        EXPECT_EQ((*f)(1, 1, 2), 7.0f);
    }
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(k.FKO(n), 0.0f);
        EXPECT_EQ(k.AKO(n), 0.0f);
        EXPECT_EQ(k.PKO(n), 1.0f);  // the neutral scheme weight
    }
}

TEST(Kopier, ModeOneCopiesTemperaturesAnyOtherModeHeads) {
    test::CapturedModel c;
    Model& m = c.m;
    m.ndim = NDIM{1, 1, 1, 0, 0, 0};
    m.temp.TEMP.fill(283.15 + 1.0e-12);  // copied exactly, in double precision
    m.wpot.WPOT.fill(12.5f);
    KOPIER(m, 1);
    EXPECT_EQ(m.temp.TEMPA(1, 1, 1), 283.15 + 1.0e-12);
    EXPECT_EQ(m.temp.TEMPA(2, 1, 1), 0.0) << "one node only";
    EXPECT_EQ(m.wpot.WPOTA(1, 1, 1), 0.0f);
    EXPECT_EQ(c.text(), "") << "no trace at IBILD 0";
    m.inf2.IBILD = 1;
    for (int32_t mode : {0, 2}) {
        m.wpot.WPOTA.fill(0.0f);
        KOPIER(m, mode);
        EXPECT_EQ(m.wpot.WPOTA(1, 1, 1), 12.5f) << mode;
        EXPECT_EQ(m.wpot.WPOTA(1, 2, 1), 0.0f);
    }
    const std::string trace = "                ********* Subroutine KOPIER **********\n";
    EXPECT_EQ(c.text(), trace + trace);
}

}  // namespace
}  // namespace gruv
