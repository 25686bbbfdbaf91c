// Records that read legally but are laid out wrongly. Fortran reading lets a
// comma end a numeric field early (the next fields shift), ignores blanks in
// numeric fields ("1 0" is 10), and reads the columns the format names
// whatever stands there; each of these silently gives other values than the
// ones written, so the check warns about them.
#include <algorithm>
#include <string>
#include <string_view>

#include "check/findings.hpp"
#include "records/card_reader.hpp"

namespace gruv {

namespace {

constexpr std::string_view kComma =
    "Komma im Zahlenfeld - das Feld endet am Komma, die folgenden Felder verschieben sich";
constexpr std::string_view kAcross = "Ziffern laufen ueber die Feldgrenze - Wert um eine Spalte verschoben?";
constexpr std::string_view kBlanks = "Leerzeichen zwischen den Ziffern einer Zahl - Fortran liest '1 0' als 10";
constexpr std::string_view kUnread =
    "Formatkarte passt nicht zu den Daten: Text hinter dem letzten Feld wird nicht gelesen";

bool digit_like(char c) { return (c >= '0' && c <= '9') || c == '.'; }

//! The characters a field's descriptor covers (fewer at the end of the record).
std::string_view window(const std::string& record, const ReadTrace::Field& f) {
    const auto start = std::min(static_cast<std::size_t>(f.start), record.size());
    return std::string_view(record).substr(start, static_cast<std::size_t>(std::max(f.width, 0)));
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

SourcePlace columns(const InputUnit& in, const ReadTrace::Field& from, const ReadTrace::Field& to) {
    return columns_place(in, static_cast<std::size_t>(from.record), from.start + 1,
                         to.start + std::max(to.width, 1));
}

}  // namespace

SourcePlace value_place(const InputUnit& in, int32_t item, int32_t element) {
    const ReadTrace& t = in.trace();
    // A read of one array item or of scalars notes field item + element there.
    const auto guess = static_cast<std::size_t>(item) + static_cast<std::size_t>(element);
    if (guess < t.fields.size() && t.fields[guess].item == item && t.fields[guess].element == element)
        return columns(in, t.fields[guess], t.fields[guess]);
    return field_place(in, item, element);
}

void judge_record_layout(Findings& findings, InputUnit& in, std::span<const InItem> items) {
    const ReadTrace& t = in.trace();
    const bool failed = t.failed >= 0 || !t.bad_fields.empty();
    std::size_t n = 0;
    for (std::size_t r = 0; r < t.used; ++r) {
        const std::size_t first = n;
        while (n < t.fields.size() && static_cast<std::size_t>(t.fields[n].record) == r) ++n;
        if (first == n) continue;  // a record passed over by a slash
        const std::string& record = t.records[r];
        // A failed read that took a format card has met a missing data line;
        // the layout of that card is not the data's.
        if (failed && format_in(in, record) != nullptr) continue;
        int32_t end = 0;  // the end of the columns the format reads
        // After a comma the fields of the record are shifted: what they show
        // then is the comma's doing, and only the comma is reported.
        bool shifted = false;
        for (std::size_t k = first; k < n && !shifted; ++k) {
            const ReadTrace::Field& f = t.fields[k];
            end = std::max(end, f.start + f.width);
            if (f.item < 0 || items[static_cast<std::size_t>(f.item)].type == InItem::Type::Chars) continue;
            if (std::find(t.bad_fields.begin(), t.bad_fields.end(), static_cast<int32_t>(k)) != t.bad_fields.end())
                continue;
            const std::string_view w = window(record, f);
            const std::size_t comma = w.find(',');
            if (comma != std::string_view::npos) {
                findings.warning({list_message(kComma), columns(in, f, f)});
                shifted = true;
            }
            if (trimmed(w.substr(0, comma)).find(' ') != std::string_view::npos)
                findings.warning({list_message(kBlanks), columns(in, f, f)});
            // Digits on both sides of the boundary to the next field: one
            // number cut in two, unless both fields are filled to the brim.
            if (k + 1 >= n || comma != std::string_view::npos) continue;
            const ReadTrace::Field& g = t.fields[k + 1];
            if (g.item < 0 || items[static_cast<std::size_t>(g.item)].type == InItem::Type::Chars) continue;
            const auto boundary = static_cast<std::size_t>(f.start + f.width);
            if (g.start != f.start + f.width || boundary >= record.size() ||
                w.size() != static_cast<std::size_t>(f.width))
                continue;
            const std::string_view v = window(record, g);
            const bool full = w.find(' ') == std::string_view::npos && v.find(' ') == std::string_view::npos &&
                              v.size() == static_cast<std::size_t>(g.width);
            if (digit_like(record[boundary - 1]) && digit_like(record[boundary]) && !full)
                findings.warning({list_message(kAcross), columns(in, f, g)});
        }
        const auto from = static_cast<std::size_t>(end);
        if (!shifted && from < record.size() && !trimmed(std::string_view(record).substr(from)).empty())
            findings.warning(
                {list_message(kUnread), columns_place(in, r, end + 1, static_cast<int32_t>(record.size()))});
    }
}

}  // namespace gruv
