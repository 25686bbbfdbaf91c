// Formatted output: a value list written under a FormatProgram.
//
// Numbers are laid out as gfortran lays them out: the decimal digits are those
// of the exact binary value rounded to the digits the field shows, ties to
// even (std::to_chars with a precision rounds exactly so); a negative value
// that rounds to zero keeps its minus sign ("-0.00"); a value too wide for its
// field fills the field with '*'. A REAL*4 item is widened to double, which is
// exact, so it shows the digits of its own binary value.
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "records/format_program.hpp"

namespace gruv {

namespace {

// ------------------------------------------------------------------ records
// The record under construction and the position of the next character.
// Positioning (X, T, TL, TR) only moves `pos`; the blanks between the end of
// the text and `pos` appear when something is written there, so a trailing
// X or T adds nothing to the record.
// A record never grows beyond kMaxRecordLength: a format whose positions or
// widths ask for more is a programming error.
struct OutRecord {
    std::string text;
    std::size_t pos = 0;

    void put(std::string_view s) {
        const std::size_t end = make_room(s.size());
        std::memcpy(text.data() + pos, s.data(), s.size());
        pos = end;
    }
    void put_fill(char c, std::size_t n) {
        const std::size_t end = make_room(n);
        std::memset(text.data() + pos, c, n);
        pos = end;
    }

private:
    // Blanks up to pos and room for n characters there; returns the end.
    std::size_t make_room(std::size_t n) {
        if (pos > kMaxRecordLength || n > kMaxRecordLength - pos) {
            throw std::logic_error("record longer than " + std::to_string(kMaxRecordLength) + " characters");
        }
        const std::size_t end = pos + n;
        if (end > text.size()) text.resize(end, ' ');
        return end;
    }
};

//! Writes a field of width w holding `body` right-aligned, or w asterisks when
//! the body does not fit. Width 0 (I0, F0.d) is the body's own width.
void put_field(OutRecord& rec, std::string_view body, int32_t w) {
    if (w <= 0) {
        rec.put(body);
        return;
    }
    const auto width = static_cast<std::size_t>(w);
    if (body.size() > width) {
        rec.put_fill('*', width);
        return;
    }
    rec.put_fill(' ', width - body.size());
    rec.put(body);
}

// ------------------------------------------------------------------ digits
// Scratch strings reused from field to field, so that a write allocates only
// while they grow.
struct Scratch {
    std::string body;      // the field's text before padding
    std::string digits;    // output of to_chars
    std::string work;      // digit strings being rearranged
    std::string exponent;  // the exponent part of an E or D field
};

// The exact value of a (finite, >= 0) rounded to `frac` digits after the
// decimal point, ties to even: its integer digits without leading zeros (empty
// for zero) and exactly `frac` fraction digits.
void fixed_digits(double a, int32_t frac, std::string& buf, std::string_view& int_part, std::string_view& frac_part) {
    const std::size_t need = static_cast<std::size_t>(frac) + 330;  // 309 integer digits at most
    if (buf.size() < need) buf.resize(need);
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), a, std::chars_format::fixed, frac);
    std::string_view s(buf.data(), static_cast<std::size_t>(r.ptr - buf.data()));
    const std::size_t dot = s.find('.');
    int_part = s.substr(0, dot);
    frac_part = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    while (!int_part.empty() && int_part.front() == '0') int_part.remove_prefix(1);
}

// The exact value of a (finite, > 0) rounded to `sig` significant digits, ties
// to even: the digits and the decimal exponent of the first one.
void scientific_digits(double a, int32_t sig, std::string& buf, std::string_view& digits, int32_t& exponent) {
    const std::size_t need = static_cast<std::size_t>(sig) + 16;
    if (buf.size() < need) buf.resize(need);
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), a, std::chars_format::scientific, sig - 1);
    // "d.ddde+xx" or "de+xx" when sig is 1: pack the digits together.
    std::size_t n = 0;
    const char* p = buf.data();
    while (p < r.ptr && *p != 'e') {
        if (*p != '.') buf[n++] = *p;
        ++p;
    }
    int32_t x = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), r.ptr, x);
    digits = std::string_view(buf.data(), n);
    exponent = x;
}

