// Formatted input: records read into a list of variables under a FormatProgram.
//
// The rules are those of a formatted sequential file opened with BLANK='NULL'
// and PAD='YES', as gfortran applies them:
//   - a field holds the characters of the record from the current position,
//     at most w of them; a record shorter than that gives a shorter field,
//     which reads as if padded with blanks (and an A item then receives the
//     characters that are there, blank padded);
//   - in a numeric or logical field a comma ends the field early and is
//     consumed, so "1,2,3" reads under (3I5);
//   - blanks in numeric fields are ignored (BN) or zeros (BZ); an empty or
//     all-blank field is zero;
//   - a real without a decimal point takes its last d digits as the fraction;
//     the scale factor divides it by 10**k unless it has an exponent;
//     "1.0E-5", "1.0D3", "1.0Q3", "1.0-5", "1.0+5", "Inf", "Infinity", "NaN"
//     and "NaN(...)" are real input; a mantissa without digits is zero;
//   - anything else in a numeric field is bad data; the items read before it
//     keep their values.
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "records/format_program.hpp"

namespace gruv {

namespace {

enum class Blanks : uint8_t { Null, Zero };

// The record being read and the position in it. The position never passes
// the end of the record: a field or a move to the right stops there (so a
// later TL counts back from the end of the record, as with gfortran).
struct InRecord {
    std::string* text = nullptr;
    std::size_t pos = 0;

