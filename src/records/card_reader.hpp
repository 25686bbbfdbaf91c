// The card reader shared by the control cards, the grid and field input, the
// short input and the additional data file. After card 1 every card is a pair:
// a format card whose first 20 characters hold a format specification, then
// the data record(s) read with that format.
#pragma once
#include <span>

#include "records/records.hpp"
#include "records/units.hpp"

namespace gruv {

enum class CardOutcome { Read, EndOfFile, BadData };

//! Reads one format card: a line whose first 20 characters (blank padded) hold
//! a format specification. BadData when they are not a valid format.
CardOutcome read_format_card(InputUnit& in, const FormatProgram*& format);

//! Reads the data of a card with an already read format.
CardOutcome read_card_data(InputUnit& in, const FormatProgram& format, std::span<const InItem> items);

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

}  // namespace gruv
