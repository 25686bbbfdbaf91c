// Reading the cards of the model input (card 19, grid cards, field blocks,
// card 27 and 29) and ending the run on a card that cannot be read.
#pragma once
#include <string_view>

#include "records/card_reader.hpp"
#include "state/model.hpp"

namespace gruv::input_cards {

constexpr int32_t kMainInput = 5;  //!< unit of the main input file

//! The failures of a labelled model-input card, each a console line with
//! the three-character label appended, then the place in the file, then a
//! plain stop.
[[noreturn]] void unexpected_end(Model& m, std::string_view label, const SourcePlace& place);
[[noreturn]] void bad_structure(Model& m, std::string_view label, const SourcePlace& place);
[[noreturn]] void not_finite(Model& m, std::string_view label, const SourcePlace& place);
//! Stops on every outcome but Read with the messages above, at the place
//! where the last read of the main input stopped; context names the part of
//! the card (a layer, an entry) in the location line.
void check_card(Model& m, CardOutcome outcome, std::string_view label, std::string_view context = {});

//! The general read-failure report for cards without messages of their own
//! (format cards of the field blocks, card 19 of the field input, the
//! saturation block, the head of the additional data file): a list-directed
//! line naming the place, the location in the file `in`, then a stop.
void check_general(Model& m, InputUnit& in, CardOutcome outcome, std::string_view place);

}  // namespace gruv::input_cards