// Infinity and NaN as gfortran writes them in a field of width w: "Inf" or
// "Infinity" with a sign where it is due and fits, "NaN"; asterisks when
// the field is too narrow.
void infnan_body(std::string& body, double v, bool plus, int32_t w) {
    body.clear();
    if (std::isnan(v)) {
        body = (w == 0 || w >= 3) ? "NaN" : std::string(static_cast<std::size_t>(w), '*');
        return;
    }
    const bool neg = std::signbit(v);
    const bool sign = neg || plus;
    const int32_t nb = w == 0 ? (sign ? 4 : 3) : w;  // F0.d: the short form
    if (nb < 3 || (neg && nb == 3)) {
        body.assign(static_cast<std::size_t>(nb), '*');
        return;
    }
    if (nb > (sign ? 8 : 7)) {
        if (sign) body += neg ? '-' : '+';
        body += "Infinity";
    } else {
        if (sign && nb > 3) body += neg ? '-' : '+';
        body += "Inf";
    }
}

// ------------------------------------------------------------------ writers
struct WriterState {
    int32_t scale = 0;  // k of the last kP
    bool plus = false;  // SP in effect
    Scratch& s;
};

// The scratch strings of this thread, kept from write to write.
Scratch& thread_scratch() {
    thread_local Scratch s;
    return s;
}

void sign_prefix(std::string& body, bool neg, bool plus) {
    if (neg) {
        body += '-';
    } else if (plus) {
        body += '+';
    }
}

// Iw, Iw.m
void write_i(OutRecord& rec, WriterState& st, const EditDescriptor& e, int32_t v) {
    std::string& body = st.s.body;
    body.clear();
    const int64_t wide = v;
    const uint64_t mag = static_cast<uint64_t>(wide < 0 ? -wide : wide);
    char buf[std::numeric_limits<uint64_t>::digits10 + 1];  // every digit of a uint64_t
    const auto r = std::to_chars(buf, buf + sizeof buf, mag);
    std::string_view digits(buf, static_cast<std::size_t>(r.ptr - buf));
    const int32_t m = e.d < 0 ? 1 : e.d;
    if (m == 0 && v == 0) {
        // Iw.0 shows zero as blanks only; I0.0 as one blank.
        put_field(rec, e.w == 0 ? " " : "", e.w);
        return;
    }
    sign_prefix(body, v < 0, st.plus);
    if (static_cast<int32_t>(digits.size()) < m) body.append(static_cast<std::size_t>(m) - digits.size(), '0');
    body += digits;
    put_field(rec, body, e.w);
}

