// Format text -> FormatProgram.
//
// The grammar is that of Fortran format specifications as the run-time format
// parsers of Fortran processors accept them:
//   - blanks are insignificant outside character strings, also inside numbers
//     ("1 0F8.2" is "10F8.2");
//   - commas between items may be left out ("(I5I5)", "(A20/)", "1PE11.3");
//     a comma right before a ')' is accepted;
//   - a bare X means 1X, a bare L means L1, a bare H means 1H;
//   - text after the final ')' is ignored (a format card holds 20 columns,
//     often a short format followed by blanks or remarks).
// Errors are reported with the 1-based column of the offending character.
#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>

#include "records/format_program.hpp"

namespace gruv {

namespace {

// Widths, positions and repeat counts beyond this are taken for errors: no
// record comes near it, and it keeps a bad format from asking for huge buffers.
constexpr int64_t kMaxNumber = 1'000'000;
// One pass through a format may carry out at most this many descriptors
// (repeat counts multiplied through the groups), so that a format such as
// "(1000(1000(1000(X))))" cannot keep a transfer busy for hours.
constexpr double kMaxPassLength = 1e8;

enum class Tok : uint8_t {
    PosInt,     // unsigned integer > 0
    Zero,       // unsigned integer 0
    SignedInt,  // integer with a sign (only before P)
    Letter,     // a descriptor name, in `name`
    String,     // a quoted string
    LParen,
    RParen,
    Comma,
    Slash,
    Colon,
    Period,
    End,
    Other,  // a character with no meaning in a format
};

struct Token {
    Tok tok = Tok::End;
    int32_t value = 0;     // numbers
    std::string_view name; // Letter: upper-case descriptor name ("I", "TL", "SP", ...)
    int32_t column = 0;    // 1-based column of the first character
};

class Lexer {
public:
    explicit Lexer(std::string_view text) : s_(text) {}

    [[noreturn]] void fail(const std::string& what, int32_t column) const {
        throw FormatSyntaxError("format " + std::string(s_) + ": " + what + " (column " + std::to_string(column) + ")",
                                column);
    }

    int32_t column() const { return static_cast<int32_t>(p_) + 1; }
    std::size_t pos() const { return p_; }
    std::string_view text() const { return s_; }

    // The next token; a token taken back with unget() comes first.
    Token next() {
        if (saved_) {
            saved_ = false;
            return saved_tok_;
        }
        skip_blanks();
        Token t;
        t.column = column();
        if (p_ >= s_.size()) {
            t.tok = Tok::End;
            return t;
        }
        const char c = s_[p_];
        if (is_digit(c) || ((c == '+' || c == '-') && next_nonblank_is_digit(p_ + 1))) {
            const bool sign = (c == '+' || c == '-');
            if (sign) ++p_;
            int64_t v = 0;
            for (;;) {
                skip_blanks();
                if (p_ >= s_.size() || !is_digit(s_[p_])) break;
                v = v * 10 + (s_[p_] - '0');
                if (v > kMaxNumber) fail("number too large", t.column);
                ++p_;
            }
            t.value = static_cast<int32_t>(c == '-' ? -v : v);
            t.tok = sign ? Tok::SignedInt : (v == 0 ? Tok::Zero : Tok::PosInt);
            return t;
        }
        ++p_;
        switch (c) {
            case '(': t.tok = Tok::LParen; return t;
            case ')': t.tok = Tok::RParen; return t;
            case ',': t.tok = Tok::Comma; return t;
            case '/': t.tok = Tok::Slash; return t;
            case ':': t.tok = Tok::Colon; return t;
            case '.': t.tok = Tok::Period; return t;
            case '\'':
            case '"': t.tok = Tok::String; string_quote_ = c; return t;
            default: break;
        }
        const char u = upper(c);
        if (u < 'A' || u > 'Z') {
            t.tok = Tok::Other;
            return t;
        }
        t.tok = Tok::Letter;
        t.name = std::string_view(&letters_[static_cast<std::size_t>(u - 'A')], 1);
        // Two-letter names: TL TR SP SS BN BZ (and others we recognise only to
        // reject them by name: EN ES DT DC DP RU RD RZ RN RC RP).
        static constexpr std::string_view pairs[] = {"TL", "TR", "SP", "SS", "BN", "BZ", "EN", "ES",
                                                     "DT", "DC", "DP", "RU", "RD", "RZ", "RN", "RC", "RP"};
        const std::size_t save = p_;
        skip_blanks();
        if (p_ < s_.size()) {
            const char u2 = upper(s_[p_]);
            for (std::string_view pr : pairs) {
                if (pr[0] == u && pr[1] == u2) {
                    t.name = pr;
                    ++p_;
                    return t;
                }
            }
        }
        p_ = save;
        return t;
    }

