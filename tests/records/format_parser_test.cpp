// Format texts -> FormatProgram: descriptors, groups, reversion point, errors
// with their columns, and the two caches.
#include <gtest/gtest.h>

#include "records/format_program.hpp"

namespace gruv {
namespace {

std::vector<EditKind> kinds(const FormatProgram& f) {
    std::vector<EditKind> k;
    for (const auto& e : f.items) k.push_back(e.kind);
    return k;
}

int error_column(std::string_view text) {
    try {
        parse_format(text);
    } catch (const FormatSyntaxError& e) {
        return e.column();
    }
    return 0;
}

TEST(FormatParser, RepeatedDataDescriptor) {
    const auto f = parse_format("(10F8.2)");
    ASSERT_EQ(f->items.size(), 1u);
    const EditDescriptor& e = f->items[0];
    EXPECT_EQ(e.kind, EditKind::F);
    EXPECT_EQ(e.repeat, 10);
    EXPECT_EQ(e.w, 8);
    EXPECT_EQ(e.d, 2);
    EXPECT_EQ(e.column, 2);
    EXPECT_EQ(f->reversion, 0);
    EXPECT_TRUE(f->reversion_has_data);
}

TEST(FormatParser, AllDescriptorKinds) {
    const auto f = parse_format("(I5,I6.3,F8.2,E12.4,E12.4E3,D10.3,G12.4,G14.5E4,A,A8,L2,3X,T10,TL2,TR4,/,:,'x',1P,BN,BZ,S,SP,SS)");
    const std::vector<EditKind> want = {EditKind::I,  EditKind::I,     EditKind::F,     EditKind::E,       EditKind::E,
                                        EditKind::D,  EditKind::G,     EditKind::G,     EditKind::A,       EditKind::A,
                                        EditKind::L,  EditKind::X,     EditKind::T,     EditKind::TL,      EditKind::TR,
                                        EditKind::Slash, EditKind::Colon, EditKind::Literal, EditKind::P, EditKind::BN,
                                        EditKind::BZ, EditKind::S,     EditKind::SP,    EditKind::SS};
    EXPECT_EQ(kinds(*f), want);
    EXPECT_EQ(f->items[1].d, 3);   // I6.3: m
    EXPECT_EQ(f->items[0].d, -1);  // I5: no m
    EXPECT_EQ(f->items[4].e, 3);
    EXPECT_EQ(f->items[7].e, 4);
    EXPECT_EQ(f->items[3].e, -1);
    EXPECT_EQ(f->items[8].w, -1);  // A without width
    EXPECT_EQ(f->items[9].w, 8);
    EXPECT_EQ(f->items[11].n, 3);
    EXPECT_EQ(f->items[12].n, 10);
    EXPECT_EQ(f->items[13].n, 2);
    EXPECT_EQ(f->items[14].n, 4);
    EXPECT_EQ(f->items[18].n, 1);
}

TEST(FormatParser, ScaleFactorForms) {
    auto f = parse_format("(1PE11.3)");
    ASSERT_EQ(kinds(*f), (std::vector<EditKind>{EditKind::P, EditKind::E}));
    EXPECT_EQ(f->items[0].n, 1);
    f = parse_format("(1P,E12.5)");
    ASSERT_EQ(kinds(*f), (std::vector<EditKind>{EditKind::P, EditKind::E}));
    f = parse_format("(-1P,F8.3, 0PF8.3, +2P3E12.4)");
    ASSERT_EQ(f->items.size(), 6u);
    EXPECT_EQ(f->items[0].n, -1);
    EXPECT_EQ(f->items[2].n, 0);
    EXPECT_EQ(f->items[4].n, 2);
    EXPECT_EQ(f->items[5].repeat, 3);
}

TEST(FormatParser, LiteralsAndHollerith) {
    const auto f = parse_format(R"(('it''s',"say ""hi""",'',3Ha,b))");
    ASSERT_EQ(f->items.size(), 4u);
    EXPECT_EQ(f->literal(f->items[0]), "it's");
    EXPECT_EQ(f->literal(f->items[1]), "say \"hi\"");
    EXPECT_EQ(f->literal(f->items[2]), "");
    EXPECT_EQ(f->literal(f->items[3]), "a,b");
    // Blanks inside a literal are kept, outside it they are insignificant.
    const auto g = parse_format("( ' a  b ' , 1 0 X )");
    ASSERT_EQ(g->items.size(), 2u);
    EXPECT_EQ(g->literal(g->items[0]), " a  b ");
    EXPECT_EQ(g->items[1].n, 10);
}

TEST(FormatParser, OptionalCommasAndSlashes) {
    EXPECT_EQ(kinds(*parse_format("(A20/)")), (std::vector<EditKind>{EditKind::A, EditKind::Slash}));
    EXPECT_EQ(kinds(*parse_format("(/,T16,' x ')")),
              (std::vector<EditKind>{EditKind::Slash, EditKind::T, EditKind::Literal}));
    const auto f = parse_format("(F6.2,10I6  ,/,9(6X,10I6  ,/))");
    EXPECT_EQ(kinds(*f), (std::vector<EditKind>{EditKind::F, EditKind::I, EditKind::Slash, EditKind::Open, EditKind::X,
                                                EditKind::I, EditKind::Slash, EditKind::Close}));
    EXPECT_EQ(f->items[3].repeat, 9);
    EXPECT_EQ(f->reversion, 3);
    const auto g = parse_format("(I5 2/ 'a' I3)");  // blanks are insignificant: I52, /, ...
    EXPECT_EQ(g->items[0].w, 52);
    const auto h = parse_format("(I5,2/'a'I3,)");
    EXPECT_EQ(kinds(*h), (std::vector<EditKind>{EditKind::I, EditKind::Slash, EditKind::Literal, EditKind::I}));
    EXPECT_EQ(h->items[1].repeat, 2);
    EXPECT_EQ(kinds(*parse_format("()")), std::vector<EditKind>{});
}

TEST(FormatParser, ReversionPointIsTheLastTopLevelGroup) {
    const auto f = parse_format("(I5, 2(I3, (I4)), F5.1, 3(A, 2(I1)), L1)");
    // items: I Open(2) I Open I Close Close F Open(3) A Open(2) I Close Close L
    ASSERT_EQ(f->items.size(), 15u);
    EXPECT_EQ(f->reversion, 8);
    EXPECT_EQ(f->items[8].kind, EditKind::Open);
    EXPECT_EQ(f->items[8].repeat, 3);
    EXPECT_EQ(f->items[8].n, 13);  // its Close
    EXPECT_EQ(f->items[13].n, 8);
    EXPECT_EQ(f->items[1].n, 6);
    EXPECT_TRUE(f->reversion_has_data);
    const auto g = parse_format("(I5, ('x'))");
    EXPECT_EQ(g->reversion, 1);
    EXPECT_FALSE(g->reversion_has_data);
}

TEST(FormatParser, TextAfterTheFinalParenthesisIsIgnored) {
    const auto f = parse_format("  (10F8.2)   junk )(");
    ASSERT_EQ(f->items.size(), 1u);
    EXPECT_EQ(f->items[0].column, 4);
    EXPECT_EQ(parse_format("(I5)         ")->items.size(), 1u);
}

TEST(FormatParser, LowerCaseDescriptors) {
    const auto f = parse_format("(1pe11.3,i5,f8.2,a,tl2,tr3,sp,bz,2x)");
    EXPECT_EQ(kinds(*f), (std::vector<EditKind>{EditKind::P, EditKind::E, EditKind::I, EditKind::F, EditKind::A, EditKind::TL,
                                                EditKind::TR, EditKind::SP, EditKind::BZ, EditKind::X}));
}

TEST(FormatParser, ErrorsCarryTheColumn) {
    EXPECT_EQ(error_column("10F8.2"), 1);         // no '('
    EXPECT_EQ(error_column(""), 1);
    EXPECT_EQ(error_column("   "), 4);
    EXPECT_EQ(error_column("(I5"), 4);            // end of text
    EXPECT_EQ(error_column("(F8)"), 4);           // '.' required
    EXPECT_EQ(error_column("(F8.)"), 5);          // d required
    EXPECT_EQ(error_column("(E0.3)"), 3);         // width 0 only for I and F
    EXPECT_EQ(error_column("(I5,'abc)"), 5);      // unterminated string
    EXPECT_EQ(error_column("(Q5)"), 2);           // not a descriptor we know
    EXPECT_EQ(error_column("(B5)"), 2);           // not supported
    EXPECT_EQ(error_column("(0I5)"), 2);          // zero repeat count
    EXPECT_EQ(error_column("(T0)"), 3);           // T needs a positive column
    EXPECT_EQ(error_column("(I5.6)"), 5);         // m > w
    EXPECT_EQ(error_column("(,I5)"), 2);
    EXPECT_EQ(error_column("(I5,,I5)"), 5);
    EXPECT_EQ(error_column("(2'ab')"), 3);        // no repeat count on a string
    EXPECT_EQ(error_column("(I5,P)"), 5);         // P without a scale factor
    EXPECT_EQ(error_column("(-1I5)"), 2);
    EXPECT_EQ(error_column("(I5,E12.4E)"), 11);   // exponent width missing
    EXPECT_EQ(error_column("(A0)"), 3);
    EXPECT_EQ(error_column("(I5,#)"), 5);
    EXPECT_EQ(error_column("(5Habc)"), 3);        // Hollerith runs past the end
    EXPECT_EQ(error_column("(2(I5)"), 7);
    EXPECT_EQ(error_column("(I1000001)"), 3);    // absurd numbers
    EXPECT_EQ(error_column("(5"), 3);             // a repeat count at the end of the text
    EXPECT_EQ(error_column("(I5,12  "), 9);
    EXPECT_EQ(error_column("(E30.3E11)"), 8);     // exponent wider than any exponent
    std::string deep(40, '(');
    deep += "I5";
    deep += std::string(40, ')');
    EXPECT_GT(error_column(deep), 0);
    EXPECT_EQ(error_column(deep), kMaxGroupDepth + 2);  // the first '(' beyond the limit
}

TEST(FormatParser, WorkBetweenTwoDataItemsIsBounded) {
    // The steps a transfer takes without moving an item or ending a record
    // (positions, strings, groups entered and repeated) are what a record
    // costs beyond its items: nested repeat counts must not multiply them.
    const std::vector<std::pair<std::string, int>> cases = {
        {" (1000(1000(1000(X))))", 2},   // a million per pass even before the pass limit
        {"(999(9999(X))T1F8.2)", 1},     // 20 million before each item
        {"(F8.2,999(9999(X)))", 1},      // ... after the last item
        {"(I1,(20(20(X)),I1,20(20(X))))", 1},  // 842 + 842 on the way back through reversion
        {"(I2,50(20(X)),I2)", 1},        // 2101 between two items
        {"(999(9999()))", 1},            // empty groups are steps too
        {"(100(100(100(X))))", 1},
        {"(100(100(100(I1))))", 0},      // a million items per pass, each one a step
        {"(10(10(X)),I5)", 0},           // 221 steps before the item
        {"(3(4X,10(2X,F8.2),/))", 0},
        {"(F6.2,10F6.0,/,9(6X,10F6.0,/))", 0},
        {"(T20,21('-'),/,/,' werden auf der Datei ',A14,' ausgegeben.')", 0},
    };
    for (const auto& [text, column] : cases) EXPECT_EQ(error_column(text), column) << text;
}

TEST(FormatParser, ErrorMessageNamesTheColumn) {
    try {
        parse_format("(I5,Q)");
        FAIL() << "no error";
    } catch (const FormatSyntaxError& e) {
        EXPECT_EQ(e.column(), 5);
        EXPECT_NE(std::string(e.what()).find("column 5"), std::string::npos) << e.what();
    }
    try {
        parse_format(std::string("(5"));  // the text ends right after the count: no read past it
        FAIL() << "no error";
    } catch (const FormatSyntaxError& e) {
        EXPECT_STREQ(e.what(), "format (5: missing ')' at the end of the format (column 3)");
    }
}

TEST(FormatParser, FixedFormatIsParsedOnceAndKept) {
    const FormatProgram& a = fixed_format("(I5,F8.2)");
    const FormatProgram& b = fixed_format("(I5,F8.2)");
    EXPECT_EQ(&a, &b);
    EXPECT_NE(&a, &fixed_format("(I5,F8.3)"));
    EXPECT_THROW(fixed_format("(I5,F8)"), std::logic_error);
}

TEST(FormatParser, FormatCacheRemembersValidAndInvalidTexts) {
    FormatCache cache;
    const FormatProgram* p = cache.find("(10F8.2)            ");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(cache.find("(10F8.2)            "), p);
    EXPECT_EQ(cache.find("(10F8.2"), nullptr);
    EXPECT_EQ(cache.find("(10F8.2"), nullptr);
    EXPECT_NE(cache.find("(10F8.3)"), p);
    EXPECT_EQ(cache.find("(10F8.2)            "), p);
}

TEST(FormatWalker, ExpandsRepeatsAndGroups) {
    const auto f = parse_format("(I1,2(I2,2I3),I4)");
    FormatWalker w(*f);
    std::vector<int> widths;
    for (const EditDescriptor* e = w.next(); e != nullptr; e = w.next()) widths.push_back(e->w);
    EXPECT_EQ(widths, (std::vector<int>{1, 2, 3, 3, 2, 3, 3, 4}));
    // Reversion: the group again with its repeat count, then I4.
    w.revert();
    widths.clear();
    for (const EditDescriptor* e = w.next(); e != nullptr; e = w.next()) widths.push_back(e->w);
    EXPECT_EQ(widths, (std::vector<int>{2, 3, 3, 2, 3, 3, 4}));
}

}  // namespace
}  // namespace gruv