// Fw.d, with the scale factor: the value times 10**k.
void f_body(WriterState& st, double v, int32_t w, int32_t d, int32_t k) {
    std::string& body = st.s.body;
    body.clear();
    if (!std::isfinite(v)) {
        infnan_body(body, v, st.plus, w);
        return;
    }
    const bool neg = std::signbit(v);
    const double a = std::fabs(v);
    std::string_view ip;
    std::string_view fp;
    if (k == 0) {
        fixed_digits(a, d, st.s.digits, ip, fp);
    } else {
        // The scaled value has d fraction digits: round the value to d+k
        // fraction digits and move the decimal point by k.
        std::string& all = st.s.work;
        all.clear();
        if (d + k >= 0) {
            std::string_view i0;
            std::string_view f0;
            fixed_digits(a, d + k, st.s.digits, i0, f0);
            all.append(i0).append(f0);
        } else {
            // Rounding to a place left of the decimal point: the multiple of
            // 10**m nearest to a, ties to even, written as its digits q.
            const int32_t m = -(d + k);
            std::string_view sd;
            int32_t x = 0;  // decimal exponent of the leading digit of a
            if (a != 0.0) {
                // Enough digits that rounding cannot carry into the exponent.
                scientific_digits(a, 40, st.s.digits, sd, x);
            }
            if (a == 0.0 || x < m - 1) {
                all.push_back('0');
            } else if (x >= m) {
                scientific_digits(a, x - m + 1, st.s.digits, sd, x);  // x grows by one when rounding carries
                all.append(sd);
                if (static_cast<int32_t>(sd.size()) < x - m + 1) all.append(static_cast<std::size_t>(x - m + 1) - sd.size(), '0');
            } else {
                // 10**(m-1) <= a < 10**m: it rounds to 10**m when above half of it.
                bool above_half = sd[0] >= '5';
                if (above_half && sd[0] == '5') {
                    above_half = sd.find_first_not_of('0', 1) != std::string_view::npos;
                }
                all.push_back(above_half ? '1' : '0');
            }
        }
        // `all` holds the scaled value times 10**d.
        const auto nd = static_cast<std::size_t>(d);
        if (all.size() < nd) all.insert(0, nd - all.size(), '0');
        ip = std::string_view(all).substr(0, all.size() - nd);
        fp = std::string_view(all).substr(all.size() - nd);
        while (!ip.empty() && ip.front() == '0') ip.remove_prefix(1);
    }
    sign_prefix(body, neg, st.plus);
    // The zero before the decimal point is required for F.0; otherwise it is
    // written only when the field has room for it.
    if (ip.empty()) {
        const std::size_t len_without = body.size() + 1 + fp.size();
        if (d == 0 || (w > 0 && len_without < static_cast<std::size_t>(w))) body += '0';
    } else {
        body += ip;
    }
    body += '.';
    body += fp;
}

// Ew.d, Ew.dEe and Dw.d under the scale factor k:
//   k <= 0: 0.[-k zeros][d+k digits]E+xx;  0 < k < d+2: [k digits].[d-k+1 digits]E+xx.
void e_body(WriterState& st, double v, int32_t w, int32_t d, int32_t e, int32_t k, char letter) {
    std::string& body = st.s.body;
    body.clear();
    if (!std::isfinite(v)) {
        infnan_body(body, v, st.plus, w);
        return;
    }
    if (k <= -d || k >= d + 2) {
        throw std::logic_error("scale factor " + std::to_string(k) + "P out of range for E/D with " + std::to_string(d) +
                               " digits");
    }
    const bool neg = std::signbit(v);
    const double a = std::fabs(v);
    const int32_t sig = k <= 0 ? d + k : d + 1;
    std::string_view digits;
    int32_t x = 0;
    std::string& zeros = st.s.work;
    if (a == 0.0) {
        zeros.assign(static_cast<std::size_t>(sig), '0');
        digits = zeros;
        x = k - 1;  // printed exponent 0
    } else {
        scientific_digits(a, sig, st.s.digits, digits, x);
    }
    const int32_t pexp = x + 1 - k;

    // The exponent part first, to know the width it takes; it goes into a
    // string, as wide as Ee asks.
    std::string& exp_text = st.s.exponent;
    exp_text.clear();
    const int32_t mag = pexp < 0 ? -pexp : pexp;
    char mag_digits[std::numeric_limits<int32_t>::digits10 + 1];  // every digit of an int32_t magnitude
    const auto r = std::to_chars(mag_digits, mag_digits + sizeof mag_digits, mag);
    const auto nmag = static_cast<int32_t>(r.ptr - mag_digits);
    if (e < 0) {
        if (mag <= 99) {
            exp_text += letter;
            exp_text += pexp < 0 ? '-' : '+';
            if (nmag < 2) exp_text += '0';
        } else if (mag <= 999) {
            exp_text += pexp < 0 ? '-' : '+';
        } else {
            body.assign(static_cast<std::size_t>(w) + 1, '*');  // cannot be shown: asterisks
            return;
        }
    } else {
        if (nmag > e) {
            body.assign(static_cast<std::size_t>(w) + 1, '*');
            return;
        }
        exp_text += letter;
        exp_text += pexp < 0 ? '-' : '+';
        exp_text.append(static_cast<std::size_t>(e - nmag), '0');
    }
    exp_text.append(mag_digits, static_cast<std::size_t>(nmag));
    const std::size_t exp_len = exp_text.size();

    sign_prefix(body, neg, st.plus);
    if (k <= 0) {
        const std::size_t len_without = body.size() + 1 + static_cast<std::size_t>(-k) + digits.size() + exp_len;
        if (len_without < static_cast<std::size_t>(w)) body += '0';
        body += '.';
        body.append(static_cast<std::size_t>(-k), '0');
        body += digits;
    } else {
        body += digits.substr(0, static_cast<std::size_t>(k));
        body += '.';
        body += digits.substr(static_cast<std::size_t>(k));
    }
    body += exp_text;
}

