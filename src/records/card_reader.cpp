#include "records/card_reader.hpp"

#include <string>

namespace gruv {

namespace {
constexpr std::size_t kFormatColumns = 20;  // a format card holds its format in columns 1-20

CardOutcome to_card_outcome(ReadOutcome r) {
    switch (r) {
        case ReadOutcome::Ok: return CardOutcome::Read;
        case ReadOutcome::End: return CardOutcome::EndOfFile;
        case ReadOutcome::BadData: break;
    }
    return CardOutcome::BadData;
}
}  // namespace

CardOutcome read_format_card(InputUnit& in, const FormatProgram*& format) {
    std::string line;
    if (!in.next_record(line)) return CardOutcome::EndOfFile;
    line.resize(kFormatColumns, ' ');
    format = in.formats().find(line);
    return format != nullptr ? CardOutcome::Read : CardOutcome::BadData;
}

CardOutcome read_card_data(InputUnit& in, const FormatProgram& format, std::span<const InItem> items) {
    return to_card_outcome(read_records(in, format, items));
}

CardOutcome read_card(InputUnit& in, std::span<const InItem> items) {
    const FormatProgram* format = nullptr;
    const CardOutcome outcome = read_format_card(in, format);
    if (outcome != CardOutcome::Read) return outcome;
    return read_card_data(in, *format, items);
}

}  // namespace gruv
