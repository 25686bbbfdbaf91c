// The writer on the cases the listing formats rely on. Expected strings follow
// the Fortran editing rules (and agree with what gfortran writes; the oracle
// test checks many more cases against gfortran itself).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "records/format_program.hpp"

namespace gruv {
namespace {

template <class... Items>
std::vector<std::string> lines(std::string_view fmt, const Items&... items) {
    const auto f = parse_format(fmt);
    if constexpr (sizeof...(Items) == 0) {
        return format_records(*f, {});
    } else {
        const OutItem list[] = {out(items)...};
        return format_records(*f, list);
    }
}

template <class... Items>
std::string line(std::string_view fmt, const Items&... items) {
    const auto r = lines(fmt, items...);
    EXPECT_EQ(r.size(), 1u) << fmt;
    return r.empty() ? std::string() : r.front();
}

using V = std::vector<std::string>;
const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(RecordWriter, IntegerFields) {
    EXPECT_EQ(line("(I5)", 42), "   42");
    EXPECT_EQ(line("(I5)", -42), "  -42");
    EXPECT_EQ(line("(I5.3)", 7), "  007");
    EXPECT_EQ(line("(I5.3)", -7), " -007");
    EXPECT_EQ(line("(I5.0)", 0), "     ");
    EXPECT_EQ(line("(I3)", 1234), "***");
    EXPECT_EQ(line("(I3)", -99), "-99");
    EXPECT_EQ(line("(I2)", -99), "**");
    EXPECT_EQ(line("(I0)", -123), "-123");
    EXPECT_EQ(line("(I0.0)", 0), " ");
    EXPECT_EQ(line("(I11)", std::numeric_limits<int32_t>::min()), "-2147483648");
    EXPECT_EQ(line("(SP,I4,SS,I4)", 5, 5), "  +5   5");
}

TEST(RecordWriter, FixedPointRoundsTheExactBinaryValueTiesToEven) {
    EXPECT_EQ(line("(F5.2)", 0.125), " 0.12");   // 0.125 is exact: a tie, to even
    EXPECT_EQ(line("(F5.2)", 0.375), " 0.38");
    EXPECT_EQ(line("(F4.0)", 2.5), "  2.");
    EXPECT_EQ(line("(F4.0)", 3.5), "  4.");
    EXPECT_EQ(line("(F5.2)", 0.005), " 0.01");   // 0.005 is slightly above the tie in binary
    EXPECT_EQ(line("(F8.3)", 1.0005), "   1.000");  // slightly below in binary
    EXPECT_EQ(line("(F40.25)", 0.1), "             0.1000000000000000055511151");
    EXPECT_EQ(line("(F40.25)", 0.1f), "             0.1000000014901161193847656");
}

TEST(RecordWriter, FixedPointSignsZerosAndOverflow) {
    EXPECT_EQ(line("(F5.2)", -0.001), "-0.00");
    EXPECT_EQ(line("(F5.2)", -0.0), "-0.00");
    EXPECT_EQ(line("(F4.2)", 0.5), "0.50");
    EXPECT_EQ(line("(F4.2)", -0.5), "-.50");   // the optional zero gives way
    EXPECT_EQ(line("(F2.0)", 0.0), "0.");
    EXPECT_EQ(line("(F1.0)", 0.0), "*");       // F.0 needs its zero
    EXPECT_EQ(line("(F3.0)", 0.4), " 0.");
    EXPECT_EQ(line("(F6.2)", 1234.5), "******");
    EXPECT_EQ(line("(F7.2)", 1234.5), "1234.50");
    EXPECT_EQ(line("(SP,F6.2)", 1.5), " +1.50");
    EXPECT_EQ(line("(F0.2)", -0.123), "-.12");
    EXPECT_EQ(line("(F0.2)", 12.123), "12.12");
}

TEST(RecordWriter, ExponentForms) {
    EXPECT_EQ(line("(1PE11.3)", 1.0e-5), "  1.000E-05");
    EXPECT_EQ(line("(E10.4)", 123.5), "0.1235E+03");
    EXPECT_EQ(line("(E9.4)", 123.5), ".1235E+03");
    EXPECT_EQ(line("(E8.4)", 123.5), "********");
    EXPECT_EQ(line("(E12.4)", 1.5e200), "  0.1500+201");
    EXPECT_EQ(line("(D12.4)", 1.5e-200), "  0.1500-199");
    EXPECT_EQ(line("(D12.4)", 1.5e20), "  0.1500D+21");
    EXPECT_EQ(line("(E12.4E4)", 1.5e-200), "0.1500E-0199");
    EXPECT_EQ(line("(E12.4E1)", 1.5e-20), "************");
    EXPECT_EQ(line("(E12.4E1)", 1.5e-5), "   0.1500E-4");
    EXPECT_EQ(line("(E12.4)", 0.0), "  0.0000E+00");
    EXPECT_EQ(line("(1PE12.4)", -2.5), " -2.5000E+00");
    EXPECT_EQ(line("(3PE12.4)", 4.5), "  450.00E-02");
    EXPECT_EQ(line("(-2PE12.4)", 4.5), "  0.0045E+03");
    EXPECT_EQ(line("(E10.3)", 9.9996), " 0.100E+02");  // rounding carries into the exponent
    EXPECT_EQ(line("(E20.3E10)", -1.5e-300), "  -0.150E-0000000299");  // the widest exponent field
    EXPECT_EQ(line("(1PE40.20E10)", 2.0), "      2.00000000000000000000E+0000000000");
}

TEST(RecordWriter, ScaleFactorHoldsForTheRestOfTheFormat) {
    EXPECT_EQ(line("(2PF12.4)", 4.5), "    450.0000");
    // kP applies to the F field after it, and still to the E after that;
    // 0P ends it.
    EXPECT_EQ(line("(1P,E10.3,F8.3,0P,E10.3)", 12.5, 1.5, 12.5), " 1.250E+01  15.000 0.125E+02");
    EXPECT_THROW(line("(E10.0)", 1.0), std::logic_error);  // k=0 and d=0 has no digit to show
    EXPECT_EQ(line("(1PE10.0)", 123.0), "    1.E+02");
    // A negative scale factor can put the rounding place left of the point.
    EXPECT_EQ(line("(-2PF8.0)", 9752.113), "     98.");
    EXPECT_EQ(line("(-1PF6.0)", 95.0f), "   10.");
}

TEST(RecordWriter, GeneralEditing) {
    EXPECT_EQ(line("(G12.4)", 0.1), "  0.1000    ");
    EXPECT_EQ(line("(G12.4)", 0.09999), "  0.9999E-01");
    EXPECT_EQ(line("(G12.4)", 9999.5), "  0.1000E+05");
    EXPECT_EQ(line("(G12.4)", 0.0), "   0.000    ");
    EXPECT_EQ(line("(G12.4)", 12345.0), "  0.1234E+05");
    EXPECT_EQ(line("(G12.4)", 123.0), "   123.0    ");
    EXPECT_EQ(line("(1PG12.4)", 12345.0), "  1.2345E+04");
    EXPECT_EQ(line("(1PG12.4)", 123.0), "   123.0    ");  // F form: no scale
    EXPECT_EQ(line("(G12.4)", 123), "         123");
    EXPECT_EQ(line("(G12.4)", "abc"), "         abc");
    EXPECT_EQ(line("(G15.7)", 0.1f), "  0.1000000    ");
    EXPECT_EQ(line("(G5.1)", 0.0), "*****");            // F form too wide: the whole field
    EXPECT_EQ(line("(G10.2E3)", 5.0), "  5.0     ");    // n = e+2 blanks
}

TEST(RecordWriter, GeneralEditingChoosesTheFormInTheItemsPrecision) {
    // The F/E bounds are formed in the precision of the item: 9.995 as a
    // REAL*4 equals the single-precision bound 10*(1-0.0005) and goes to the
    // next decade, while as a REAL*8 it stays below the double bound.
    EXPECT_EQ(line("(G10.3)", 9.995f), "  10.0    ");
    EXPECT_EQ(line("(G10.3)", 9.995), "  9.99    ");
}

TEST(RecordWriter, InfinityAndNaN) {
    EXPECT_EQ(line("(F8.3)", nan), "     NaN");
    EXPECT_EQ(line("(F8.3)", inf), "Infinity");
    EXPECT_EQ(line("(F8.3)", -inf), "    -Inf");
    EXPECT_EQ(line("(F9.3)", -inf), "-Infinity");
    EXPECT_EQ(line("(F10.3)", -inf), " -Infinity");
    EXPECT_EQ(line("(F3.1)", -inf), "***");
    EXPECT_EQ(line("(F4.1)", -inf), "-Inf");
    EXPECT_EQ(line("(SP,F9.3)", inf), "+Infinity");
    EXPECT_EQ(line("(E12.4)", -inf), "   -Infinity");
    EXPECT_EQ(line("(F2.0)", nan), "**");
    EXPECT_EQ(line("(G10.3)", nan), "       NaN");
    EXPECT_EQ(line("(F0.3)", -inf), "-Inf");
}

TEST(RecordWriter, Characters) {
    EXPECT_EQ(line("(A5)", "ab"), "   ab");
    EXPECT_EQ(line("(A1)", "ab"), "a");
    EXPECT_EQ(line("(A)", "ab c "), "ab c ");
    EXPECT_EQ(line("('[',A,']')", ""), "[]");
    const std::string s = "text";
    EXPECT_EQ(line("(A,A3)", s, std::string_view("xyz12")), "textxyz");
}

TEST(RecordWriter, PositioningWithinARecord) {
    EXPECT_EQ(line("(A,T10,A)", "[", "]"), "[        ]");
    EXPECT_EQ(line("(A,10X)", "["), "[");     // nothing written after the move
    EXPECT_EQ(line("(A,T20)", "["), "[");
    EXPECT_EQ(line("(A,TR5,A)", "[", ""), "[     ");
    EXPECT_EQ(line("(A,T10,A,TL5,A)", "[", "abcdef", "X"), "[        aXcdef");
    EXPECT_EQ(line("(A,T10,A,T3,A)", "[", "abcdef", "X"), "[ X      abcdef");
    EXPECT_EQ(line("(A,TL5,A)", "abc", "X"), "Xbc");  // TL stops at column 1
}

TEST(RecordWriter, SlashesLiteralsAndTheEndOfTheList) {
    EXPECT_EQ(lines("(I5/)", 1), (V{"    1", ""}));            // the slash after the last item is carried out
    EXPECT_EQ(lines("(A20/)", "x"), (V{std::string(19, ' ') + "x", ""}));
    EXPECT_EQ(lines("(/,T16,' x ')"), (V{"", std::string(15, ' ') + " x "}));
    EXPECT_EQ(lines("('abc',I5,'def')"), (V{"abc"}));             // no items: up to the first data descriptor
    EXPECT_EQ(lines("('abc',I5,'def')", 7), (V{"abc    7def"}));
    EXPECT_EQ(lines("(I2,2/I2)", 1, 2), (V{" 1", "", " 2"}));
    EXPECT_EQ(lines("(3(I2,:,','))", 1, 2), (V{" 1, 2"}));       // the colon stops before the last ','
    EXPECT_EQ(lines("(3(I2,','))", 1, 2), (V{" 1, 2,"}));
    EXPECT_EQ(lines("(I3)"), (V{""}));
}

TEST(RecordWriter, FormatReversion) {
    const int32_t v[] = {1, 2, 3, 4, 5, 6, 7, 8};
    const OutItem items[] = {out_array(v, 8)};
    // Without inner groups reversion restarts the whole format.
    EXPECT_EQ(format_records(*parse_format("('x',3I2)"), items), (V{"x 1 2 3", "x 4 5 6", "x 7 8"}));
    // With groups it resumes at the last top-level group, repeat count included.
    EXPECT_EQ(format_records(*parse_format("(I1,2(I2),'|')"), items), (V{"1 2 3|", " 4 5|", " 6 7|", " 8"}));
    EXPECT_EQ(format_records(*parse_format("(I1,(I2,'/'),2(I3))"), items), (V{"1 2/  3  4", "  5  6", "  7  8"}));
    // Array stride: every second element.
    const OutItem odd[] = {out_array(v, 4, 2)};
    EXPECT_EQ(format_records(*parse_format("(4I2)"), odd), (V{" 1 3 5 7"}));
}

TEST(RecordWriter, ListingLikeFormats) {
    double row[20];
    for (int i = 0; i < 20; ++i) row[i] = 0.5 * i - 1.0;
    const auto& f = fixed_format("(F6.2,10F6.1  ,/,9(6X,10F6.1  ,/))");
    const OutItem part[] = {out(2.25), out_array(row, 12)};
    auto r = format_records(f, part);
    ASSERT_EQ(r.size(), 2u);  // the list ends at a data descriptor
    EXPECT_EQ(r[0], "  2.25  -1.0  -0.5   0.0   0.5   1.0   1.5   2.0   2.5   3.0   3.5");
    EXPECT_EQ(r[1], "         4.0   4.5");
    const OutItem full[] = {out(2.25), out_array(row, 20)};
    r = format_records(f, full);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1], "         4.0   4.5   5.0   5.5   6.0   6.5   7.0   7.5   8.0   8.5");
    EXPECT_EQ(r[2], "");  // the list ended just before a slash, which is carried out
}