// 10**n as gfortran forms it in the precision of the item: repeated products.
// Once the product has overflowed to infinity it stays there, so the loop
// ends (a G field may ask for up to a million digits).
template <class T>
T ten_power(int32_t n) {
    T r = 1;
    for (int32_t i = 0; i < (n >= 0 ? n : -n) && !std::isinf(r); ++i) r *= 10;
    return n >= 0 ? r : T(1) / r;
}

// The choice between the F and E forms of G editing, made as gfortran makes
// it: by comparing the magnitude m with the bounds 0.1*(1-0.5/10**d),
// 10**d - 0.5 and 10**(s-1)*(1-0.5/10**d), all formed in the precision T of
// the item. (Exact rounding of m would decide differently where m is the
// item-precision image of a bound, e.g. 9.995 under G10.3.) Returns 0 for the
// E form, otherwise s+1 where s is the number of digits before the point.
template <class T>
int32_t g_form(T m, int32_t d) {
    const T r = T(0.5);
    const T exp_d = ten_power<T>(d);
    const T r_sc = 1 - r / exp_d;
    const auto low_bound = static_cast<T>(0.1 * static_cast<double>(r_sc));
    if (d == 0 || m < low_bound || r >= exp_d - m) return 0;
    // Binary search of the decade, as in gfortran's run-time library.
    int32_t low = 0;
    int32_t high = d + 1;
    int32_t lbound = 0;
    int32_t ubound = d + 1;
    int32_t mid = 0;
    while (low <= high) {
        mid = (low + high) / 2;
        const T bound = ten_power<T>(mid - 1) * r_sc;
        if (m < bound) {
            ubound = mid;
            if (ubound == lbound + 1) break;
            high = mid - 1;
        } else if (m > bound) {
            lbound = mid;
            if (ubound == lbound + 1) {
                ++mid;
                break;
            }
            low = mid + 1;
        } else {
            ++mid;
            break;
        }
    }
    return mid;
}

// Gw.d, Gw.dEe of a real: the F form F(w-n).(d-s) followed by n blanks
// (n = 4, or e+2 with Ee; at most w-1) when the value is at least about 0.1
// and below 10**d, s being the digits before its decimal point, or zero; the
// E form under the scale factor otherwise. The F form ignores the scale
// factor; when it does not fit, the whole field is asterisks.
void g_real(OutRecord& rec, WriterState& st, const EditDescriptor& e, double v, bool single) {
    if (!std::isfinite(v)) {
        infnan_body(st.s.body, v, st.plus, e.w);
        put_field(rec, st.s.body, e.w);
        return;
    }
    const double a = std::fabs(v);
    int32_t decimals = -1;  // of the F form; -1: the E form
    if (a == 0.0) {
        if (e.d > 0) decimals = e.d - 1;
    } else {
        const int32_t mid = single ? g_form(static_cast<float>(a), e.d) : g_form(a, e.d);
        if (mid > 0) decimals = e.d + 1 - mid;
    }
    if (decimals < 0) {
        e_body(st, v, e.w, e.d, e.e, st.scale, 'E');
        put_field(rec, st.s.body, e.w);
        return;
    }
    int32_t n = e.e < 0 ? 4 : e.e + 2;
    if (n >= e.w) n = e.w - 1;
    const int32_t fw = e.w - n;
    f_body(st, v, fw, decimals, 0);
    if (st.s.body.size() <= static_cast<std::size_t>(fw)) {
        put_field(rec, st.s.body, fw);
        rec.put_fill(' ', static_cast<std::size_t>(n));
    } else {
        rec.put_fill('*', static_cast<std::size_t>(e.w));
    }
}

