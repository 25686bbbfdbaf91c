// The card reader's trace: the line, columns and text of every value a card
// read takes, across format reversion and slashes, at the end of the file and
// in a failed field, the finiteness test of real values, and the location
// line that messages add.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "records/card_reader.hpp"

namespace gruv {
namespace {

//! A deck named DECK whose first line was read before the card (so that
//! line numbers count from the deck's start).
struct Deck {
    std::istringstream text;
    InputUnit in;
    explicit Deck(const std::string& cards) : text("Titel\n" + cards), in(text, "DECK") {
        std::string title;
        in.next_record(title);
    }
};

TEST(CardReaderTrace, PlacesOfValuesAndFailures) {
    float a = 0.0f, b = 0.0f;
    double x = 0.0;
    int32_t i = 0, j = 0, k = 0;
    const std::function<CardOutcome(InputUnit&)> reals = [&](InputUnit& in) { return read_card_items(in, a, b, x); };
    const std::function<CardOutcome(InputUnit&)> ints = [&](InputUnit& in) { return read_card_items(in, i, j, k); };
    const std::function<CardOutcome(InputUnit&)> mixed = [&](InputUnit& in) { return read_card_items(in, i, j, a); };
    const struct {
        std::string cards;
        std::function<CardOutcome(InputUnit&)> read;
        CardOutcome outcome;
        std::vector<std::string> places;  //!< location lines of items 0, 1, 2 ("" not asked), then of the failure
    } cases[] = {
        // Format reversion continues on a new line.
        {"(2F5.0)\n  1.0  2.0\n  3.0\n",
         reals,
         CardOutcome::Read,
         {" Datei DECK, Zeile 3, Spalten 1-5: '1.0'", " Datei DECK, Zeile 3, Spalten 6-10: '2.0'",
          " Datei DECK, Zeile 4, Spalten 1-5: '3.0'", " Datei DECK, Zeile 4: '3.0'"}},
        // A comma ends a field early: the next one starts behind it; a value
        // missing from a short line is a field of no text.
        {"(2I5,F5.0)\n1,22\n",
         mixed,
         CardOutcome::Read,
         {" Datei DECK, Zeile 3, Spalten 1-5: '1,22'", " Datei DECK, Zeile 3, Spalten 3-7: '22'",
          " Datei DECK, Zeile 3, Spalten 5-9: ''", " Datei DECK, Zeile 3: '1,22'"}},
        // A letter behind a slash; T and X move the fields.
        {"(I5/T3,I2,1X,I1)\n    1\n  x7 9\n",
         ints,
         CardOutcome::BadData,
         {" Datei DECK, Zeile 3, Spalten 1-5: '1'", " Datei DECK, Zeile 4, Spalten 3-4: 'x7'", "",
          " Datei DECK, Zeile 4, Spalten 3-4: 'x7'"}},
        {"(3F5.0)\n  1.0 -Inf  2.0\n",
         reals,
         CardOutcome::NotFinite,
         {"", "", " Datei DECK, Zeile 3, Spalten 11-15: '2.0'", " Datei DECK, Zeile 3, Spalten 6-10: '-Inf'"}},
        // Too large for single precision, not for double precision.
        {"(3E10.0)\n   3.0E38    1.0E39    1.0E39\n",
         reals,
         CardOutcome::NotFinite,
         {"", "", "", " Datei DECK, Zeile 3, Spalten 11-20: '1.0E39'"}},
        // The file ends inside the read, or at the format card.
        {"(I5)\n    1\n",
         ints,
         CardOutcome::EndOfFile,
         {" Datei DECK, Zeile 3, Spalten 1-5: '1'", " Datei DECK, Dateiende nach Zeile 3", "",
          " Datei DECK, Dateiende nach Zeile 3"}},
        {"(I5)\n", ints, CardOutcome::EndOfFile, {"", "", "", " Datei DECK, Dateiende nach Zeile 2"}},
        {"(3Q5)               ignored\n",
         ints,
         CardOutcome::BadData,
         {"", "", "", " Datei DECK, Zeile 2, Spalten 1-20: '(3Q5)'"}},
    };
    for (const auto& c : cases) {
        Deck d(c.cards);
        EXPECT_EQ(c.read(d.in), c.outcome) << c.cards;
        for (int32_t item = 0; item < 3; ++item) {
            const std::string& expected = c.places[static_cast<std::size_t>(item)];
            if (!expected.empty()) {
                EXPECT_EQ(location_line(field_place(d.in, item)), expected) << c.cards;
            }
        }
        EXPECT_EQ(location_line(failure_place(d.in)), c.places[3]) << c.cards;
    }
    EXPECT_EQ(x, 1.0E39) << "a double takes what a float cannot";
}

TEST(CardReaderTrace, LinesCountOnAndALineTakenBackIsCountedOnce) {
    Deck d("(I5)\n    1\n(2I5)\n    2\n    3    4\n");
    int32_t i = 0, j = 0;
    ASSERT_EQ(read_card_items(d.in, i), CardOutcome::Read);
    const FormatProgram* f = nullptr;
    ASSERT_EQ(read_format_card(d.in, f), CardOutcome::Read);
    std::string line;
    ASSERT_TRUE(d.in.next_record(line));
    EXPECT_EQ(d.in.lines_read(), 5);
    d.in.unread(line);
    EXPECT_EQ(d.in.lines_read(), 4);
    ASSERT_EQ(read_data_items(d.in, *f, i, j), CardOutcome::Read);  // the line taken back
    EXPECT_EQ(i * 10 + j, 20);
    EXPECT_EQ(location_line(fields_place(d.in, 0, 1)), " Datei DECK, Zeile 5, Spalten 1-10: '2'");
    ASSERT_EQ(read_data_items(d.in, *f, i, j), CardOutcome::Read);
    EXPECT_EQ(location_line(fields_place(d.in, 0, 1)), " Datei DECK, Zeile 6, Spalten 1-10: '3    4'");
    EXPECT_EQ(read_data_items(d.in, *f, i, j), CardOutcome::EndOfFile);
    EXPECT_EQ(location_line(failure_place(d.in)), " Datei DECK, Dateiende nach Zeile 6");
}

TEST(LocationLine, Layout) {
    SourcePlace p;
    EXPECT_EQ(location_line(p), "") << "an unknown place has no line";
    p.line = 12, p.first_column = 4, p.last_column = 4, p.has_text = true, p.text = "x";
    EXPECT_EQ(location_line(p), " Zeile 12, Spalte 4: 'x'");
    p.file = "ZUSATZ", p.context = "Eintrag 3 (TEMP)";
    EXPECT_EQ(location_line(p), " Datei ZUSATZ, Zeile 12, Eintrag 3 (TEMP), Spalte 4: 'x'");
    EXPECT_EQ(shown_text("  a\tb\x1b[2J  "), "a?b?[2J");
    const std::string shown = shown_text(std::string(100, '7'));
    EXPECT_EQ(shown, std::string(77, '7') + "...");
}

TEST(InputUnit, ADirectoryDoesNotOpen) {
    const std::string here = std::filesystem::temp_directory_path().string();
    EXPECT_TRUE(is_directory(here));
    EXPECT_FALSE(InputUnit(here).good());
    EXPECT_FALSE(is_directory(here + "/gruv3d-no-such-file"));
}

}  // namespace
}  // namespace gruv