    //! The next field: up to w characters, fewer at the end of the record; a
    //! comma ends a numeric field early and is passed over.
    std::string_view take(std::size_t w, bool comma_ends) {
        const std::string_view f = std::string_view(*text).substr(pos, w);
        if (comma_ends) {
            const std::size_t c = f.find(',');
            if (c != std::string_view::npos) {
                pos += c + 1;
                return f.substr(0, c);
            }
        }
        pos += f.size();
        return f;
    }
    void move_to(std::size_t p) { pos = p < text->size() ? p : text->size(); }
};

// Supplies the records of one read: into the trace's storage when there is a
// trace (so the records stay for messages), otherwise into one buffer.
class RecordFeed {
public:
    RecordFeed(RecordSource& source, ReadTrace* trace) : source_(source), trace_(trace) {
        if (trace_ != nullptr) trace_->clear();
    }
    //! Makes the next record current; false at the end of the file.
    bool next(InRecord& rec) {
        std::string* line = &buffer_;
        if (trace_ != nullptr) {
            if (trace_->used == trace_->records.size()) trace_->records.emplace_back();
            line = &trace_->records[trace_->used];
        }
        if (!source_.next_record(*line)) {
            if (trace_ != nullptr) trace_->ended = true;
            return false;
        }
        if (trace_ != nullptr) ++trace_->used;
        rec.text = line;
        rec.pos = 0;
        return true;
    }
    //! Notes the field a descriptor of width w is about to take at the
    //! current position for element `element` of item `item`.
    void note_field(const InRecord& rec, int32_t w, std::size_t item, int32_t element) {
        if (trace_ == nullptr) return;
        trace_->fields.push_back({static_cast<int32_t>(trace_->used) - 1, static_cast<int32_t>(rec.pos), w,
                                  static_cast<int32_t>(item), element});
    }
    //! The field noted last could not be read; true when the read goes on.
    bool field_failed() {
        if (trace_ == nullptr || trace_->fields.empty()) return false;
        const auto last = static_cast<int32_t>(trace_->fields.size()) - 1;
        if (trace_->failed < 0) trace_->failed = last;
        trace_->bad_fields.push_back(last);
        return trace_->lenient;
    }

private:
    RecordSource& source_;
    ReadTrace* trace_;
    std::string buffer_;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view skip_leading_blanks(std::string_view f) {
    while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
    return f;
}

// ------------------------------------------------------------------ fields
// I: an optional sign, then digits; blanks by the blank mode.
bool parse_int(std::string_view f, Blanks blanks, int32_t& out) {
    f = skip_leading_blanks(f);
    if (f.empty()) {
        out = 0;
        return true;
    }
    bool neg = false;
    if (f.front() == '-' || f.front() == '+') {
        neg = f.front() == '-';
        f.remove_prefix(1);
        if (f.empty()) return false;  // a sign alone
    }
    const uint64_t limit = neg ? uint64_t{2147483648u} : uint64_t{2147483647u};
    uint64_t value = 0;
    for (char c : f) {
        if (c == ' ') {
            if (blanks == Blanks::Null) continue;
            c = '0';
        }
        if (!is_digit(c)) return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > limit) return false;  // overflow
    }
    out = neg ? static_cast<int32_t>(-static_cast<int64_t>(value)) : static_cast<int32_t>(value);
    return true;
}

// "inf", "infinity", "nan" or "nan(alphanumerics)", any case, blanks after it.
// neg is the sign read before it.
template <class T>
bool parse_infnan(std::string_view f, bool neg, Blanks blanks, T& out) {
    char word[16];
    std::size_t n = 0;
    int parens = 0;
    bool ended = false;  // a blank or '(' has ended the word
    for (char c : f) {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (c == ' ') {
            if (blanks == Blanks::Zero) {
                if (!ended && n < sizeof word) word[n++] = '0';
                continue;
            }
            if (parens == 1) return false;
            ended = true;
        } else if (c == '(') {
            ++parens;
            ended = true;
        } else if (c == ')') {
            if (parens++ != 1) return false;
        } else {
            const bool alnum = is_digit(c) || (lower >= 'a' && lower <= 'z');
            if (!alnum) return false;
            if (!ended) {
                if (n >= sizeof word) return false;
                word[n++] = lower;
            }
        }
    }
    if (parens != 0 && parens != 2) return false;
    const std::string_view w(word, n);
    if (w == "inf" || w == "infinity") {
        if (parens != 0) return false;
        out = neg ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
        return true;
    }
    if (w != "nan") return false;
    out = neg ? -std::numeric_limits<T>::quiet_NaN() : std::numeric_limits<T>::quiet_NaN();
    return true;
}

// F, E, D, G input of a real of type T (float or double), rounded once from
// the decimal digits to T.
template <class T>
bool parse_real(std::string_view f, int32_t d, int32_t scale, Blanks blanks, T& out) {
    f = skip_leading_blanks(f);
    if (f.empty()) {
        out = T(0);
        return true;
    }
    bool neg = false;
    if (f.front() == '-' || f.front() == '+') {
        neg = f.front() == '-';
        f.remove_prefix(1);
    }
    f = skip_leading_blanks(f);
    if (f.empty()) {
        out = T(0);
        return true;
    }
    if (f.size() >= 3 && (f[0] == 'i' || f[0] == 'I' || f[0] == 'n' || f[0] == 'N')) {
        return parse_infnan(f, neg, blanks, out);
    }

    // The mantissa: its digits collected without the decimal point; point_at
    // counts the digits before the point.
    char small[128];
    std::string big;
    char* digits = small;
    if (f.size() + 1 > sizeof small) {
        big.resize(f.size() + 1);
        digits = big.data();
    }
    std::size_t nd = 0;
    std::size_t point_at = 0;
    bool seen_point = false;
    int64_t exponent = 0;
    bool has_exponent = false;
    std::size_t i = 0;
    for (; i < f.size(); ++i) {
        char c = f[i];
        if (c == ' ') {
            if (blanks == Blanks::Null) continue;
            c = '0';
        }
        if (is_digit(c)) {
            digits[nd++] = c;
            if (!seen_point) ++point_at;
        } else if (c == '.') {
            if (seen_point) return false;
            seen_point = true;
        } else if (c == '+' || c == '-') {
            has_exponent = true;
            break;
        } else if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' || c == 'Q') {
            has_exponent = true;
            ++i;
            break;
        } else {
            return false;
        }
    }
    if (has_exponent) {
        std::string_view x = skip_leading_blanks(f.substr(i));
        bool xneg = false;
        if (!x.empty() && (x.front() == '-' || x.front() == '+')) {
            xneg = x.front() == '-';
            x.remove_prefix(1);
        }
        if (x.empty()) return false;
        int64_t v = 0;
        for (char c : x) {
            if (c == ' ') {
                if (blanks == Blanks::Zero) v *= 10;
            } else if (is_digit(c)) {
                v = v * 10 + (c - '0');
            } else {
                return false;
            }
            if (v > 100000) v = 100000;  // far out of any range; keeps the arithmetic bounded
        }
        exponent = xneg ? -v : v;
    } else {
        exponent = -scale;
    }
    if (!seen_point) exponent -= d;
    if (exponent >= 10000 || exponent <= -10000) return false;

