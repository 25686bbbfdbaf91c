// The card reader shared by the control cards, the grid and field input, the
// short input, the additional data file and the restart file. After card 1
// every card is a pair: a format card whose first 20 characters hold a format
// specification, then the data record(s) read with that format. Every read
// leaves its trace in the unit, so that a message can name the file, the
// line, the columns and the text of the value it is about.
#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "records/deck_check.hpp"
#include "records/records.hpp"
#include "records/source_place.hpp"
#include "records/units.hpp"

namespace gruv {

//! Read: every value was read and every real value is a finite number.
//! NotFinite: the card was read, but a real value is infinite or not a number
//! (also a value too large for its variable, such as 1E39 for single precision).
enum class CardOutcome { Read, EndOfFile, BadData, NotFinite };

//! What a run stops on, as a value: the message records as the console shows
//! them, and the place in the input they are about. A run writes it and stops;
//! a program that checks a deck can collect it instead.
struct Finding {
    std::vector<std::string> message;  //!< records of the message, as written
    SourcePlace place;                 //!< where the fault lies (possibly unknown)
};

//! Writes the message records of a finding to unit u, then its location line
//! when the place is known.
void write_finding(OutputUnit& u, const Finding& finding);

//! In a check of a deck the finding goes to the check and the result is true
//! (the caller reads on); in a run (no check) the result is false and the
//! caller writes the finding and stops.
bool collect(DeckCheck* check, const Finding& finding);

//! The records a fixed format writes for the items (a message built like the
//! program's other messages).
template <class... Items>
std::vector<std::string> message_records(const FormatProgram& format, const Items&... items) {
    if constexpr (sizeof...(Items) == 0) {
        return format_records(format, {});
    } else {
        const OutItem list[] = {out(items)...};
        return format_records(format, list);
    }
}
//! A list-directed message: a blank, then the text.
inline std::vector<std::string> list_message(std::string_view text) { return {" " + std::string(text)}; }

//! Reads one format card: a line whose first 20 characters (blank padded) hold
//! a format specification. BadData when they are not a valid format.
CardOutcome read_format_card(InputUnit& in, const FormatProgram*& format);

//! Reads the data of a card with an already read format; a real value that is
//! not finite gives NotFinite.
CardOutcome read_card_data(InputUnit& in, const FormatProgram& format, std::span<const InItem> items);

//! Reads records like read_card_data, but takes every value as it reads
//! (values that are only checked for their layout, never used).
CardOutcome read_card_records(InputUnit& in, const FormatProgram& format, std::span<const InItem> items);

//! Reads one line as it stands (a heading, a format kept as text), with
//! its trace.
CardOutcome read_text_line(InputUnit& in, std::string& line);

//! Reads a format card and then the data with it.
CardOutcome read_card(InputUnit& in, std::span<const InItem> items);

template <class... Items>
CardOutcome read_card_items(InputUnit& input, Items&&... items) {
    const InItem list[] = {in(items)...};
    return read_card(input, list);
}

template <class... Items>
CardOutcome read_data_items(InputUnit& input, const FormatProgram& format, Items&&... items) {
    const InItem list[] = {in(items)...};
    return read_card_data(input, format, list);
}

// Places of the last read of a unit ---------------------------------------------
//! Where the last read failed: the field that could not be read or is not
//! finite, the end of the file, or else the line the read stopped on.
SourcePlace failure_place(const InputUnit& in);
//! The field of element `element` of list item `item` in the last read; the
//! line where the read stopped when the read did not reach it.
SourcePlace field_place(const InputUnit& in, int32_t item, int32_t element = 0);
//! The fields of items first..last of the last read as one place when they
//! lie on one line (the columns from the first to the last), else the first.
SourcePlace fields_place(const InputUnit& in, int32_t first, int32_t last);
//! The whole of record `record` of the last read.
SourcePlace record_place(const InputUnit& in, std::size_t record = 0);
//! Columns first..last (1-based) of record `record` of the last read.
SourcePlace columns_place(const InputUnit& in, std::size_t record, int32_t first_column, int32_t last_column);
//! The list element the last read stopped at: the failing field's element,
//! or, at the end of the file, the element after the last one read.
int32_t failed_element(const InputUnit& in);

//! A place where the last read failed, and the list element it concerns.
struct FailedField {
    SourcePlace place;
    int32_t element = 0;
};
//! Every place where the last read failed: each field it could not read or
//! whose value is not finite (a checked unit reads on after such a field, so
//! there may be several), or else the one failure place.
std::vector<FailedField> failed_fields(const InputUnit& in);
//! In a check of a deck: one finding with `message` for every place where the
//! last read of `in` failed, its context given by context(element) when there
//! is one, and true. In a run: false.
bool collect_failures(const InputUnit& in, const std::vector<std::string>& message,
                      const std::function<std::string(int32_t)>& context = {});
//! The format in the first 20 columns of line, or nullptr when they hold none.
const FormatProgram* format_in(InputUnit& in, std::string_view line);

}  // namespace gruv