    void unget(const Token& t) {
        saved_ = true;
        saved_tok_ = t;
    }

    // After a String token: the characters up to the closing quote, a doubled
    // quote standing for one. Appends to out.
    void read_string(std::string& out, int32_t column) {
        for (;;) {
            if (p_ >= s_.size()) fail("unterminated character string", column);
            const char c = s_[p_++];
            if (c == string_quote_) {
                if (p_ < s_.size() && s_[p_] == string_quote_) {
                    out += c;
                    ++p_;
                    continue;
                }
                return;
            }
            out += c;
        }
    }

    // After nH: the next n characters as they stand, blanks included.
    void read_hollerith(std::string& out, int32_t n, int32_t column) {
        if (s_.size() - p_ < static_cast<std::size_t>(n)) fail("Hollerith string runs past the end of the format", column);
        out.append(s_.substr(p_, static_cast<std::size_t>(n)));
        p_ += static_cast<std::size_t>(n);
    }

    void skip_blanks() {
        while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t')) ++p_;
    }

private:
    static bool is_digit(char c) { return c >= '0' && c <= '9'; }
    static char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
    bool next_nonblank_is_digit(std::size_t q) const {
        while (q < s_.size() && (s_[q] == ' ' || s_[q] == '\t')) ++q;
        return q < s_.size() && is_digit(s_[q]);
    }

    static constexpr char letters_[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string_view s_;
    std::size_t p_ = 0;
    char string_quote_ = '\'';
    bool saved_ = false;
    Token saved_tok_;
};

class Parser {
public:
    explicit Parser(std::string_view text) : lx_(text) {}

    std::shared_ptr<const FormatProgram> run() {
        auto prog = std::make_shared<FormatProgram>();
        prog_ = prog.get();
        prog_->text = std::string(lx_.text());
        const Token open = lx_.next();
        if (open.tok != Tok::LParen) lx_.fail("a format must begin with '('", open.column);
        parse_list(0);
        // Whatever follows the final ')' is not part of the format.

        // Reversion resumes at the last top-level group, else at the start.
        int32_t depth = 0;
        prog_->reversion = 0;
        for (std::size_t i = 0; i < prog_->items.size(); ++i) {
            const EditDescriptor& e = prog_->items[i];
            if (e.kind == EditKind::Open) {
                if (depth == 0) prog_->reversion = static_cast<int32_t>(i);
                ++depth;
            } else if (e.kind == EditKind::Close) {
                --depth;
            }
        }
        for (std::size_t i = static_cast<std::size_t>(prog_->reversion); i < prog_->items.size(); ++i) {
            if (is_data_edit(prog_->items[i].kind)) prog_->reversion_has_data = true;
        }
        if (pass_length(0, prog_->items.size()) > kMaxPassLength) lx_.fail("repeat counts too large", open.column);
        // Between two data items (or record ends) a transfer carries out at
        // most kMaxIdleSteps other steps. A real format needs a handful;
        // "(999(9999(X))T1F8.2)" would need 20 million per record, which
        // makes a node-by-node deck read for hours.
        if (longest_idle_run() > static_cast<double>(kMaxIdleSteps)) {
            lx_.fail("repeat counts too large between two data items", open.column);
        }
        return prog;
    }

private:
    // The steps of a walk through items [first, last) that are not events
    // (an event transfers an item or ends a record: a data descriptor or a
    // slash), as the walker counts them: a descriptor once per repetition, a
    // group's '(' once per entry and its ')' once per repetition.
    struct IdleRun {
        bool events = false;  // the items hold an event
        double lead = 0;      // steps before the first event (all steps when there is none)
        double tail = 0;      // steps after the last event
        double gap = 0;       // longest run of steps between two events
    };