    // value = 0.digits * 10**(point_at + exponent)
    std::size_t first = 0;
    while (first < nd && digits[first] == '0') ++first;
    if (first == nd) {
        out = neg ? -T(0) : T(0);
        return true;
    }
    const int64_t e10 = static_cast<int64_t>(point_at) - static_cast<int64_t>(first) + exponent;  // value = 0.d1d2... * 10**e10
    // Far outside the range of T the result is zero or infinity, as strtod
    // gives it; from_chars reports those as out of range.
    char text[128];
    std::size_t tn = 0;
    text[tn++] = '0';
    text[tn++] = '.';
    std::string_view mant(digits + first, nd - first);
    std::string joined;
    std::string_view src;
    if (mant.size() + 32 <= sizeof text) {
        std::memcpy(text + tn, mant.data(), mant.size());
        tn += mant.size();
        text[tn++] = 'e';
        const auto r = std::to_chars(text + tn, text + sizeof text, e10);
        src = std::string_view(text, static_cast<std::size_t>(r.ptr - text));
    } else {
        joined.reserve(mant.size() + 32);
        joined = "0.";
        joined += mant;
        joined += 'e';
        joined += std::to_string(e10);
        src = joined;
    }
    T v{};
    const auto r = std::from_chars(src.data(), src.data() + src.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        v = e10 > 0 ? std::numeric_limits<T>::infinity() : T(0);
    } else if (r.ec != std::errc()) {
        return false;
    }
    out = neg ? -v : v;
    return true;
}

// L: optional blanks, an optional '.', then T or F; the rest is not looked at.
bool parse_logical(std::string_view f, int32_t& out) {
    f = skip_leading_blanks(f);
    if (!f.empty() && f.front() == '.') f.remove_prefix(1);
    if (f.empty()) return false;
    switch (f.front()) {
        case 't':
        case 'T': out = 1; return true;
        case 'f':
        case 'F': out = 0; return true;
        default: return false;
    }
}

// A and Aw into a text of length len: a field longer than the text gives
// its rightmost len characters; a shorter one is padded with blanks.
void read_chars(std::string_view field, char* dest, std::size_t len) {
    if (field.size() >= len) {
        std::memcpy(dest, field.data() + (field.size() - len), len);
    } else {
        std::memcpy(dest, field.data(), field.size());
        std::memset(dest + field.size(), ' ', len - field.size());
    }
}

// ------------------------------------------------------------------ items
class InList {
public:
    explicit InList(std::span<const InItem> items) : items_(items) { skip_empty(); }
    bool more() const { return i_ < items_.size(); }
    const InItem& item() const { return items_[i_]; }
    // Address of the current element.
    void* element() const {
        const InItem& it = items_[i_];
        const auto j = static_cast<std::ptrdiff_t>(k_) * it.stride;
        switch (it.type) {
            case InItem::Type::Int: return static_cast<int32_t*>(it.data) + j;
            case InItem::Type::Real4: return static_cast<float*>(it.data) + j;
            case InItem::Type::Real8: return static_cast<double*>(it.data) + j;
            case InItem::Type::Chars: return static_cast<char*>(it.data) + j * it.len;
        }
        return nullptr;
    }
    std::size_t index() const { return i_; }
    int32_t element_index() const { return k_; }
    void advance() {
        if (++k_ >= items_[i_].count) {
            k_ = 0;
            ++i_;
            skip_empty();
        }
    }

private:
    void skip_empty() {
        while (i_ < items_.size() && items_[i_].count <= 0) ++i_;
    }
    std::span<const InItem> items_;
    std::size_t i_ = 0;
    int32_t k_ = 0;
};

struct ReaderState {
    int32_t scale = 0;
    Blanks blanks = Blanks::Null;
};

// One item under one data descriptor; false for bad data (also a descriptor
// that does not suit the item, or a width input cannot have).
bool read_item(InRecord& rec, const ReaderState& st, const EditDescriptor& e, const InItem& item, void* dest) {
    const bool real = item.type == InItem::Type::Real4 || item.type == InItem::Type::Real8;
    EditKind kind = e.kind;
    if (kind == EditKind::G) {
        // Gw.d reads a real as F, an integer as I, a text as A.
        kind = real ? EditKind::F : item.type == InItem::Type::Int ? EditKind::I : EditKind::A;
    }
    switch (kind) {
        case EditKind::I: {
            if (item.type != InItem::Type::Int || e.w <= 0) return false;
            int32_t v = 0;
            if (!parse_int(rec.take(static_cast<std::size_t>(e.w), true), st.blanks, v)) return false;
            std::memcpy(dest, &v, sizeof v);
            return true;
        }
        case EditKind::F:
        case EditKind::E:
        case EditKind::D: {
            if (!real || e.w <= 0) return false;
            const std::string_view f = rec.take(static_cast<std::size_t>(e.w), true);
            if (item.type == InItem::Type::Real4) {
                float v = 0;
                if (!parse_real(f, e.d, st.scale, st.blanks, v)) return false;
                std::memcpy(dest, &v, sizeof v);
            } else {
                double v = 0;
                if (!parse_real(f, e.d, st.scale, st.blanks, v)) return false;
                std::memcpy(dest, &v, sizeof v);
            }
            return true;
        }
        case EditKind::L: {
            if (item.type != InItem::Type::Int) return false;
            int32_t v = 0;
            if (!parse_logical(rec.take(static_cast<std::size_t>(e.w), true), v)) return false;
            std::memcpy(dest, &v, sizeof v);
            return true;
        }
        case EditKind::A: {
            if (item.type != InItem::Type::Chars) return false;
            const auto len = static_cast<std::size_t>(item.len);
            const std::size_t w = e.w < 0 ? len : static_cast<std::size_t>(e.w);
            read_chars(rec.take(w, false), static_cast<char*>(dest), len);
            return true;
        }
        default: return false;
    }
}

}  // namespace

