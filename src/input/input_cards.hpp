// Reading the cards of the model input (card 19, grid cards, field blocks,
// card 27 and 29) and ending the run on a card that cannot be read.
#pragma once
#include <string_view>

#include "records/card_reader.hpp"
#include "state/model.hpp"

namespace gruv::input_cards {

constexpr int32_t kMainInput = 5;  //!< unit of the main input file

//! The two failures of a labelled model-input card, each a console line with
//! the three-character label appended, then a plain stop.
[[noreturn]] void unexpected_end(Model& m, std::string_view label);
[[noreturn]] void bad_structure(Model& m, std::string_view label);
//! Stops on EndOfFile or BadData with the messages above.
void check_card(Model& m, CardOutcome outcome, std::string_view label);

//! The general read-failure report for cards without messages of their own
//! (format cards of the field blocks, card 19 of the field input, the
//! saturation block): a list-directed line naming the place, then a stop.
void check_general(Model& m, CardOutcome outcome, std::string_view place);

}  // namespace gruv::input_cards