    // a followed by b.
    static IdleRun then(IdleRun a, const IdleRun& b) {
        if (!a.events) {
            IdleRun r = b;
            r.lead += a.lead;
            return r;
        }
        if (!b.events) {
            a.tail += b.lead;
            return a;
        }
        a.gap = std::max({a.gap, b.gap, a.tail + b.lead});
        a.tail = b.tail;
        return a;
    }

    IdleRun idle_run(std::size_t first, std::size_t last) const {
        IdleRun run;
        for (std::size_t i = first; i < last; ++i) {
            const EditDescriptor& e = prog_->items[i];
            IdleRun item;
            if (e.kind == EditKind::Open) {
                const auto close = static_cast<std::size_t>(e.n);
                const IdleRun body = idle_run(i + 1, close);
                const double r = e.repeat;
                if (body.events) {
                    item = {true, 1 + body.lead, body.tail + 1, body.gap};
                    if (r > 1) item.gap = std::max(item.gap, body.tail + 1 + body.lead);
                } else {
                    item.lead = 1 + r * (body.lead + 1);
                }
                i = close;
            } else if (is_data_edit(e.kind) || e.kind == EditKind::Slash) {
                item.events = true;
            } else {
                item.lead = e.repeat;
            }
            run = then(run, item);
        }
        return run;
    }

    // The longest run of steps without an event that a transfer can meet:
    // from the start, between two events, or from the last event through
    // format reversion to the next.
    double longest_idle_run() const {
        const IdleRun pass = idle_run(0, prog_->items.size());
        if (!pass.events) return pass.lead;
        const IdleRun reverted = idle_run(static_cast<std::size_t>(prog_->reversion), prog_->items.size());
        return std::max({pass.lead, pass.gap, pass.tail + (reverted.events ? reverted.lead : 0)});
    }

    // Descriptors carried out by one pass through items [first, last).
    double pass_length(std::size_t first, std::size_t last) const {
        double n = 0;
        for (std::size_t i = first; i < last; ++i) {
            const EditDescriptor& e = prog_->items[i];
            if (e.kind == EditKind::Open) {
                const auto close = static_cast<std::size_t>(e.n);
                n += e.repeat * (1 + pass_length(i + 1, close));
                i = close;
            } else {
                n += e.repeat;
            }
        }
        return n;
    }

    EditDescriptor& add(EditKind kind, int32_t column, int32_t repeat = 1) {
        EditDescriptor e;
        e.kind = kind;
        e.column = column;
        e.repeat = repeat;
        prog_->items.push_back(e);
        return prog_->items.back();
    }

    // Items up to and including the ')' that closes the group opened at
    // nesting `depth` (0: the whole format).
    void parse_list(int depth) {
        for (;;) {
            Token t = lx_.next();
            if (t.tok == Tok::RParen) return;  // also "()" and a comma before ')'
            parse_item(t, depth);
            // Between items: a comma, or none at all.
            Token sep = lx_.next();
            if (sep.tok == Tok::RParen) return;
            if (sep.tok == Tok::End) lx_.fail("missing ')' at the end of the format", sep.column);
            if (sep.tok != Tok::Comma) {
                lx_.unget(sep);
            } else {
                // ",)" closes; ",," or ",End" fall to parse_item's errors.
                Token after = lx_.next();
                if (after.tok == Tok::RParen) return;
                lx_.unget(after);
            }
        }
    }