// Aw and A: a shorter text is right-aligned, a longer one cut to its first w
// characters.
void write_a(OutRecord& rec, const EditDescriptor& e, std::string_view text) {
    if (e.w < 0) {
        rec.put(text);
    } else if (text.size() >= static_cast<std::size_t>(e.w)) {
        rec.put(text.substr(0, static_cast<std::size_t>(e.w)));
    } else {
        put_field(rec, text, e.w);
    }
}

// ------------------------------------------------------------------ items
// One list item: an element of an OutItem.
struct OutValue {
    OutItem::Type type;
    int32_t i;
    double r;  // Real4 widened exactly, or Real8
    std::string_view text;
};

class OutList {
public:
    explicit OutList(std::span<const OutItem> items) : items_(items) { skip_empty(); }
    bool more() const { return i_ < items_.size(); }
    int32_t number() const { return taken_; }

    OutValue take() {
        const OutItem& it = items_[i_];
        const auto j = static_cast<std::ptrdiff_t>(k_) * it.stride;
        OutValue v{it.type, 0, 0.0, {}};
        switch (it.type) {
            case OutItem::Type::Int:
                v.i = it.data != nullptr ? static_cast<const int32_t*>(it.data)[j] : it.value.i;
                break;
            case OutItem::Type::Real4:
                v.r = static_cast<double>(it.data != nullptr ? static_cast<const float*>(it.data)[j] : it.value.f);
                break;
            case OutItem::Type::Real8:
                v.r = it.data != nullptr ? static_cast<const double*>(it.data)[j] : it.value.d;
                break;
            case OutItem::Type::Chars:
                v.text = std::string_view(static_cast<const char*>(it.data) + j * it.len, static_cast<std::size_t>(it.len));
                break;
        }
        ++taken_;
        if (++k_ >= it.count) {
            k_ = 0;
            ++i_;
            skip_empty();
        }
        return v;
    }

private:
    void skip_empty() {
        while (i_ < items_.size() && items_[i_].count <= 0) ++i_;
    }
    std::span<const OutItem> items_;
    std::size_t i_ = 0;
    int32_t k_ = 0;
    int32_t taken_ = 0;
};

[[noreturn]] void mismatch(const FormatProgram& f, const EditDescriptor& e, int32_t item, const char* what) {
    throw std::logic_error("format " + f.text + ", column " + std::to_string(e.column) + ": list item " +
                           std::to_string(item) + " is " + what);
}

const char* type_name(OutItem::Type t) {
    switch (t) {
        case OutItem::Type::Int: return "an integer";
        case OutItem::Type::Real4:
        case OutItem::Type::Real8: return "a real";
        case OutItem::Type::Chars: return "a text";
    }
    return "?";
}

