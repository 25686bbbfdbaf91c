// The card reader: format cards, data records read under them with a trace of
// their fields, the test of real values for finiteness, and the places and
// location lines of messages about input files.
#include "records/card_reader.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace gruv {

namespace {
constexpr int32_t kFormatColumns = 20;  // a format card holds its format in columns 1-20

CardOutcome to_card_outcome(ReadOutcome r) {
    switch (r) {
        case ReadOutcome::Ok: return CardOutcome::Read;
        case ReadOutcome::End: return CardOutcome::EndOfFile;
        case ReadOutcome::BadData: break;
    }
    return CardOutcome::BadData;
}

//! Line number of record r of the last read.
int64_t line_of(const InputUnit& in, std::size_t r) {
    return in.lines_read() - static_cast<int64_t>(in.trace().used) + 1 + static_cast<int64_t>(r);
}

SourcePlace at_end_place(const InputUnit& in) {
    SourcePlace p;
    p.file = in.name();
    p.line = in.lines_read();
    p.at_end = true;
    return p;
}

SourcePlace place_of(const InputUnit& in, const ReadTrace::Field& f) {
    return columns_place(in, static_cast<std::size_t>(f.record), f.start + 1, f.start + std::max(f.width, 1));
}

const ReadTrace::Field* find_field(const ReadTrace& t, int32_t item, int32_t element) {
    for (const auto& f : t.fields)
        if (f.item == item && f.element == element) return &f;
    return nullptr;
}

//! The first element of a real item that is not finite: its field's index
//! (-1 when all are). With `every`, the indices of all of them are added to
//! the trace's bad fields.
int32_t first_not_finite(ReadTrace& t, std::span<const InItem> items, bool every) {
    int32_t first = -1;
    for (std::size_t n = 0; n < t.fields.size(); ++n) {
        const ReadTrace::Field& f = t.fields[n];
        if (f.item < 0) continue;
        const InItem& it = items[static_cast<std::size_t>(f.item)];
        const auto j = static_cast<std::ptrdiff_t>(f.element) * it.stride;
        bool finite = true;
        if (it.type == InItem::Type::Real4) finite = std::isfinite(static_cast<const float*>(it.data)[j]);
        if (it.type == InItem::Type::Real8) finite = std::isfinite(static_cast<const double*>(it.data)[j]);
        if (finite) continue;
        if (first < 0) first = static_cast<int32_t>(n);
        if (!every) break;
        t.bad_fields.push_back(static_cast<int32_t>(n));
    }
    return first;
}

//! Makes line, just read, the format card of the trace.
void take_as_format_card(InputUnit& in, const std::string& line) {
    ReadTrace& t = in.trace();
    t.clear();
    if (t.records.empty()) t.records.emplace_back();
    t.records[0] = line;
    t.used = 1;
    t.fields.push_back({0, 0, kFormatColumns, -1, 0});
    in.set_format_line(in.lines_read());
}

//! A format card read for a check. After a card that could not be read, the
//! rest of that card is passed over up to the next format card (which may be
//! the line the failed read took last, when a data line is missing). A line
//! that is no format card but is followed by one is a line too many: it is
//! reported and passed over, and the card is read on.
CardOutcome read_checked_format_card(InputUnit& in, const FormatProgram*& format) {
    ReadTrace& t = in.trace();
    std::string line;
    if (in.card_lost()) {
        in.set_card_lost(false);
        const bool after_data = t.used > 0 && !t.fields.empty() && t.fields.front().item >= 0;
        if (after_data) line = t.records[t.used - 1];
        if (!after_data || (format = format_in(in, line)) == nullptr) {
            do {
                if (read_text_line(in, line) == CardOutcome::EndOfFile) return CardOutcome::EndOfFile;
            } while ((format = format_in(in, line)) == nullptr);
        }
        take_as_format_card(in, line);
        return CardOutcome::Read;
    }
    if (read_text_line(in, line) == CardOutcome::EndOfFile) return CardOutcome::EndOfFile;
    t.fields.push_back({0, 0, kFormatColumns, -1, 0});
    if ((format = format_in(in, line)) != nullptr) {
        in.set_format_line(in.lines_read());
        return CardOutcome::Read;
    }
    const SourcePlace here = columns_place(in, 0, 1, kFormatColumns);
    std::string next;
    if (in.next_record(next)) {
        if ((format = format_in(in, next)) != nullptr) {
            in.check()->error({list_message("keine Formatkarte - Zeile zu viel vor der naechsten Formatkarte"), here});
            take_as_format_card(in, next);
            return CardOutcome::Read;
        }
        in.unread(std::move(next));
    }
    t.failed = 0;
    t.bad_fields.push_back(0);
    in.set_card_lost(true);
    return CardOutcome::BadData;
}

}  // namespace

void write_finding(OutputUnit& u, const Finding& finding) {
    for (const std::string& record : finding.message) u.put_record(record);
    if (finding.place.known()) u.put_record(location_line(finding.place));
}

bool collect(DeckCheck* check, const Finding& finding) {
    if (check == nullptr) return false;
    check->error(finding);
    return true;
}

const FormatProgram* format_in(InputUnit& in, std::string_view line) {
    std::string text(line.substr(0, std::min(line.size(), static_cast<std::size_t>(kFormatColumns))));
    text.resize(kFormatColumns, ' ');
    // Every format begins with '(': other lines are not worth a parse (nor a
    // place in the unit's cache of formats).
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos || text[first] != '(') return nullptr;
    return in.formats().find(text);
}

