// The flow equation: interface conductivities in saturated, partly saturated
// and dry cells, fluid flags, viscosity; neighbour coefficients; storage,
// diagonal and right-hand side; the local refresh of DELTAH; the velocities.
#include <gtest/gtest.h>

#include <cmath>

#include "flow/properties.hpp"
#include "flow_fixture.hpp"

namespace gruv {
namespace {

using test::FlowModel;

// Two layers of 10 m below a ground surface at 20 m: layer 1 spans 10..20 m,
// layer 2 0..10 m. Conductivity 1e-4 m/s, the neighbour at I+1 4e-4 m/s:
// interface mean 2*1e-4*4e-4/5e-4 = 1.6e-4 m/s.
struct Layers : ::testing::Test {
    FlowModel f{3, 3, 2, 10.0f, 10.0f, 10.0f, 20.0f, 1.0E-4f, 25.0f};
    Model& m = f.m;
    const float C = HARMON(1.0E-4f, 4.0E-4f, 0.5f);
    const float Cu = HARMON(1.0E-4f, 1.0E-4f, 0.5f);  // between equal nodes
    void SetUp() override {
        m.trns.TRSX(2, 1, 1) = 4.0E-4f;
        m.trns.TRSY(1, 2, 1) = 4.0E-4f;
    }
};

TEST_F(Layers, SaturatedCellsTakeTheInterfaceMean) {
    KONDUK(m, 1, 1, 1);
    EXPECT_EQ(m.phys.KFMX(1, 1, 1), C);
    EXPECT_EQ(m.phys.KFMY(1, 1, 1), C);
    EXPECT_EQ(m.phys.KFMZ(1, 1, 1), HARMON(1.0E-4f, 1.0E-4f, 0.5f));
    // The last node of a direction has no face toward outside.
    KONDUK(m, 3, 3, 1);
    EXPECT_EQ(m.phys.KFMX(3, 3, 1), 0.0f);
    EXPECT_EQ(m.phys.KFMY(3, 3, 1), 0.0f);
}

TEST_F(Layers, DryCellLeaksTowardAPermeableNeighbour) {
    m.wpot.WPOT(1, 1, 1) = 10.0f;  // exactly at the cell bottom
    KONDUK(m, 1, 1, 1);
    EXPECT_EQ(m.phys.KFMX(1, 1, 1), 1.0E-5f);
    EXPECT_EQ(m.phys.KFMY(1, 1, 1), 1.0E-5f);
    // The vertical face has no saturation factor.
    EXPECT_EQ(m.phys.KFMZ(1, 1, 1), Cu);
    m.wpot.WPOT(1, 1, 1) = 3.0f;  // far below it
    KONDUK(m, 1, 1, 1);
    EXPECT_EQ(m.phys.KFMX(1, 1, 1), 1.0E-5f);
}

// A dry cell next to an impermeable neighbour or a node taken out of the flow
// (conductivities 0, head 999 m) must not open the face: otherwise water runs
// out of the inactive node.
TEST_F(Layers, DryCellStaysClosedTowardAClosedInterface) {
    m.wpot.WPOT(1, 1, 1) = 5.0f;
    m.trns.TRSX(2, 1, 1) = 0.0f;  // impermeable neighbour in X
    m.trns.TRSY(1, 2, 1) = 0.0f;  // and in Y
    m.wpot.WPOT(2, 1, 1) = 999.0f;
    KONDUK(m, 1, 1, 1);
    EXPECT_EQ(m.phys.KFMX(1, 1, 1), 0.0f);
    EXPECT_EQ(m.phys.KFMY(1, 1, 1), 0.0f);
    // A dry cell that is itself impermeable does not leak either.
    m.trns.TRSX(2, 2, 1) = 0.0f;
    m.wpot.WPOT(2, 2, 1) = 5.0f;
    KONDUK(m, 2, 2, 1);
    EXPECT_EQ(m.phys.KFMX(2, 2, 1), 0.0f);
}

TEST_F(Layers, PartlySaturatedCellsUseTheGeometricMeanThickness) {
    // b1 = 13 - 10 = 3 m; the neighbour above the cell top counts with the
    // cell thickness D = 10 m: C * sqrt(3 * 10) / 10.
    m.wpot.WPOT(1, 1, 1) = 13.0f;
    KONDUK(m, 1, 1, 1);
    EXPECT_NEAR(m.phys.KFMX(1, 1, 1), static_cast<double>(C) * std::sqrt(30.0) / 10.0, 1.0e-10);
    // A neighbour head below the cell bottom counts with its distance to it,
    // |6 - 10| = 4 m.
    m.wpot.WPOT(2, 1, 1) = 6.0f;
    KONDUK(m, 1, 1, 1);
    EXPECT_NEAR(m.phys.KFMX(1, 1, 1), static_cast<double>(C) * std::sqrt(12.0) / 10.0, 1.0e-10);
    // This node's own saturated thickness is not limited to D: a full node
    // next to a partly saturated one gives C * sqrt(15 * 5) / 10.
    m.wpot.WPOT(1, 1, 1) = 25.0f;
    m.wpot.WPOT(2, 1, 1) = 15.0f;
    KONDUK(m, 1, 1, 1);
    EXPECT_NEAR(m.phys.KFMX(1, 1, 1), static_cast<double>(C) * std::sqrt(75.0) / 10.0, 1.0e-10);
}

TEST_F(Layers, NodeWithoutMobileWaterClosesItsForwardFacesWhenHeatIsComputed) {
    m.inf4.IMODE = 1;
    m.ifld.IFLU(2, 2, 2) = 0;
    KONDUK(m, 2, 2, 2);
    EXPECT_EQ(m.phys.KFMX(2, 2, 2), 0.0f);
    EXPECT_EQ(m.phys.KFMY(2, 2, 2), 0.0f);
    KONDUK(m, 2, 2, 1);  // the node above sees no conductivity below
    EXPECT_EQ(m.phys.KFMZ(2, 2, 1), 0.0f);
    KONDUK(m, 1, 2, 2);  // the node at I-1 uses the raw conductivity
    EXPECT_EQ(m.phys.KFMX(1, 2, 2), Cu);
    // Flow only: the fluid flags are not consulted.
    m.inf4.IMODE = 2;
    KONDUK(m, 2, 2, 2);
    EXPECT_EQ(m.phys.KFMX(2, 2, 2), Cu);
    KONDUK(m, 2, 2, 1);
    EXPECT_EQ(m.phys.KFMZ(2, 2, 1), Cu);
}

TEST_F(Layers, ViscosityCorrectionAtTwentyDegrees) {
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) m.temp.TEMP(i, j, k) = 293.15;
    m.inf5.IVISK = 1;
    KONDUK(m, 1, 1, 1);
    const float nu = water_viscosity(20.0f);
    EXPECT_EQ(m.phys.KFMX(1, 1, 1), C / nu);
    EXPECT_NEAR(m.phys.KFMX(1, 1, 1) / C, 1.0 / 1.0230, 2.0e-4);
}

TEST(FlowCoefficients, SymmetricConductancesAndClosedOuterFaces) {
    FlowModel f(4, 3, 2, 10.0f, 20.0f, 5.0f, 0.0f, 1.0E-4f, 10.0f);
    f.build();
    const auto& c = f.m.koef;
    // K * (flow area) / distance: X faces 1e-4 * 20 * 5 / 10, Y faces
    // 1e-4 * 10 * 5 / 20, Z faces 1e-4 * 10 * 20 / 5.
    EXPECT_FLOAT_EQ(c.KOXP(1, 1, 1), 1.0E-3f);
    EXPECT_FLOAT_EQ(c.KOYP(1, 1, 1), 2.5E-4f);
    EXPECT_FLOAT_EQ(c.KOZP(1, 1, 1), 4.0E-3f);
    for (int k = 1; k <= 2; ++k)
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 4; ++i) {
                if (i < 4) {
                    EXPECT_EQ(c.KOXP(i, j, k), c.KOXM(i + 1, j, k));
                }
                if (j < 3) {
                    EXPECT_EQ(c.KOYP(i, j, k), c.KOYM(i, j + 1, k));
                }
                if (k < 2) {
                    EXPECT_EQ(c.KOZP(i, j, k), c.KOZM(i, j, k + 1));
                }
            }
    EXPECT_EQ(c.KOXM(1, 2, 1), 0.0f);
    EXPECT_EQ(c.KOXP(4, 2, 1), 0.0f);
    EXPECT_EQ(c.KOYM(2, 1, 2), 0.0f);
    EXPECT_EQ(c.KOYP(2, 3, 2), 0.0f);
    EXPECT_EQ(c.KOZM(2, 2, 1), 0.0f);
    EXPECT_EQ(c.KOZP(2, 2, 2), 0.0f);
}

