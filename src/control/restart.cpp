// Restart file "GRUVWS": the temperatures, heads and (coupled runs) velocities
// of a run as plain text, one section per field, row by row, so that a later
// run on the same grid can start from this state.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/control.hpp"
#include "parallel/work_team.hpp"
#include "records/card_reader.hpp"
#include "records/records.hpp"
#include "state/stop.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

constexpr const char* kRestartFile = "GRUVWS";
//! The new state is written here first and then renamed over GRUVWS, so the
//! file of that name always holds one complete state, old or new.
constexpr const char* kRestartScratch = "GRUVWS.neu";
constexpr int32_t kRestartUnit = 9;

// Row formats of the sections: ten values per line; a row of a multiple of
// ten values is followed by an empty line.
const FormatProgram& temperature_rows() { return fixed_format("(50(10F8.3/))"); }
const FormatProgram& head_rows() { return fixed_format("(50(10F8.2/))"); }
const FormatProgram& velocity_rows() { return fixed_format("(50(10(1PE9.2)/))"); }

//! Collects records in memory: a field the general writer lays out.
class RecordBuffer final : public RecordSink {
public:
    void put_record(std::string_view text) override {
        text_.append(text);
        text_.push_back('\n');
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

//! A field of the restart file: Fw.d, or 1PE9.2 (exponent true), and the
//! format of one such field.
struct FieldForm {
    int w, d;
    bool exponent;
    const char* single;
};

//! Unsigned integers of 128 bits, wide enough for a REAL*4 mantissa times
//! 10^27 and a REAL*8 mantissa times 1000.
__extension__ typedef unsigned __int128 Wide;

//! The integer nearest num / 2^shift, ties to even (shift 0..126).
uint64_t round_shift(Wide num, int shift) {
    if (shift == 0) return static_cast<uint64_t>(num);
    const Wide q = num >> shift;
    const Wide rest = num - (q << shift);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    auto n = static_cast<uint64_t>(q);
    if (rest > half || (rest == half && (n & 1) != 0)) ++n;
    return n;
}

//! |x| as m * 2^e exactly, m odd (or 0).
void split(double x, uint64_t& m, int& e) {
    const uint64_t bits = std::bit_cast<uint64_t>(x) & 0x7fffffffffffffffULL;
    const int biased = static_cast<int>(bits >> 52);
    m = bits & ((1ULL << 52) - 1);
    e = biased == 0 ? -1074 : biased - 1075;
    if (biased != 0) m |= 1ULL << 52;
    if (m != 0) {
        const int z = std::countr_zero(m);
        m >>= z;
        e += z;
    }
}

constexpr uint64_t kPowersOfTen[20] = {1ULL,
                                       10ULL,
                                       100ULL,
                                       1000ULL,
                                       10000ULL,
                                       100000ULL,
                                       1000000ULL,
                                       10000000ULL,
                                       100000000ULL,
                                       1000000000ULL,
                                       10000000000ULL,
                                       100000000000ULL,
                                       1000000000000ULL,
                                       10000000000000ULL,
                                       100000000000000ULL,
                                       1000000000000000ULL,
                                       10000000000000000ULL,
                                       100000000000000000ULL,
                                       1000000000000000000ULL,
                                       10000000000000000000ULL};

//! Fw.d (d <= 3) of a finite x below 1E6 in magnitude, from the exact value
//! of x rounded to d decimals, ties to even; false when it does not fit.
bool fixed_field(std::string& out, double x, int w, int d) {
    uint64_t m;
    int e;
    split(x, m, e);
    const Wide num = static_cast<Wide>(m) * kPowersOfTen[d];
    uint64_t n = e >= 0 ? static_cast<uint64_t>(num << e) : (-e >= 127 ? 0 : round_shift(num, -e));
    char buf[32];
    char* p = buf + sizeof buf;
    for (int i = 0; i < d; ++i, n /= 10) *--p = static_cast<char>('0' + n % 10);
    *--p = '.';
    do {
        *--p = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    if (std::signbit(x)) *--p = '-';  // also on a negative value that rounds to zero
    const auto len = static_cast<int>(buf + sizeof buf - p);
    if (len > w) return false;
    out.append(static_cast<std::size_t>(w - len), ' ');
    out.append(p, static_cast<std::size_t>(len));
    return true;
}

//! 1PE9.2 of a REAL*4 value between 1E-25 and 1 in magnitude: three
//! significant digits of its exact value, ties to even; false when the value
//! is of another kind.
bool exponent_field(std::string& out, double x) {
    const double a = std::fabs(x);
    if (!(a > 1.0E-25 && a < 1.0)) return false;
    uint64_t m;
    int e;
    split(x, m, e);
    if (m >= (1ULL << 24)) return false;  // more digits than a REAL*4 has
    int D = static_cast<int>(std::floor(std::log10(a)));  // decimal exponent, corrected below
    uint64_t n = 0;
    for (int tries = 0; tries < 3; ++tries) {
        const int p = 2 - D;  // n = a * 10^p rounded, 100 <= n < 1000 wanted
        if (p < 0 || p > 27) return false;
        auto num = static_cast<Wide>(m);
        for (int q = p; q > 0; q -= 19) num *= kPowersOfTen[q > 19 ? 19 : q];
        n = -e >= 127 ? 0 : round_shift(num, -e);
        if (n < 100) {
            --D;
        } else if (n > 1000) {
            ++D;
        } else {
            break;
        }
    }
    if (n < 100 || n > 1000) return false;
    if (n == 1000) {  // rounded up to the next power of ten
        n = 100;
        ++D;
    }
    char buf[16];
    int len = 0;
    if (std::signbit(x)) buf[len++] = '-';
    buf[len++] = static_cast<char>('0' + n / 100);
    buf[len++] = '.';
    buf[len++] = static_cast<char>('0' + n / 10 % 10);
    buf[len++] = static_cast<char>('0' + n % 10);
    buf[len++] = 'E';
    buf[len++] = D < 0 ? '-' : '+';
    buf[len++] = static_cast<char>('0' + std::abs(D) / 10);
    buf[len++] = static_cast<char>('0' + std::abs(D) % 10);
    out.append(static_cast<std::size_t>(9 - len), ' ');
    out.append(buf, static_cast<std::size_t>(len));
    return true;
}

//! Lays out x in the field as the general writer does: the correctly rounded
//! digits of its exact value, right-justified, a minus sign also on a
//! negative value that rounds to zero. The common values are laid out from
//! their bits; others through the standard conversion; a value that is not
//! finite, does not fit its field or needs a three-digit exponent by the
//! general writer.
void put_field(std::string& out, double x, FieldForm f) {
    if (std::isfinite(x)) {
        if (f.exponent ? exponent_field(out, x) : (std::fabs(x) < 1.0E6 && fixed_field(out, x, f.w, f.d))) return;
        char buf[400];
        const auto r = std::to_chars(buf, buf + sizeof buf, x,
                                     f.exponent ? std::chars_format::scientific : std::chars_format::fixed, f.d);
        const auto len = static_cast<int>(r.ptr - buf);
        if (r.ec == std::errc() && len <= f.w && (!f.exponent || r.ptr[-3] == '+' || r.ptr[-3] == '-')) {
            if (f.exponent) r.ptr[-4] = 'E';
            out.append(static_cast<std::size_t>(f.w - len), ' ');
            out.append(buf, static_cast<std::size_t>(len));
            return;
        }
    }
    RecordBuffer one;
    write(one, fixed_format(f.single), x);
    out.append(std::string_view(one.text()).substr(0, static_cast<std::size_t>(f.w)));
}

//! The restart file as it is written: the rows go to the scratch file in
//! pieces of about kPiece bytes, so the file (several megabytes on a full
//! grid) is never held whole in memory; finish forces it to the disk and
//! renames it over path. The first failure stops the writing and is kept.
class ScratchFile {
public:
    static constexpr std::size_t kPiece = std::size_t{1} << 18;

    explicit ScratchFile(const char* scratch)
        : scratch_(scratch), fd_(::open(scratch, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
        if (fd_ < 0) error_ = errno;
        opened_ = fd_ >= 0;
        text_.reserve(kPiece + 4096);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() {
        if (fd_ >= 0) ::close(fd_);
    }

    //! Lines laid out elsewhere, each with its line end.
    void put_lines(std::string_view lines) {
        if (lines.size() >= kPiece) {  // a text of its own size goes as it is
            spill();
            write_all(lines);
            return;
        }
        text_.append(lines);
        if (text_.size() >= kPiece) spill();
    }

    //! 0, or the errno of the step that failed, with the scratch file
    //! removed; path is then untouched.
    int finish(const char* path) {
        spill();
        if (error_ == 0 && ::fsync(fd_) != 0) error_ = errno;
        if (fd_ >= 0 && ::close(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = errno;
        fd_ = -1;
        if (error_ == 0 && std::rename(scratch_, path) != 0) error_ = errno;
        if (error_ != 0) {
            if (opened_) ::unlink(scratch_);
            return error_;
        }
        // Make the rename itself durable; a directory that refuses this still
        // holds a complete file under either name.
        const int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return 0;
    }

private:
    //! Writes what has been laid out so far.
    void spill() {
        write_all(text_);
        text_.clear();
    }
    void write_all(std::string_view text) {
        std::size_t done = 0;
        while (error_ == 0 && done < text.size()) {
            const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = n < 0 ? errno : EIO;
            } else {
                done += static_cast<std::size_t>(n);
            }
        }
    }

    const char* scratch_;
    int fd_;
    bool opened_ = false;
    int error_ = 0;
    std::string text_;
};

//! One row of a section as (50(10Fw.d/)) or (50(10(1PE9.2)/)) writes it:
//! ten values a line, and an empty line after a row of a multiple of ten
//! values. Appended to out.
template <class T>
void append_row(std::string& out, FieldForm f, const T* v, int n) {
    for (int i = 0; i < n; ++i) {
        put_field(out, static_cast<double>(v[i]), f);
        if (i % 10 == 9) out.push_back('\n');
    }
    out.push_back('\n');  // ends the last line, or is the empty one after ten values
}

//! A member's text, on a cache line of its own: the length of the string
//! changes with every field appended, and two members writing one line
//! would pass it between their processors at every field.
struct alignas(64) MemberText {
    std::string text;
};

//! The texts of the members of the work team for put_section, kept from
//! section to section and from call to call (megabytes on a full grid).
std::array<MemberText, WorkTeam::kMaxMembers>& section_texts() {
    static std::array<MemberText, WorkTeam::kMaxMembers> texts;
    return texts;
}

//! The rows of a section, layer by layer, row by row: row(J, K, scratch)
//! gives the NX values of row J of layer K, in scratch if they must be
//! formed first. The members of the work team lay out a part of the rows
//! each, into a text of its own; the texts go to the file in the order of
//! the rows.
template <class T, class Row>
void put_section(ScratchFile& file, const NDIM& d, FieldForm f, Row&& row) {
    auto& texts = section_texts();
    WorkTeam& team = WorkTeam::shared();
    const int32_t count = d.NY * d.NZ;
    const int members = d.NX * count < 4096 ? 1 : team.members();
    auto task = [&](int member) {
        std::array<T, IX> scratch{};
        std::string& out = texts[static_cast<std::size_t>(member)].text;
        out.clear();
        for (int32_t r = count * member / members; r < count * (member + 1) / members; ++r)
            append_row(out, f, row(r % d.NY + 1, r / d.NY + 1, scratch), d.NX);
    };
    team.run(task, members);
    for (int n = 0; n < members; ++n) file.put_lines(texts[static_cast<std::size_t>(n)].text);
}

constexpr std::string_view kDamaged = "Fehler in der Datenstruktur der Datei GRUVWS";

//! Ends the run after a restart file that cannot be read: the message, the
//! place in the file, the stop. A check collects the message and ends its
//! reading of the file there.
[[noreturn]] void restart_read_failed(Model& m, std::string_view message, const SourcePlace& place) {
    const Finding finding{list_message(message), place};
    if (!collect(m.io.check(), finding)) write_finding(m.io.console(), finding);
    m.io.close(kRestartUnit);
    stop_run(m, kExitInput);
}

bool blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

//! A place where a row departs from its layout, and the node it concerns.
struct LayoutFault {
    SourcePlace place;
    int32_t element = -1;  //!< the value's element in the row; -1 for the row as a whole
};

//! The first place where the row just read departs from the layout WARMOU
//! writes: a value field without a value (a short line read as padded with
//! blanks), text behind the last value of a line, or a line that should be
//! empty and is not. With `whole_fields` also a value cut by the end of its
//! line. Nothing when the row is sound.
std::optional<LayoutFault> layout_fault(const InputUnit& in, bool whole_fields) {
    const ReadTrace& t = in.trace();
    std::vector<int32_t> ends(t.used, 0);  // per record: the end of its last field
    for (const auto& f : t.fields) {
        const std::string& text = t.records[static_cast<std::size_t>(f.record)];
        const auto start = std::min(static_cast<std::size_t>(f.start), text.size());
        const std::string_view value = std::string_view(text).substr(start, static_cast<std::size_t>(f.width));
        if (blank(value) || (whole_fields && value.size() < static_cast<std::size_t>(f.width)))
            return LayoutFault{field_place(in, f.item, f.element), f.element};
        auto& end = ends[static_cast<std::size_t>(f.record)];
        end = std::max(end, f.start + f.width);
    }
    for (std::size_t r = 0; r < t.used; ++r) {
        const std::string& text = t.records[r];
        const auto end = static_cast<std::size_t>(ends[r]);
        if (end < text.size() && !blank(std::string_view(text).substr(end)))
            return LayoutFault{columns_place(in, r, static_cast<int32_t>(end) + 1, static_cast<int32_t>(text.size()))};
    }
    return std::nullopt;
}

//! One section of the restart file and what the reading run does with it.
struct Section {
    const FormatProgram& rows;  //!< the row format WARMOU writes it with
    std::string_view name;      //!< its name in messages
};

//! Reads a section row by row: into the rows that row(j, k) gives, whose
//! values must be finite numbers, or (row returns nullptr) into a scratch row
//! only to check the layout of a section the run does not use. Stops the run
//! on a damaged section; returns false when `leftover` and the section does
//! not fit the grid (the caller reports the lines left over).
template <class T, class RowOf>
bool read_section(Model& m, InputUnit& in, const Section& s, bool leftover, RowOf row) {
    const auto& d = m.ndim;
    std::array<T, IX> scratch{};
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j) {
            T* values = leftover ? scratch.data() : row(j, k);
            const InItem items[] = {in_array(values, d.NX)};
            const CardOutcome r = leftover ? read_card_records(in, s.rows, items) : read_card_data(in, s.rows, items);
            std::optional<LayoutFault> fault;
            if (r != CardOutcome::Read) {
                fault = LayoutFault{failure_place(in), failed_element(in)};
            } else {
                fault = layout_fault(in, leftover);
            }
            if (!fault) continue;
            if (leftover) return false;
            const auto node = [&](int32_t element) {
                const std::string nodes = element >= 0 ? std::to_string(element + 1) : "1-" + std::to_string(d.NX);
                return std::string(s.name) + ", Knoten (" + nodes + "," + std::to_string(j) + "," + std::to_string(k) +
                       ")";
            };
            // A check reads on after values that are not finite numbers.
            if (r == CardOutcome::NotFinite &&
                collect_failures(in, list_message("nicht endlicher Zahlenwert in der Datei GRUVWS"), node))
                continue;
            fault->place.context = node(fault->element);
            if (r == CardOutcome::EndOfFile)
                restart_read_failed(m, "Unerwartet das Ende der Datei GRUVWS erreicht", fault->place);
            if (r == CardOutcome::NotFinite)
                restart_read_failed(m, "nicht endlicher Zahlenwert in der Datei GRUVWS", fault->place);
            restart_read_failed(m, kDamaged, fault->place);
        }
    return true;
}

//! After the sections the run reads, the file may end (blank lines aside),
//! or hold the rest of a coupled run's file of the same grid (rest: the
//! sections that follow, checked for their layout and not used). Anything
//! else is a file of another grid or mode: the first line left over is
//! reported.
void check_rest(Model& m, InputUnit& in, std::span<const Section> rest) {
    const auto& d = m.ndim;
    std::string line;
    bool skipped_blank = false;
    while (in.next_record(line)) {
        if (blank(line)) {
            skipped_blank = true;
            continue;
        }
        SourcePlace first;
        first.file = in.name();
        first.line = in.lines_read();
        first.has_text = true;
        first.text = shown_text(line);
        first.context = "ueberzaehlige Zeile fuer das Gitter " + std::to_string(d.NX) + " x " + std::to_string(d.NY) +
                        " x " + std::to_string(d.NZ);
        bool fits = !skipped_blank && !rest.empty();
        if (fits) {
            in.unread(std::move(line));
            for (const Section& s : rest)
                fits = fits && read_section<float>(m, in, s, true, [](int, int) { return nullptr; });
        }
        if (!fits) restart_read_failed(m, kDamaged, first);
        check_rest(m, in, {});
        return;
    }
}

}  // namespace

void WARMOU(Model& m) {
    if (m.inf2.IBILD > 0) ROUTIN(m, "WARMOU");
    const auto& d = m.ndim;
    const int32_t mode = m.inf4.IMODE;
    ScratchFile file(kRestartScratch);

    // The rows are laid out here, field by field as the row formats of the
    // sections lay them out.
    if (mode <= 1) {
        put_section<double>(file, d, FieldForm{8, 3, false, "(F8.3)"}, [&](int j, int k, std::array<double, IX>& row) {
            const double* T = m.temp.TEMP.row(j, k);
            for (int i = 0; i < d.NX; ++i) row[static_cast<std::size_t>(i)] = T[i] - 273.15;  // degrees Celsius
            return row.data();
        });
    }
    if (mode >= 1) {
        put_section<float>(file, d, FieldForm{8, 2, false, "(F8.2)"},
                           [&](int j, int k, std::array<float, IX>&) { return m.wpot.WPOT.row(j, k); });
    }
    if (mode == 1) {
        for (const NodeArray<float>* V : {&m.phys.GWVX, &m.phys.GWVY, &m.phys.GWVZ})
            put_section<float>(file, d, FieldForm{9, 2, true, "(1PE9.2)"},
                               [&](int j, int k, std::array<float, IX>&) { return V->row(j, k); });
    }

    const int error = file.finish(kRestartFile);
    // The previous restart state stays as it was and the run goes on; the
    // first failure of a series is reported, and the end of the run says
    // that the file is stale while the last write has failed.
    if (error != 0 && !m.io.restart_stale()) {
        const std::string text =
            "Datei GRUVWS konnte nicht geschrieben werden: " + write_error_text(error) + " - alter Stand bleibt erhalten";
        write_list(m.io.console(), text);
        if (m.inf2.IOUT != 1 && m.io.is_open(m.inf2.IOUT)) write_list(m.io.unit(m.inf2.IOUT), text);
    }
    m.io.set_restart_stale(error != 0);
}

void remove_restart_leftover(Model& m) {
    struct stat st {};
    if (::lstat(kRestartScratch, &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (::unlink(kRestartScratch) == 0) {
        write_list(m.io.console(), "Datei GRUVWS.neu eines abgebrochenen Laufs entfernt");
    }
}

void WARMIN(Model& m) {
    if (m.inf2.IBILD > 0) ROUTIN(m, "WARMIN");
    if (!m.io.open_input(kRestartUnit, m.io.find_input(kRestartFile))) {
        const std::string_view text = is_directory(kRestartFile)
                                          ? "Datei GRUVWS ist ein Verzeichnis - Simulation abgebrochen"
                                          : "Datei GRUVWS nicht verhanden - Simulation abgebrochen";
        // A check names the switch of card 9 that asks for the file.
        if (collect(m.io.check(), {list_message(text), m.io.kept_place(value_key("9  ", 5))})) return;
        write_list(m.io.console(), text);
        stop_run(m, kExitInput);
    }
    InputUnit& in = m.io.input(kRestartUnit);
    const int32_t mode = m.inf4.IMODE;
    const Section temperatures{temperature_rows(), "Temperaturen"};
    const Section heads{head_rows(), "Piezometerhoehen"};
    const Section velocities[] = {{velocity_rows(), "Geschwindigkeiten X"},
                                  {velocity_rows(), "Geschwindigkeiten Y"},
                                  {velocity_rows(), "Geschwindigkeiten Z"}};

    // Every row must hold exactly the values of the grid: a file of another
    // grid shows in the layout of its rows or in lines left over or missing.
    if (mode <= 1) {
        read_section<double>(m, in, temperatures, false, [&](int j, int k) { return m.temp.TEMP.row(j, k); });
        const auto& d = m.ndim;
        for (int k = 1; k <= d.NZ; ++k)
            for (int j = 1; j <= d.NY; ++j) {
                double* T = m.temp.TEMP.row(j, k);
                for (int i = 0; i < d.NX; ++i) T[i] = T[i] + 273.15;
            }
    }
    if (mode >= 1) read_section<float>(m, in, heads, false, [&](int j, int k) { return m.wpot.WPOT.row(j, k); });
    // The velocity sections are not read: the run computes them again. A
    // heat-only run may start from a coupled run's file.
    const Section coupled_rest[] = {heads, velocities[0], velocities[1], velocities[2]};
    std::span<const Section> rest;
    if (mode == 0) rest = coupled_rest;
    if (mode == 1) rest = velocities;
    check_rest(m, in, rest);
    m.io.close(kRestartUnit);
}

}  // namespace gruv