CardOutcome read_text_line(InputUnit& in, std::string& line) {
    ReadTrace& t = in.trace();
    t.clear();
    if (t.records.empty()) t.records.emplace_back();
    if (!in.next_record(t.records[0])) {
        t.ended = true;
        return CardOutcome::EndOfFile;
    }
    t.used = 1;
    line = t.records[0];
    return CardOutcome::Read;
}

CardOutcome read_format_card(InputUnit& in, const FormatProgram*& format) {
    if (in.check() != nullptr) return read_checked_format_card(in, format);
    std::string text;
    if (read_text_line(in, text) == CardOutcome::EndOfFile) return CardOutcome::EndOfFile;
    ReadTrace& t = in.trace();
    t.fields.push_back({0, 0, kFormatColumns, -1, 0});
    text.resize(kFormatColumns, ' ');
    format = in.formats().find(text);
    if (format != nullptr) return CardOutcome::Read;
    t.failed = 0;
    return CardOutcome::BadData;
}

CardOutcome read_card_records(InputUnit& in, const FormatProgram& format, std::span<const InItem> items) {
    const CardOutcome outcome = to_card_outcome(read_records(in, format, items, &in.trace()));
    if (DeckCheck* check = in.check()) {
        if (outcome == CardOutcome::BadData) in.set_card_lost(true);
        check->records_read(in, items);
    }
    return outcome;
}

CardOutcome read_card_data(InputUnit& in, const FormatProgram& format, std::span<const InItem> items) {
    const CardOutcome outcome = read_card_records(in, format, items);
    if (outcome != CardOutcome::Read) return outcome;
    ReadTrace& t = in.trace();
    t.failed = first_not_finite(t, items, in.check() != nullptr);
    return t.failed < 0 ? CardOutcome::Read : CardOutcome::NotFinite;
}

CardOutcome read_card(InputUnit& in, std::span<const InItem> items) {
    const FormatProgram* format = nullptr;
    const CardOutcome outcome = read_format_card(in, format);
    if (outcome != CardOutcome::Read) return outcome;
    return read_card_data(in, *format, items);
}

SourcePlace failure_place(const InputUnit& in) {
    const ReadTrace& t = in.trace();
    if (t.failed >= 0) return place_of(in, t.fields[static_cast<std::size_t>(t.failed)]);
    if (t.ended || t.used == 0) return at_end_place(in);
    return record_place(in, t.used - 1);
}

SourcePlace field_place(const InputUnit& in, int32_t item, int32_t element) {
    const ReadTrace::Field* f = find_field(in.trace(), item, element);
    return f != nullptr ? place_of(in, *f) : failure_place(in);
}

SourcePlace fields_place(const InputUnit& in, int32_t first, int32_t last) {
    const ReadTrace::Field* a = find_field(in.trace(), first, 0);
    const ReadTrace::Field* b = find_field(in.trace(), last, 0);
    if (a == nullptr) return failure_place(in);
    if (b == nullptr || b->record != a->record || b->start < a->start) return place_of(in, *a);
    ReadTrace::Field joined = *a;
    joined.width = b->start + b->width - a->start;
    return place_of(in, joined);
}

SourcePlace record_place(const InputUnit& in, std::size_t record) {
    const ReadTrace& t = in.trace();
    if (record >= t.used) return at_end_place(in);
    SourcePlace p;
    p.file = in.name();
    p.line = line_of(in, record);
    p.has_text = true;
    p.text = shown_text(t.records[record]);
    return p;
}

SourcePlace columns_place(const InputUnit& in, std::size_t record, int32_t first_column, int32_t last_column) {
    const std::string& text = in.trace().records[record];
    SourcePlace p;
    p.file = in.name();
    p.line = line_of(in, record);
    p.first_column = first_column;
    p.last_column = last_column;
    const auto start = std::min(static_cast<std::size_t>(first_column - 1), text.size());
    p.has_text = true;
    p.text = shown_text(std::string_view(text).substr(start, static_cast<std::size_t>(last_column - first_column + 1)));
    return p;
}

int32_t failed_element(const InputUnit& in) {
    const ReadTrace& t = in.trace();
    if (t.failed >= 0) return t.fields[static_cast<std::size_t>(t.failed)].element;
    return static_cast<int32_t>(t.fields.size());
}

std::vector<FailedField> failed_fields(const InputUnit& in) {
    const ReadTrace& t = in.trace();
    if (t.bad_fields.empty()) return {{failure_place(in), failed_element(in)}};
    std::vector<FailedField> all;
    for (const int32_t n : t.bad_fields) {
        const ReadTrace::Field& f = t.fields[static_cast<std::size_t>(n)];
        all.push_back({place_of(in, f), f.element});
    }
    return all;
}

bool collect_failures(const InputUnit& in, const std::vector<std::string>& message,
                      const std::function<std::string(int32_t)>& context) {
    DeckCheck* check = in.check();
    if (check == nullptr) return false;
    for (FailedField& f : failed_fields(in)) {
        if (context) f.place.context = context(f.element);
        check->error({message, std::move(f.place)});
    }
    return true;
}

}  // namespace gruv