ReadOutcome read_records(RecordSource& source, const FormatProgram& format, std::span<const InItem> items,
                         ReadTrace* trace) {
    RecordFeed feed(source, trace);
    InRecord rec;
    if (!feed.next(rec)) return ReadOutcome::End;
    ReaderState st;
    InList list(items);
    FormatWalker walk(format);
    bool bad = false;  // a lenient read went on after a field it could not read
    const auto done = [&bad] { return bad ? ReadOutcome::BadData : ReadOutcome::Ok; };
    for (;;) {
        const EditDescriptor* e = walk.next();
        if (e == nullptr) {
            if (!list.more()) return done();
            if (!format.reversion_has_data) return ReadOutcome::BadData;
            if (!feed.next(rec)) return ReadOutcome::End;
            walk.revert();
            continue;
        }
        if (is_data_edit(e->kind)) {
            if (!list.more()) return done();
            // An A descriptor without a width takes the length of its text.
            feed.note_field(rec, e->w >= 0 ? e->w : list.item().len, list.index(), list.element_index());
            if (!read_item(rec, st, *e, list.item(), list.element())) {
                if (!feed.field_failed()) return ReadOutcome::BadData;
                bad = true;
            }
            list.advance();
            continue;
        }
        switch (e->kind) {
            case EditKind::X:
            case EditKind::TR: rec.move_to(rec.pos + static_cast<std::size_t>(e->n)); break;
            case EditKind::T: rec.move_to(static_cast<std::size_t>(e->n - 1)); break;
            case EditKind::TL: rec.pos = rec.pos > static_cast<std::size_t>(e->n) ? rec.pos - static_cast<std::size_t>(e->n) : 0; break;
            case EditKind::Slash:
                if (!feed.next(rec)) return ReadOutcome::End;
                break;
            case EditKind::Colon:
                if (!list.more()) return done();
                break;
            case EditKind::Literal: return ReadOutcome::BadData;  // a character string cannot be read into
            case EditKind::P: st.scale = e->n; break;
            case EditKind::BN: st.blanks = Blanks::Null; break;
            case EditKind::BZ: st.blanks = Blanks::Zero; break;
            default: break;  // S, SP, SS: output only
        }
    }
}

}  // namespace gruv
