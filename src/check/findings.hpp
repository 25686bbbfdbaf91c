// The collector of a deck check: the findings of the reading routines and of
// the check's own judgements, with the same findings under one format card
// counted rather than repeated.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "check/check.hpp"
#include "records/deck_check.hpp"
#include "state/model.hpp"

namespace gruv {

class Findings final : public DeckCheck {
public:
    explicit Findings(std::string deck) : deck_(std::move(deck)) {}

    // DeckCheck
    void error(const Finding& finding) override { add(Severity::Error, finding); }
    void records_read(InputUnit& in, std::span<const InItem> items) override;
    void values_read(std::string_view quantity, const InputUnit& in, int32_t item, int32_t element,
                     const InItem& values, const std::function<std::string(int32_t)>& context) override;
    void entry_read(int32_t N, const SourcePlace& keyword) override { entries_[N] = keyword; }

    void warning(const Finding& finding) { add(Severity::Warning, finding); }
    void add(Severity severity, const Finding& finding);

    int64_t errors() const { return errors_; }
    //! Where entry N of the value-conversion table stands (unknown when not read).
    SourcePlace entry_place(int32_t N) const;
    //! The findings in the order of the files (the deck first) and lines.
    CheckReport report() const;

private:
    //! Findings of one kind: one message, one file, under one format card.
    struct Kind {
        std::size_t first_kept = 0;  //!< index in kept_ of the first one shown
        std::size_t last_kept = 0;   //!< index in kept_ of the last one shown
        int64_t count = 0;           //!< how many there are
        int64_t last_line = 0;       //!< line of the last of them
    };

    std::string deck_;
    std::vector<CheckFinding> kept_;                   //!< the findings shown, in the order they came
    std::unordered_map<std::string, Kind> kinds_;      //!< by severity, message, file and format card
    std::map<std::string, int64_t> format_lines_;      //!< per file the line of the format card read last
    std::map<int32_t, SourcePlace> entries_;           //!< places of the keyword entries
    int64_t errors_ = 0;
    int64_t warnings_ = 0;
};

//! Warnings about records that read legally but are laid out wrongly: a
//! comma in a numeric field, digits across a field boundary, blanks between
//! the digits of a number, text the format does not read.
void judge_record_layout(Findings& findings, InputUnit& in, std::span<const InItem> items);

//! Warnings about values outside physical sense, by quantity: porosities
//! and saturations outside 0-100 %, negative conductivities, densities,
//! capacities and storage coefficients, temperatures below absolute zero.
void judge_values(Findings& findings, std::string_view quantity, const InputUnit& in, int32_t item, int32_t element,
                  const InItem& values, const std::function<std::string(int32_t)>& context);

//! How far the reading of the deck got.
struct ReadProgress {
    bool control_cards = false;  //!< cards 1 to 17f read
    bool fields = false;         //!< the field input (node by node or layer-wise) read to its end
};
//! The judgements of the model the deck describes, once it is read: values
//! of the control cards, the time step against the stability limit, the grid
//! Peclet number, keyword entries without effect, observation nodes on fixed
//! nodes, and the reasons that keep the time loop from running.
void judge_model(Findings& findings, const Model& m, const ReadProgress& progress);

//! Warnings about keyword entries of card 29 that later entries overwrite on
//! every node they address.
void judge_entries(Findings& findings, const Model& m);

//! The place of element `element` of list item `item` in the last read of in.
SourcePlace value_place(const InputUnit& in, int32_t item, int32_t element);

}  // namespace gruv