    void parse_item(Token t, int depth) {
        int32_t repeat = 1;
        bool has_repeat = false;
        const int32_t col = t.column;  // where the item begins, its repeat count included
        switch (t.tok) {
            case Tok::End: lx_.fail("missing ')' at the end of the format", t.column);
            case Tok::PosInt: {
                repeat = t.value;
                has_repeat = true;
                const Token u = lx_.next();
                if (u.tok == Tok::Letter && u.name == "P") {
                    add_scale(t.value, t.column);
                    return;
                }
                if (u.tok == Tok::Letter && u.name == "X") {
                    add(EditKind::X, t.column).n = t.value;
                    return;
                }
                if (u.tok == Tok::Letter && u.name == "H") {
                    EditDescriptor& e = add(EditKind::Literal, t.column);
                    e.text_offset = static_cast<int32_t>(prog_->literals.size());
                    lx_.read_hollerith(prog_->literals, t.value, u.column);
                    e.text_length = t.value;
                    return;
                }
                t = u;
                break;
            }
            case Tok::Zero:
            case Tok::SignedInt: {
                const Token u = lx_.next();
                if (!(u.tok == Tok::Letter && u.name == "P")) {
                    lx_.fail(t.tok == Tok::Zero ? "a repeat count must be positive" : "a signed number must be followed by P",
                             u.tok == Tok::End ? u.column : t.column);
                }
                add_scale(t.value, t.column);
                return;
            }
            default: break;
        }

        switch (t.tok) {
            case Tok::LParen: {
                if (depth + 1 > kMaxGroupDepth) lx_.fail("groups nested too deeply", t.column);
                const auto open = static_cast<int32_t>(prog_->items.size());
                add(EditKind::Open, col, repeat);
                parse_list(depth + 1);
                const auto close = static_cast<int32_t>(prog_->items.size());
                add(EditKind::Close, t.column).n = open;
                prog_->items[static_cast<std::size_t>(open)].n = close;
                return;
            }
            case Tok::Slash:
                add(EditKind::Slash, col, repeat);
                return;
            case Tok::Colon:
                if (has_repeat) lx_.fail("a repeat count cannot precede ':'", t.column);
                add(EditKind::Colon, t.column);
                return;
            case Tok::String: {
                if (has_repeat) lx_.fail("a repeat count cannot precede a character string", t.column);
                EditDescriptor& e = add(EditKind::Literal, t.column);
                e.text_offset = static_cast<int32_t>(prog_->literals.size());
                lx_.read_string(prog_->literals, t.column);
                // `e` may dangle after further push_backs; none happen here.
                e.text_length = static_cast<int32_t>(prog_->literals.size()) - e.text_offset;
                return;
            }
            case Tok::Letter: break;
            case Tok::End:  // a repeat count at the end of the text: "(5"
                lx_.fail("missing ')' at the end of the format", t.column);
            case Tok::RParen:
                lx_.fail("a repeat count must be followed by a descriptor", t.column);
            case Tok::Comma:
                lx_.fail("unexpected ','", t.column);
            default:
                lx_.fail("unexpected character '" + std::string(1, lx_.text()[static_cast<std::size_t>(t.column - 1)]) + "'",
                         t.column);
        }
        parse_descriptor(t, repeat, has_repeat, col);
    }

    // kP may be followed directly by F, E, D or G, with or without a repeat
    // count (1PE11.3, 1P3E12.4); anything else needs a comma, except '/'
    // and ')'.
    void add_scale(int32_t k, int32_t column) {
        add(EditKind::P, column).n = k;
        const Token t = lx_.next();
        lx_.unget(t);
        const bool real_desc =
            t.tok == Tok::Letter && (t.name == "F" || t.name == "E" || t.name == "D" || t.name == "G");
        if (!(real_desc || t.tok == Tok::Comma || t.tok == Tok::RParen || t.tok == Tok::Slash || t.tok == Tok::PosInt ||
              t.tok == Tok::End)) {
            lx_.fail("a comma is required after the scale factor", t.column);
        }
    }

    int32_t expect_number(bool allow_zero, const char* what) {
        const Token t = lx_.next();
        if (t.tok == Tok::PosInt || (allow_zero && t.tok == Tok::Zero)) return t.value;
        lx_.fail(what, t.column);
    }

