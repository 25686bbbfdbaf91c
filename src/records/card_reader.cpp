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

//! The first element of a real item that is not finite: its field's index.
int32_t first_not_finite(const ReadTrace& t, std::span<const InItem> items) {
    for (std::size_t n = 0; n < t.fields.size(); ++n) {
        const ReadTrace::Field& f = t.fields[n];
        if (f.item < 0) continue;
        const InItem& it = items[static_cast<std::size_t>(f.item)];
        const auto j = static_cast<std::ptrdiff_t>(f.element) * it.stride;
        bool finite = true;
        if (it.type == InItem::Type::Real4) finite = std::isfinite(static_cast<const float*>(it.data)[j]);
        if (it.type == InItem::Type::Real8) finite = std::isfinite(static_cast<const double*>(it.data)[j]);
        if (!finite) return static_cast<int32_t>(n);
    }
    return -1;
}

}  // namespace

void write_finding(OutputUnit& u, const Finding& finding) {
    for (const std::string& record : finding.message) u.put_record(record);
    if (finding.place.known()) u.put_record(location_line(finding.place));
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
    return to_card_outcome(read_records(in, format, items, &in.trace()));
}

CardOutcome read_card_data(InputUnit& in, const FormatProgram& format, std::span<const InItem> items) {
    const CardOutcome outcome = read_card_records(in, format, items);
    if (outcome != CardOutcome::Read) return outcome;
    ReadTrace& t = in.trace();
    t.failed = first_not_finite(t, items);
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

}  // namespace gruv