TEST(RecordWriter, WrongItemTypeIsAProgrammingError) {
    EXPECT_THROW(line("(I5)", 1.5), std::logic_error);
    EXPECT_THROW(line("(F5.1)", 1), std::logic_error);
    EXPECT_THROW(line("(A)", 1), std::logic_error);
    EXPECT_THROW(line("(I5)", "x"), std::logic_error);
    // A format without data descriptors cannot take items.
    EXPECT_THROW(line("('x')", 1), std::logic_error);
    EXPECT_THROW(line("(I2,('x'))", 1, 2), std::logic_error);
}

TEST(RecordWriter, RecordsLongerThanTheLimitAreAProgrammingError) {
    const std::string wide = "(A,T" + std::to_string(kMaxRecordLength) + ",A)";
    EXPECT_EQ(line(wide, "[", "]").size(), kMaxRecordLength);
    EXPECT_THROW(line(wide, "[", "]]"), std::logic_error);
    EXPECT_THROW(line("(2(1000000X),'x')"), std::logic_error);
}

TEST(RecordWriter, WriteHelpersAndSinks) {
    struct Collect final : RecordSink {
        std::vector<std::string> lines;
        void put_record(std::string_view t) override { lines.emplace_back(t); }
    } sink;
    write_list(sink, "Programm beendet");
    write(sink, fixed_format("(' Zeit:',F8.2,' s')"), 12.5f);
    write(sink, fixed_format("(' Ende')"));
    EXPECT_EQ(sink.lines, (V{" Programm beendet", " Zeit:   12.50 s", " Ende"}));
}

}  // namespace
}  // namespace gruv