TEST(FlowCoefficients, SingleLayerAndSingleColumn) {
    FlowModel layer(3, 3, 1);
    layer.build();
    EXPECT_EQ(layer.m.koef.KOZM(2, 2, 1), 0.0f);
    EXPECT_EQ(layer.m.koef.KOZP(2, 2, 1), 0.0f);
    EXPECT_GT(layer.m.koef.KOXP(2, 2, 1), 0.0f);
    FlowModel column(1, 1, 4);
    column.build();
    const auto& c = column.m.koef;
    EXPECT_EQ(c.KOXM(1, 1, 2) + c.KOXP(1, 1, 2) + c.KOYM(1, 1, 2) + c.KOYP(1, 1, 2), 0.0f);
    EXPECT_GT(c.KOZM(1, 1, 2), 0.0f);
    EXPECT_GT(c.KOZP(1, 1, 2), 0.0f);
}

TEST(Qkoefh, StorageChoiceDiagonalAndRightHandSide) {
    // One layer spanning -10..0 m; DELT one day; cells 10 x 10 m.
    FlowModel f(3, 1, 1, 10.0f, 10.0f, 10.0f, 0.0f, 1.0E-4f, 5.0f, 1.0E-3f);
    auto& m = f.m;
    m.wpot.WPOT(1, 1, 1) = m.wpot.WPOTA(1, 1, 1) = 1.0f;     // confined: SPEI
    m.wpot.WPOT(2, 1, 1) = m.wpot.WPOTA(2, 1, 1) = -2.0f;    // below the top: PHIN
    m.trns.SPEI(2, 1, 1) = 0.5f;                             // even when SPEI is larger
    m.wpot.WPOT(3, 1, 1) = m.wpot.WPOTA(3, 1, 1) = -2.0f;
    m.ifld.JFLG(3, 1, 1) = 2;                                // constant head: SPKONS
    m.trns.QUEL(1, 1, 1) = -0.01f;
    f.build();
    const auto& c = m.koef;
    EXPECT_EQ(c.KSPE(1, 1, 1), 10.0f * 10.0f * 1.0E-3f / 86400.0f);
    EXPECT_EQ(c.KSPE(2, 1, 1), 10.0f * 10.0f * 0.2f / 86400.0f);
    EXPECT_EQ(c.KSPE(3, 1, 1), 10.0f * 10.0f * 1.0E30f / 86400.0f);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(c.KDIA(i, 1, 1), c.KOXM(i, 1, 1) + c.KOXP(i, 1, 1) + c.KSPE(i, 1, 1)) << i;
        EXPECT_EQ(c.RSEI(i, 1, 1), c.KSPE(i, 1, 1) * m.wpot.WPOTA(i, 1, 1) + m.trns.QUEL(i, 1, 1)) << i;
    }
    // The constant head is held: its equation gives WPOTA to within rounding.
    EXPECT_FLOAT_EQ(c.RSEI(3, 1, 1) / c.KDIA(3, 1, 1), -2.0f);
}

