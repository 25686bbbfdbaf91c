// The reader: fields, blanks, exponent forms, short records, slashes,
// reversion, and the outcomes End and BadData.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "records/format_program.hpp"

namespace gruv {
namespace {

class Lines final : public RecordSource {
public:
    explicit Lines(std::vector<std::string> l) : lines_(std::move(l)) {}
    bool next_record(std::string& line) override {
        if (next_ >= lines_.size()) return false;
        line = lines_[next_++];
        return true;
    }
    std::size_t used() const { return next_; }

private:
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
};

template <class... Items>
ReadOutcome read_lines(std::vector<std::string> l, std::string_view fmt, Items&&... items) {
    Lines src(std::move(l));
    return read(src, *parse_format(fmt), items...);
}

double read_f(const std::string& field, std::string_view fmt = "(F10.2)") {
    double v = -777.0;
    EXPECT_EQ(read_lines({field}, fmt, v), ReadOutcome::Ok) << field;
    return v;
}

TEST(RecordReader, IntegersAndReals) {
    int32_t i = 0;
    double x = 0;
    float y = 0;
    ASSERT_EQ(read_lines({"   12  123456   1.5E3"}, "(I5,F8.2,E8.1)", i, x, y), ReadOutcome::Ok);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(x, 1234.56);
    EXPECT_EQ(y, 1500.0f);
}

TEST(RecordReader, RealFieldForms) {
    EXPECT_EQ(read_f("12345"), 123.45);         // last d digits are the fraction
    EXPECT_EQ(read_f("1.5"), 1.5);              // an explicit point wins
    EXPECT_EQ(read_f("-.5"), -0.5);
    EXPECT_EQ(read_f("1.0E-5"), 1.0e-5);
    EXPECT_EQ(read_f("1.0e-5"), 1.0e-5);
    EXPECT_EQ(read_f("1.0D3"), 1000.0);
    EXPECT_EQ(read_f("1.0d3"), 1000.0);
    EXPECT_EQ(read_f("1.0-5"), 1.0e-5);
    EXPECT_EQ(read_f("1.0+5"), 1.0e5);
    EXPECT_EQ(read_f("1E2"), 1.0);              // 1 with two implied decimals, times 100
    EXPECT_EQ(read_f("  1 2 "), 0.12);          // blanks ignored
    EXPECT_EQ(read_f(""), 0.0);
    EXPECT_EQ(read_f("     "), 0.0);
    EXPECT_EQ(read_f("-"), 0.0);
    EXPECT_EQ(read_f("1e-400"), 0.0);
    EXPECT_EQ(read_f("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(read_f("-Inf"), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(read_f("NaN")));
    EXPECT_TRUE(std::isnan(read_f("nan(q1)")));
    EXPECT_TRUE(std::signbit(read_f("-0.0")));
    EXPECT_EQ(read_f("4.9e-324", "(E12.4)"), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(read_f("0.1000000000000000055511151231257827", "(F40.0)"), 0.1);
}

TEST(RecordReader, ScaleFactorOnInput) {
    EXPECT_EQ(read_f("12345", "(1P,F10.2)"), 12.345);   // no exponent: divided by 10
    EXPECT_EQ(read_f("1.5", "(-1PF10.2)"), 15.0);
    EXPECT_EQ(read_f("1.5E2", "(1P,F10.2)"), 150.0);    // an exponent cancels the scale factor
}

TEST(RecordReader, BlankZeroMode) {
    int32_t i = 0;
    int32_t j = 0;
    ASSERT_EQ(read_lines({"1 2 1 2 "}, "(BZ,I4,BN,I4)", i, j), ReadOutcome::Ok);
    EXPECT_EQ(i, 1020);
    EXPECT_EQ(j, 12);
    EXPECT_EQ(read_f("1.5 ", "(BZ,F4.0)"), 1.5);
    EXPECT_EQ(read_f("1 ", "(BZ,F2.0)"), 10.0);
}

TEST(RecordReader, RealsAreRoundedOnceToTheirType) {
    float y = 0;
    ASSERT_EQ(read_lines({"0.1"}, "(F10.0)", y), ReadOutcome::Ok);
    EXPECT_EQ(y, 0.1f);
    // Just above 1 + 2^-24: rounds up to 1 + 2^-23 as a float, whereas
    // rounding through double first would give the tie 1 + 2^-24 and then 1.
    ASSERT_EQ(read_lines({"1.000000059604644776"}, "(F25.0)", y), ReadOutcome::Ok);
    EXPECT_EQ(y, std::nextafter(1.0f, 2.0f));
}

TEST(RecordReader, ShortRecordsReadAsPadded) {
    int32_t a = -1;
    int32_t b = -1;
    double x = -1;
    ASSERT_EQ(read_lines({"   7"}, "(I5,I5,F8.2)", a, b, x), ReadOutcome::Ok);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(x, 0.0);
}

TEST(RecordReader, CharacterItems) {
    std::string s4(4, '?');
    ASSERT_EQ(read_lines({"abcdefghij"}, "(A10)", s4), ReadOutcome::Ok);
    EXPECT_EQ(s4, "ghij");  // w > len: the rightmost len characters
    ASSERT_EQ(read_lines({"abcdefghij"}, "(A2)", s4), ReadOutcome::Ok);
    EXPECT_EQ(s4, "ab  ");  // w < len: left-aligned, blank padded
    ASSERT_EQ(read_lines({"abcdefghij"}, "(A)", s4), ReadOutcome::Ok);
    EXPECT_EQ(s4, "abcd");
    std::string s10(10, '?');
    ASSERT_EQ(read_lines({"abcde"}, "(A20)", s10), ReadOutcome::Ok);
    EXPECT_EQ(s10, "abcde     ");  // the characters the record has
    char c3[3];
    ASSERT_EQ(read_lines({"x,y"}, "(A3)", in_chars(c3, 3)), ReadOutcome::Ok);
    EXPECT_EQ(std::string(c3, 3), "x,y");  // a comma is data in an A field
}

TEST(RecordReader, CommaEndsANumericField) {
    int32_t v[3] = {0, 0, 0};
    ASSERT_EQ(read_lines({"1,2,  3"}, "(3I5)", in_array(v, 3)), ReadOutcome::Ok);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 3);
}

TEST(RecordReader, PositioningOnInput) {
    int32_t a = 0;
    int32_t b = 0;
    int32_t c = 0;
    ASSERT_EQ(read_lines({"123456789"}, "(T4,I2,TL4,I1,4X,I2)", a, b, c), ReadOutcome::Ok);
    EXPECT_EQ(a, 45);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(c, 78);
}

TEST(RecordReader, ThePositionStopsAtTheEndOfTheRecord) {
    // A field that meets the end of the record, or a move past it, leaves
    // the position at the end; TL then counts back from there.
    std::string a(6, '?');
    std::string b(8, '?');
    ASSERT_EQ(read_lines({"521dmj"}, "(A6,A6,TL3,A5)", a, a, b), ReadOutcome::Ok);
    EXPECT_EQ(b, "dmj     ");
    int32_t i = 0;
    ASSERT_EQ(read_lines({"1234"}, "(10X,TL2,I2)", i), ReadOutcome::Ok);
    EXPECT_EQ(i, 34);
}

TEST(RecordReader, SlashesAndReversionTakeNewRecords) {
    int32_t v[5] = {};
    Lines src({"  1  2", "  3  4", "  5", "unused"});
    ASSERT_EQ(read(src, *parse_format("(2I3)"), in_array(v, 5)), ReadOutcome::Ok);
    EXPECT_EQ(v[4], 5);
    EXPECT_EQ(src.used(), 3u);
    int32_t a = 0;
    int32_t b = 0;
    ASSERT_EQ(read_lines({"1", "skipped", "2"}, "(I1,2/I1)", a, b), ReadOutcome::Ok);
    EXPECT_EQ(a * 10 + b, 12);
}

TEST(RecordReader, EndOfFile) {
    int32_t a = -1;
    int32_t b = -1;
    EXPECT_EQ(read_lines({}, "(I5)", a), ReadOutcome::End);
    EXPECT_EQ(read_lines({}, "(I5)"), ReadOutcome::End);  // even an empty list needs its record
    EXPECT_EQ(read_lines({"   12"}, "(I5/)", a), ReadOutcome::End);  // the slash still wants a record
    EXPECT_EQ(a, 12);
    EXPECT_EQ(read_lines({"   13"}, "(I5)", a, b), ReadOutcome::End);  // reversion wants a record
    EXPECT_EQ(a, 13);
    EXPECT_EQ(b, -1);
}

TEST(RecordReader, BadDataKeepsWhatWasRead) {
    int32_t a = -1;
    double x = -1;
    int32_t b = -1;
    EXPECT_EQ(read_lines({"    4 1.2.3    5"}, "(I5,F6.0,I5)", a, x, b), ReadOutcome::BadData);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(b, -1);
    for (const char* bad : {"abc", "1.0E", "1e+", "1-", "1.5.", "0x1p3", "infinit", "2.5+", "1e5x"}) {
        x = -1;
        EXPECT_EQ(read_lines({bad}, "(F8.2)", x), ReadOutcome::BadData) << bad;
        EXPECT_EQ(x, -1);
    }
    for (const char* bad : {"1.5", "+", "1e2", "2147483648", "-2147483649", "12a"}) {
        EXPECT_EQ(read_lines({bad}, "(I12)", a), ReadOutcome::BadData) << bad;
    }
    ASSERT_EQ(read_lines({"-2147483648"}, "(I12)", a), ReadOutcome::Ok);
    EXPECT_EQ(a, std::numeric_limits<int32_t>::min());
}

TEST(RecordReader, UnsuitableDescriptorIsBadData) {
    int32_t i = 0;
    double x = 0;
    std::string s(3, ' ');
    EXPECT_EQ(read_lines({"1"}, "(F5.0)", i), ReadOutcome::BadData);
    EXPECT_EQ(read_lines({"1"}, "(I5)", x), ReadOutcome::BadData);
    EXPECT_EQ(read_lines({"1"}, "(I5)", s), ReadOutcome::BadData);
    EXPECT_EQ(read_lines({"1"}, "(A)", i), ReadOutcome::BadData);
    EXPECT_EQ(read_lines({"1"}, "(I0)", i), ReadOutcome::BadData);
    EXPECT_EQ(read_lines({"1"}, "(F0.1)", x), ReadOutcome::BadData);
    EXPECT_EQ(read_lines({"   12   34"}, "(I5,'ab',I5)", i, i), ReadOutcome::BadData);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(read_lines({"1", "2"}, "('x')", i), ReadOutcome::BadData);  // nothing can take the item
}

TEST(RecordReader, GeneralAndLogicalInput) {
    int32_t i = 0;
    double x = 0;
    int32_t t = -1;
    int32_t f = -1;
    ASSERT_EQ(read_lines({"   12 1.5e1  .true F"}, "(G5.1,G6.1,L7,L2)", i, x, t, f), ReadOutcome::Ok);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(x, 15.0);
    EXPECT_EQ(t, 1);
    EXPECT_EQ(f, 0);
    EXPECT_EQ(read_lines({"  x"}, "(L3)", t), ReadOutcome::BadData);
}

TEST(RecordReader, NoCrashOnArbitraryBytes) {
    // Every byte value in every kind of field: an outcome, never a crash.
    const auto f = parse_format("(I3,F5.1,E6.2,G4.1,A2,L2,I2)");
    for (int b = 0; b < 256; ++b) {
        std::string rec(30, static_cast<char>(b));
        rec[3] = '.';
        Lines src({rec});
        int32_t i = 0;
        double x = 0;
        float y = 0;
        float g = 0;
        std::string s(2, ' ');
        int32_t l = 0;
        int32_t j = 0;
        const ReadOutcome r = read(src, *f, i, x, y, g, s, l, j);
        EXPECT_TRUE(r == ReadOutcome::Ok || r == ReadOutcome::BadData);
    }
}

}  // namespace
}  // namespace gruv