    void parse_descriptor(const Token& t, int32_t repeat, bool has_repeat, int32_t column) {
        const std::string_view n = t.name;
        auto no_repeat = [&] {
            if (has_repeat) lx_.fail("a repeat count cannot precede " + std::string(n), column);
        };
        if (n == "I") {
            EditDescriptor e;
            e.kind = EditKind::I;
            e.repeat = repeat;
            e.column = column;
            e.w = expect_number(true, "a width is required after I");
            Token p = lx_.next();
            if (p.tok == Tok::Period) {
                const int32_t m_column = lx_.column();
                e.d = expect_number(true, "a digit count is required after '.'");
                if (e.w != 0 && e.d > e.w) lx_.fail("minimum digits exceed the field width", m_column);
            } else {
                lx_.unget(p);
            }
            prog_->items.push_back(e);
            return;
        }
        if (n == "F" || n == "E" || n == "D" || n == "G") {
            EditDescriptor e;
            e.kind = n == "F" ? EditKind::F : n == "E" ? EditKind::E : n == "D" ? EditKind::D : EditKind::G;
            e.repeat = repeat;
            e.column = column;
            e.w = expect_number(e.kind == EditKind::F, "a positive width is required");
            const Token p = lx_.next();
            if (p.tok != Tok::Period) lx_.fail("'.' is required after the width", p.column);
            e.d = expect_number(true, "a digit count is required after '.'");
            if (e.kind == EditKind::E || e.kind == EditKind::G) {
                const Token x = lx_.next();
                if (x.tok == Tok::Letter && x.name == "E") {
                    const int32_t e_column = lx_.column();
                    e.e = expect_number(false, "a positive exponent width is required");
                    if (e.e > kMaxExponentDigits) {
                        lx_.fail("an exponent width above " + std::to_string(kMaxExponentDigits) + " is not supported",
                                 e_column);
                    }
                } else {
                    lx_.unget(x);
                }
            }
            prog_->items.push_back(e);
            return;
        }
        if (n == "A" || n == "L") {
            EditDescriptor e;
            e.kind = n == "A" ? EditKind::A : EditKind::L;
            e.repeat = repeat;
            e.column = column;
            const Token w = lx_.next();
            if (w.tok == Tok::PosInt) {
                e.w = w.value;
            } else if (w.tok == Tok::Zero) {
                lx_.fail("a zero width is not allowed", w.column);
            } else {
                lx_.unget(w);
                e.w = e.kind == EditKind::A ? -1 : 1;
            }
            prog_->items.push_back(e);
            return;
        }
        if (n == "H") {  // H alone: 1H, the next character
            no_repeat();
            EditDescriptor& e = add(EditKind::Literal, column);
            e.text_offset = static_cast<int32_t>(prog_->literals.size());
            lx_.read_hollerith(prog_->literals, 1, t.column);
            e.text_length = 1;
            return;
        }
        if (n == "X") {  // X alone: 1X
            no_repeat();
            add(EditKind::X, column).n = 1;
            return;
        }
        if (n == "T" || n == "TL" || n == "TR") {
            no_repeat();
            const int32_t pos = expect_number(false, "a positive position is required");
            add(n == "T" ? EditKind::T : n == "TL" ? EditKind::TL : EditKind::TR, column).n = pos;
            return;
        }
        if (n == "S" || n == "SP" || n == "SS" || n == "BN" || n == "BZ") {
            no_repeat();
            add(n == "S" ? EditKind::S : n == "SP" ? EditKind::SP : n == "SS" ? EditKind::SS : n == "BN" ? EditKind::BN : EditKind::BZ,
                column);
            return;
        }
        if (n == "P") lx_.fail("P requires a scale factor before it", column);
        lx_.fail("edit descriptor " + std::string(n) + " is not supported", t.column);
    }

    Lexer lx_;
    FormatProgram* prog_ = nullptr;
};

}  // namespace

std::shared_ptr<const FormatProgram> parse_format(std::string_view text) { return Parser(text).run(); }

const FormatProgram& fixed_format(std::string_view text) {
    // The one process-wide cache: formats written in the program text, each
    // parsed on its first use. It lives as long as the process (an embedding
    // program or a fuzzer runs millions of decks), so only texts of the
    // program belong in it; far more distinct texts than the program holds
    // mean that texts from outside are being passed.
    constexpr std::size_t kMaxFixedFormats = 2048;
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const FormatProgram>, std::less<>> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(text);
    if (it != cache.end()) return *it->second;
    if (cache.size() >= kMaxFixedFormats) {
        throw std::logic_error("more than " + std::to_string(kMaxFixedFormats) + " fixed formats: " + std::string(text));
    }
    std::shared_ptr<const FormatProgram> parsed;
    try {
        parsed = parse_format(text);
    } catch (const FormatSyntaxError& e) {
        throw std::logic_error(std::string("invalid fixed format: ") + e.what());
    }
    return *cache.emplace(std::string(text), std::move(parsed)).first->second;
}

const FormatProgram* FormatCache::find(std::string_view text) {
    for (const auto& [t, prog] : entries_) {
        if (t == text) return prog.get();
    }
    std::shared_ptr<const FormatProgram> parsed;
    try {
        parsed = parse_format(text);
    } catch (const FormatSyntaxError&) {
        // Remember the failure too, so a bad card is not parsed again.
    }
    entries_.emplace_back(std::string(text), parsed);
    return entries_.back().second.get();
}

}  // namespace gruv
