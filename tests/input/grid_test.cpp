// Grid geometry under both conventions, and the failures of the grid cards.
#include <gtest/gtest.h>

#include <vector>

#include "input/input.hpp"
#include "input/model_fixture.hpp"

namespace gruv::test {
namespace {

class GridTest : public ModelFixture {
protected:
    template <int N>
    static std::vector<float> first(const Array1<float, N>& a, int n) {
        std::vector<float> v;
        for (int i = 1; i <= n; ++i) v.push_back(a(i));
        return v;
    }
};

using V = std::vector<float>;

TEST_F(GridTest, NodeDistancesGiveHalfCellsAtTheBoundary) {
    // Faces halfway between nodes: the outer nodes lie on the boundary.
    grid_size(4, 1, 1);
    m.inf1.KNLAGE = 1;
    input("(10F8.2)\n    10.0    20.0    30.0\n(10F8.2)\n     7.0\n(10F8.2)\n     3.0\n");
    GITTER(m);
    const auto& g = m.gitt;
    EXPECT_EQ(first(g.ZBRX, 4), (V{5, 15, 25, 15}));
    EXPECT_EQ(first(g.KORX, 4), (V{0, 10, 30, 60}));
    EXPECT_EQ(first(g.ABXU, 4), (V{0, 5, 10, 15}));
    EXPECT_EQ(first(g.ABXO, 4), (V{5, 10, 15, 0}));
    // Single node in Y and Z: the one value is the cell width; the node lies
    // at 0 and both face distances stay 0.
    EXPECT_EQ(g.ZBRY(1), 7.0f);
    EXPECT_EQ(g.ZBRZ(1), 3.0f);
    EXPECT_EQ(g.KORZ(1), 0.0f);
    EXPECT_EQ(g.ABZU(1), 0.0f);
    EXPECT_EQ(g.ABZO(1), 0.0f);
    EXPECT_EQ(g.ZVOL(2, 1, 1), 15.0f * 7.0f * 3.0f);
    // Widths sum to the node span plus the outer face distances, and each
    // node distance splits into the two face distances it joins.
    float sum = 0.0f;
    for (int i = 1; i <= 4; ++i) {
        sum += g.ZBRX(i);
        EXPECT_EQ(g.ZBRX(i), g.ABXU(i) + g.ABXO(i));
    }
    EXPECT_EQ(sum, g.KORX(4) - g.KORX(1) + g.ABXU(1) + g.ABXO(4));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(g.ABXU(i + 1) + g.ABXO(i), g.KABX(i));
}

TEST_F(GridTest, CellWidthsPutNodesAtCellCentres) {
    grid_size(1, 3, 1);
    m.inf1.KNLAGE = 0;
    input("(10F8.2)\n     4.0\n(10F8.2)\n    10.0    20.0    30.0\n(10F8.2)\n     2.5\n");
    GITTER(m);
    const auto& g = m.gitt;
    EXPECT_EQ(first(g.KABY, 2), (V{15, 25}));
    EXPECT_EQ(first(g.KORY, 3), (V{5, 20, 45}));
    EXPECT_EQ(first(g.ABYU, 3), (V{5, 10, 15}));
    EXPECT_EQ(first(g.ABYO, 3), (V{5, 10, 15}));
    // A single layer lies at half its thickness; its node distance stays 0.
    EXPECT_EQ(g.KORZ(1), 1.25f);
    EXPECT_EQ(g.KABZ(1), 0.0f);
    EXPECT_EQ(g.KORX(1), 2.0f);
    EXPECT_EQ(g.ZVOL(1, 3, 1), 4.0f * 30.0f * 2.5f);
}

TEST_F(GridTest, LayersOfAColumnUnderBothConventions) {
    // The top node lies on the ground surface with distances, at half the
    // top layer's thickness with widths.
    grid_size(1, 1, 3);
    m.inf1.KNLAGE = 1;
    input("(F8.2)\n     1.0\n(F8.2)\n     1.0\n(F8.2)\n     2.0\n     4.0\n");
    GITTER(m);
    EXPECT_EQ(first(m.gitt.KORZ, 3), (V{0, 2, 6}));
    EXPECT_EQ(first(m.gitt.ZBRZ, 3), (V{1, 3, 2}));
    EXPECT_EQ(first(m.gitt.ABZU, 3), (V{0, 1, 2}));
    EXPECT_EQ(first(m.gitt.ABZO, 3), (V{1, 2, 0}));
    EXPECT_EQ(next_main_line(), "");  // positioned after the third card
}

TEST_F(GridTest, RowsContinueOverLinesByFormatReversion) {
    grid_size(12, 1, 1);
    input("(5F8.2)\n     1.0     1.0     1.0     1.0     1.0\n     2.0     2.0     2.0     2.0     2.0\n"
          "     3.0     3.0\n(F8.2)\n     1.0\n(F8.2)\n     1.0\nREST\n");
    GITTER(m);
    EXPECT_EQ(m.gitt.ZBRX(12), 3.0f);
    // Node 12 lies at the sum of all widths (21) less half the last (1.5).
    EXPECT_EQ(m.gitt.KORX(12), 19.5f);
    EXPECT_EQ(next_main_line(), "REST");
}

struct GridFailure {
    const char* name;
    int32_t knlage;
    const char* deck;
    const char* message;
};

class GridFailureTest : public GridTest, public ::testing::WithParamInterface<GridFailure> {};

TEST_P(GridFailureTest, StopsWithTheCardLabel) {
    const GridFailure& c = GetParam();
    grid_size(3, 2, 2);
    m.inf1.KNLAGE = c.knlage;
    input(c.deck);
    EXPECT_EQ(status_of([&] { GITTER(m); }), kExitInput);
    EXPECT_EQ(console(), std::string(c.message) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cards, GridFailureTest,
    ::testing::Values(
        GridFailure{"EndInYCard", 0, "(3F8.2)\n     1.0     1.0     1.0\n(F8.2)\n     1.0\n",
                    " unerwartet Ende der Eingabedatei erreicht in Karte 23 "},
        GridFailure{"EndAtXFormatCard", 0, "", " unerwartet Ende der Eingabedatei erreicht in Karte 21 "},
        GridFailure{"LetterInZCard", 0,
                    "(3F8.2)\n     1.0     1.0     1.0\n(3F8.2)\n     1.0     1.0\n(3F8.2)\n     1.0     x.0\n",
                    " fehlerhafte Datenstruktur in Karte 25 "},
        GridFailure{"BrokenFormatCard", 1, "(3F8.2\n     1.0     1.0\n", " fehlerhafte Datenstruktur in Karte 21 "},
        // Zero or negative widths and distances give empty cells and
        // divisions by zero in every coefficient: the card is rejected.
        GridFailure{"ZeroWidth", 0, "(3F8.2)\n     1.0     0.0     1.0\n",
                    " Zellenbreite bzw. Knotenabstand Nr.   2 ist nicht groesser 0 in Karte 21 "},
        GridFailure{"NegativeDistance", 1, "(3F8.2)\n     1.0     2.0\n(3F8.2)\n    -1.0\n",
                    " Zellenbreite bzw. Knotenabstand Nr.   1 ist nicht groesser 0 in Karte 23 "}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace gruv::test