void write_item(OutRecord& rec, WriterState& st, const FormatProgram& f, const EditDescriptor& e, const OutValue& v,
                int32_t number) {
    const bool real = v.type == OutItem::Type::Real4 || v.type == OutItem::Type::Real8;
    switch (e.kind) {
        case EditKind::I:
            if (v.type != OutItem::Type::Int) mismatch(f, e, number, type_name(v.type));
            write_i(rec, st, e, v.i);
            return;
        case EditKind::F:
            if (!real) mismatch(f, e, number, type_name(v.type));
            f_body(st, v.r, e.w, e.d, st.scale);
            put_field(rec, st.s.body, e.w);
            return;
        case EditKind::E:
        case EditKind::D:
            if (!real) mismatch(f, e, number, type_name(v.type));
            e_body(st, v.r, e.w, e.d, e.e, st.scale, e.kind == EditKind::E ? 'E' : 'D');
            put_field(rec, st.s.body, e.w);
            return;
        case EditKind::G:
            if (real) {
                g_real(rec, st, e, v.r, v.type == OutItem::Type::Real4);
            } else if (v.type == OutItem::Type::Int) {
                EditDescriptor iw = e;  // Gw.d of an integer is Iw
                iw.d = -1;
                write_i(rec, st, iw, v.i);
            } else {
                EditDescriptor aw = e;  // Gw.d of a text is Aw
                write_a(rec, aw, v.text);
            }
            return;
        case EditKind::L:
            // An integer item stands for a LOGICAL: nonzero is true.
            if (v.type != OutItem::Type::Int) mismatch(f, e, number, type_name(v.type));
            put_field(rec, v.i != 0 ? "T" : "F", e.w);
            return;
        case EditKind::A:
            if (v.type != OutItem::Type::Chars) mismatch(f, e, number, type_name(v.type));
            write_a(rec, e, v.text);
            return;
        default:
            return;
    }
}

}  // namespace

void prepare_record_writer() { thread_scratch(); }

void write_records(RecordSink& sink, const FormatProgram& format, std::span<const OutItem> items) {
    OutRecord rec;
    WriterState st{0, false, thread_scratch()};
    OutList list(items);
    FormatWalker walk(format);
    const auto new_record = [&] {
        sink.put_record(rec.text);
        rec.text.clear();
        rec.pos = 0;
    };
    for (;;) {
        const EditDescriptor* e = walk.next();
        if (e == nullptr) {
            // The final ')': the write ends, or reverts with a new record.
            if (!list.more()) break;
            if (!format.reversion_has_data) {
                throw std::logic_error("format " + format.text + " has no data descriptor for the remaining list items");
            }
            new_record();
            walk.revert();
            continue;
        }
        if (is_data_edit(e->kind)) {
            if (!list.more()) break;
            const int32_t number = list.number() + 1;
            const OutValue v = list.take();
            write_item(rec, st, format, *e, v, number);
            continue;
        }
        switch (e->kind) {
            case EditKind::X:
            case EditKind::TR: rec.pos += static_cast<std::size_t>(e->n); break;
            case EditKind::T: rec.pos = static_cast<std::size_t>(e->n - 1); break;
            case EditKind::TL: rec.pos = rec.pos > static_cast<std::size_t>(e->n) ? rec.pos - static_cast<std::size_t>(e->n) : 0; break;
            case EditKind::Slash: new_record(); break;
            case EditKind::Colon:
                if (!list.more()) goto done;
                break;
            case EditKind::Literal: rec.put(format.literal(*e)); break;
            case EditKind::P: st.scale = e->n; break;
            case EditKind::S:
            case EditKind::SS: st.plus = false; break;
            case EditKind::SP: st.plus = true; break;
            default: break;  // BN, BZ: input only
        }
    }
done:
    sink.put_record(rec.text);
}

std::vector<std::string> format_records(const FormatProgram& format, std::span<const OutItem> items) {
    struct Collect final : RecordSink {
        std::vector<std::string> lines;
        void put_record(std::string_view text) override { lines.emplace_back(text); }
    } sink;
    write_records(sink, format, items);
    return std::move(sink.lines);
}

void write_list(RecordSink& sink, std::string_view text) {
    std::string line;
    line.reserve(text.size() + 1);
    line += ' ';
    line += text;
    sink.put_record(line);
}

}  // namespace gruv
