// A check of a deck: the reading routines hand what a run would stop on to
// the check instead and read on, and the check sees every record read, so
// that it can warn about input that reads legally but is almost certainly a
// mistake. A run has no check; its reading is not changed by any of this.
#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "records/records.hpp"

namespace gruv {

class InputUnit;
struct Finding;
struct SourcePlace;

class DeckCheck {
public:
    virtual ~DeckCheck() = default;
    //! A fault a run would stop on; the reading goes on where it can.
    virtual void error(const Finding& finding) = 0;
    //! The data records the card reader has just read from `in` into `items`
    //! (the unit's trace holds them and their fields).
    virtual void records_read(InputUnit& in, std::span<const InItem> items) = 0;
    //! Values of the quantity `quantity` (named like its keyword, e.g. "PHIG")
    //! just read from `in`: elements element .. element + values.count - 1 of
    //! list item `item` of the last read, in the unit the deck enters them in.
    //! context(element), when given, names the part of the input (a node, a
    //! layer, an entry) in messages.
    virtual void values_read(std::string_view quantity, const InputUnit& in, int32_t item, int32_t element,
                             const InItem& values, const std::function<std::string(int32_t)>& context) = 0;
    //! Where keyword entry N of the value-conversion table stands.
    virtual void entry_read(int32_t N, const SourcePlace& keyword) = 0;
};

}  // namespace gruv
