// Grid geometry under both conventions, and the failures of the grid cards.
#include <gtest/gtest.h>

#include <vector>

#include "input/input.hpp"
#include "support/state_fixture.hpp"

namespace gruv::test {
namespace {

using V = std::vector<float>;

template <int N>
V first(const Array1<float, N>& a, int n) {
    V v;
    for (int i = 1; i <= n; ++i) v.push_back(a(i));
    return v;
}

class GridTest : public StateFixture {
protected:
    void read(int32_t knlage, int nx, int ny, int nz, const std::string& cards) {
        grid_size(nx, ny, nz);
        m.inf1.KNLAGE = knlage;
        input(cards);
        GITTER(m);
    }
};

TEST_F(GridTest, NodeDistancesGiveHalfCellsAtTheBoundary) {
    // Faces halfway between nodes: the outer nodes lie on the boundary. A
    // single node in Y and Z: the one value is the cell width, the node lies
    // at 0 and both face distances stay 0.
    read(1, 4, 1, 1, "(10F8.2)\n    10.0    20.0    30.0\n(10F8.2)\n     7.0\n(10F8.2)\n     3.0\n");
    const auto& g = m.gitt;
    EXPECT_EQ(first(g.ZBRX, 4), (V{5, 15, 25, 15}));
    EXPECT_EQ(first(g.KORX, 4), (V{0, 10, 30, 60}));
    EXPECT_EQ(first(g.ABXU, 4), (V{0, 5, 10, 15}));
    EXPECT_EQ(first(g.ABXO, 4), (V{5, 10, 15, 0}));
    EXPECT_EQ((V{g.ZBRY(1), g.ZBRZ(1), g.KORZ(1), g.ABZU(1), g.ABZO(1)}), (V{7, 3, 0, 0, 0}));
    EXPECT_EQ(g.ZVOL(2, 1, 1), 15.0f * 7.0f * 3.0f);
}

TEST_F(GridTest, CellWidthsPutNodesAtCellCentres) {
    // A single layer lies at half its thickness; its node distance stays 0.
    read(0, 1, 3, 1, "(10F8.2)\n     4.0\n(10F8.2)\n    10.0    20.0    30.0\n(10F8.2)\n     2.5\n");
    const auto& g = m.gitt;
    EXPECT_EQ(first(g.KABY, 2), (V{15, 25}));
    EXPECT_EQ(first(g.KORY, 3), (V{5, 20, 45}));
    EXPECT_EQ(first(g.ABYU, 3), (V{5, 10, 15}));
    EXPECT_EQ(first(g.ABYO, 3), (V{5, 10, 15}));
    EXPECT_EQ((V{g.KORX(1), g.KORZ(1), g.KABZ(1)}), (V{2, 1.25f, 0}));
    EXPECT_EQ(g.ZVOL(1, 3, 1), 4.0f * 30.0f * 2.5f);
}

TEST_F(GridTest, ColumnOfLayersAndRowsOverSeveralLines) {
    // Eleven node distances under (5F8.2) continue over three lines; the top
    // node lies on the ground surface. The input is left after the third card.
    read(1, 12, 1, 3,
         "(5F8.2)\n     1.0     1.0     1.0     1.0     1.0\n     2.0     2.0     2.0     2.0     2.0\n"
         "     3.0\n(F8.2)\n     1.0\n(F8.2)\n     2.0\n     4.0\nREST\n");
    const auto& g = m.gitt;
    EXPECT_EQ(first(g.KORZ, 3), (V{0, 2, 6}));
    EXPECT_EQ(first(g.ZBRZ, 3), (V{1, 3, 2}));
    EXPECT_EQ(first(g.ABZU, 3), (V{0, 1, 2}));
    EXPECT_EQ(first(g.ABZO, 3), (V{1, 2, 0}));
    EXPECT_EQ(g.KORX(12), 18.0f);  // five of 1 m, five of 2 m, one of 3 m
    // Widths sum to the node span plus the outer face distances, and each
    // node distance splits into the two face distances it joins.
    float sum = 0.0f;
    for (int i = 1; i <= 12; ++i) {
        sum += g.ZBRX(i);
        EXPECT_EQ(g.ZBRX(i), g.ABXU(i) + g.ABXO(i));
        if (i < 12) {
            EXPECT_EQ(g.ABXU(i + 1) + g.ABXO(i), g.KABX(i));
        }
    }
    EXPECT_EQ(sum, g.KORX(12) - g.KORX(1) + g.ABXU(1) + g.ABXO(12));
    EXPECT_EQ(next_main_line(), "REST");
}

TEST_F(GridTest, FailuresNameTheCard) {
    const std::tuple<int32_t, std::string, std::string> cases[] = {
        {0, "(3F8.2)\n     1.0     1.0     1.0\n(F8.2)\n     1.0\n",
         " unerwartet Ende der Eingabedatei erreicht in Karte 23 \n Dateiende nach Zeile 4"},
        {0, "", " unerwartet Ende der Eingabedatei erreicht in Karte 21 \n Dateiende nach Zeile 0"},
        {0, "(3F8.2)\n     1.0     1.0     1.0\n(3F8.2)\n     1.0     1.0\n(3F8.2)\n     1.0     x.0\n",
         " fehlerhafte Datenstruktur in Karte 25 \n Zeile 6, Spalten 9-16: 'x.0'"},
        {1, "(3F8.2\n     1.0     1.0\n", " fehlerhafte Datenstruktur in Karte 21 \n Zeile 1, Spalten 1-20: '(3F8.2'"},
        // Zero or negative widths and distances give empty cells and
        // divisions by zero in every coefficient: the card is rejected.
        {0, "(3F8.2)\n     1.0     0.0     1.0\n",
         " Zellenbreite bzw. Knotenabstand Nr.   2 ist nicht groesser 0 in Karte 21 \n Zeile 2, Spalten 9-16: '0.0'"},
        {1, "(3F8.2)\n     1.0     2.0\n(3F8.2)\n    -1.0\n",
         " Zellenbreite bzw. Knotenabstand Nr.   1 ist nicht groesser 0 in Karte 23 \n Zeile 4, Spalten 1-8: '-1.0'"},
    };
    std::string expected;
    for (const auto& c : cases) {
        const int32_t knlage = std::get<0>(c);
        const std::string& cards = std::get<1>(c);
        const std::string& message = std::get<2>(c);
        EXPECT_EQ(status_of([&] { read(knlage, 3, 2, 2, cards); }), kExitInput) << message;
        expected += message + "\n";
        EXPECT_EQ(console(), expected);
    }
}

}  // namespace
}  // namespace gruv::test