TEST_F(Layers, DeltahRefreshesTheNodeAndItsBackwardFaces) {
    f.build();
    const auto& c = m.koef;
    const float before_xp_of_left = c.KOXP(1, 2, 1);
    m.wpot.WPOT(2, 2, 1) = 15.0f;  // the head fell into the cell
    DELTAH(m, 2, 2, 1);
    // Own forward face: b1 = 5, neighbour full (D = 10).
    EXPECT_NEAR(m.phys.KFMX(2, 2, 1), static_cast<double>(Cu) * std::sqrt(50.0) / 10.0, 1.0e-10);
    // Backward face from (1,2,1): b1 = 15 (not limited), b2 = 5.
    EXPECT_NEAR(m.phys.KFMX(1, 2, 1), static_cast<double>(Cu) * std::sqrt(75.0) / 10.0, 1.0e-10);
    EXPECT_FLOAT_EQ(c.KOXM(2, 2, 1), m.phys.KFMX(1, 2, 1) * 10.0f * 10.0f / 10.0f);
    // The neighbour's own coefficient stays until the next set-up.
    EXPECT_EQ(c.KOXP(1, 2, 1), before_xp_of_left);
    EXPECT_EQ(c.KDIA(2, 2, 1), 0.0f + c.KOXM(2, 2, 1) + c.KOXP(2, 2, 1) + c.KOYM(2, 2, 1) + c.KOYP(2, 2, 1) +
                                   c.KOZM(2, 2, 1) + c.KOZP(2, 2, 1) + c.KSPE(2, 2, 1));
    // A node of the last column is not refreshed itself.
    m.phys.KFMY(3, 2, 1) = -1.0f;
    m.wpot.WPOT(3, 2, 1) = 15.0f;
    DELTAH(m, 3, 2, 1);
    EXPECT_EQ(m.phys.KFMY(3, 2, 1), -1.0f);
}

TEST(FlowCoefficients, TraceAndLayerProgressLines) {
    FlowModel f(2, 2, 2);
    f.m.inf2.IBILD = 1;
    f.build();
    DELTAH(f.m, 1, 1, 1);  // writes no trace line
    f.m.io.console().flush();
    EXPECT_EQ(f.text(),
              "                ********* Subroutine AUFNUL **********\n"
              "                ********* Subroutine KOEFFH **********\n"
              "+               ***** Schicht    1 wird berechnet ****\n"
              "+               ***** Schicht    2 wird berechnet ****\n"
              "                ********* Subroutine QKOEFH **********\n");
    FlowModel g(2, 2, 2);
    g.m.inf2.IBILD = 2;
    KOEFFH(g.m);
    g.m.io.console().flush();
    EXPECT_EQ(g.text(), "                ********* Subroutine KOEFFH **********\n\n");
}

// Velocities: Darcy flux over the node distance divided by the mean
// effective porosity.
TEST(Fliess, PoreVelocityFromHeadDrop) {
    FlowModel f(3, 2, 2);
    auto& m = f.m;
    m.phys.KFMX(1, 1, 1) = 1.0E-4f;
    m.wpot.WPOT(1, 1, 1) = 11.0f;  // 1 m drop over 10 m toward I+1
    FLIESS(m);
    EXPECT_FLOAT_EQ(m.phys.GWVX(1, 1, 1), 5.0E-5f);
    // Equal heads and the faces toward the outside carry nothing.
    m.phys.KFMX(2, 1, 1) = 1.0E-4f;
    EXPECT_EQ(m.phys.GWVX(2, 1, 1), 0.0f);
    EXPECT_EQ(m.phys.GWVX(3, 1, 1), 0.0f);
    EXPECT_EQ(m.phys.GWVY(1, 2, 1), 0.0f);
    EXPECT_EQ(m.phys.GWVZ(1, 1, 2), 0.0f);
    // Flow toward I-1 is negative; vertical flow downward is positive.
    m.wpot.WPOT(1, 1, 1) = 9.0f;
    m.phys.KFMZ(1, 1, 1) = 1.0E-4f;
    m.wpot.WPOT(1, 1, 2) = 8.0f;
    FLIESS(m);
    EXPECT_FLOAT_EQ(m.phys.GWVX(1, 1, 1), -5.0E-5f);
    EXPECT_FLOAT_EQ(m.phys.GWVZ(1, 1, 1), 5.0E-5f);
}

TEST(Fliess, FaceWithoutDrainablePoreSpaceIsClosed) {
    FlowModel f(2, 1, 1);
    auto& m = f.m;
    m.phys.KFMX(1, 1, 1) = 1.0E-4f;
    m.wpot.WPOT(1, 1, 1) = 11.0f;
    m.phys.PHIN(2, 1, 1) = 0.0f;  // porosity mean 0
    FLIESS(m);
    EXPECT_EQ(m.phys.GWVX(1, 1, 1), 0.0f);
}

}  // namespace
}  // namespace gruv
