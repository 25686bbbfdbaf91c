// Fuzz entries of the record engine: the format parser, the reader and the
// writer, and the card reader, each with the invariants an input must keep.
#include "fuzz/entries.hpp"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "records/card_reader.hpp"
#include "records/format_program.hpp"

namespace gruv::fuzz {

namespace {

// Most data descriptors a transfer of the fuzz entries fills with items, and
// most walker steps spent looking for them.
constexpr std::size_t kMostItems = 40;
constexpr int kMostWalkSteps = 100'000;

//! Variables for one transfer, each of a type that suits the data descriptor
//! a walk of the format meets in its place (so the writer can write back
//! what the reader read).
class ItemList {
public:
    ItemList(const FormatProgram& f, std::size_t most) {
        FormatWalker walk(f);
        int reversions = 0;
        for (int n = 0; n < kMostWalkSteps && slots_.size() < most; ++n) {
            const EditDescriptor* e = walk.next();
            if (e == nullptr) {
                if (!f.reversion_has_data || ++reversions > 2) break;
                walk.revert();
                continue;
            }
            if (is_data_edit(e->kind)) add(*e);
        }
        // The variables are in place: point the items at them.
        for (const Slot& s : slots_) {
            switch (s.type) {
                case InItem::Type::Int: in_.push_back(gruv::in(ints_[s.index])); break;
                case InItem::Type::Real4: in_.push_back(gruv::in(reals4_[s.index])); break;
                case InItem::Type::Real8: in_.push_back(gruv::in(reals8_[s.index])); break;
                case InItem::Type::Chars: in_.push_back(gruv::in(texts_[s.index])); break;
            }
        }
    }

    std::span<const InItem> in() const { return in_; }

    //! The same variables as output items, holding what was read.
    std::vector<OutItem> out() const {
        std::vector<OutItem> items;
        for (const Slot& s : slots_) {
            switch (s.type) {
                case InItem::Type::Int: items.push_back(gruv::out(ints_[s.index])); break;
                case InItem::Type::Real4: items.push_back(gruv::out(reals4_[s.index])); break;
                case InItem::Type::Real8: items.push_back(gruv::out(reals8_[s.index])); break;
                case InItem::Type::Chars: items.push_back(gruv::out(texts_[s.index])); break;
            }
        }
        return items;
    }

private:
    struct Slot {
        InItem::Type type;
        std::size_t index;
    };

    // Reals alternate between single and double precision, G takes every
    // type, texts are sometimes shorter and sometimes longer than their field.
    void add(const EditDescriptor& e) {
        const std::size_t n = slots_.size();
        InItem::Type type = InItem::Type::Int;
        switch (e.kind) {
            case EditKind::F:
            case EditKind::E:
            case EditKind::D: type = n % 3 == 2 ? InItem::Type::Real8 : InItem::Type::Real4; break;
            case EditKind::G: {
                static constexpr InItem::Type kCycle[] = {InItem::Type::Int, InItem::Type::Real4, InItem::Type::Real8,
                                                          InItem::Type::Chars};
                type = kCycle[n % 4];
                break;
            }
            case EditKind::A: type = InItem::Type::Chars; break;
            default: break;  // I, L
        }
        switch (type) {
            case InItem::Type::Int:
                slots_.push_back({type, ints_.size()});
                ints_.push_back(-7);
                break;
            case InItem::Type::Real4:
                slots_.push_back({type, reals4_.size()});
                reals4_.push_back(-7.0f);
                break;
            case InItem::Type::Real8:
                slots_.push_back({type, reals8_.size()});
                reals8_.push_back(-7.0);
                break;
            case InItem::Type::Chars: {
                const std::size_t width = e.w > 0 ? static_cast<std::size_t>(std::min(e.w, 64)) : 8;
                const std::size_t len = std::clamp<std::size_t>(width + n % 3, 2, 65) - 1;
                slots_.push_back({type, texts_.size()});
                texts_.emplace_back(len, '?');
                break;
            }
        }
    }

    std::vector<Slot> slots_;
    std::vector<int32_t> ints_;
    std::vector<float> reals4_;
    std::vector<double> reals8_;
    std::vector<std::string> texts_;
    std::vector<InItem> in_;
};

//! The lines of a text, as records.
class Lines final : public RecordSource {
public:
    explicit Lines(std::string_view text) : rest_(text) {}
    bool next_record(std::string& line) override {
        if (rest_.empty()) return false;
        const std::size_t end = rest_.find('\n');
        line.assign(rest_.substr(0, end));
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return true;
    }

private:
    std::string_view rest_;
};

//! Counts the records a write produces and measures the longest.
struct Measure final : RecordSink {
    std::size_t records = 0;
    std::size_t longest = 0;
    void put_record(std::string_view text) override {
        ++records;
        longest = std::max(longest, text.size());
    }
};

Finding check_program(const FormatProgram& f) {
    const auto size = static_cast<int32_t>(f.items.size());
    int depth = 0;
    for (int32_t i = 0; i < size; ++i) {
        const EditDescriptor& e = f.items[static_cast<std::size_t>(i)];
        if (e.repeat < 1) return "repeat count below 1 at item " + std::to_string(i);
        if (e.e > kMaxExponentDigits) return "exponent width " + std::to_string(e.e) + " accepted";
        if (e.kind == EditKind::Open || e.kind == EditKind::Close) {
            if (e.n < 0 || e.n >= size) return "group partner out of range at item " + std::to_string(i);
            const EditDescriptor& partner = f.items[static_cast<std::size_t>(e.n)];
            if (partner.n != i || partner.kind == e.kind) return "group partners disagree at item " + std::to_string(i);
            depth += e.kind == EditKind::Open ? 1 : -1;
            if (depth < 0 || depth > kMaxGroupDepth) return "group depth " + std::to_string(depth);
        }
        if (e.kind == EditKind::Literal &&
            (e.text_offset < 0 || e.text_length < 0 ||
             static_cast<std::size_t>(e.text_offset) + static_cast<std::size_t>(e.text_length) > f.literals.size()))
            return "literal outside the literal text at item " + std::to_string(i);
    }
    if (depth != 0) return "unbalanced groups";
    const bool reversion_at_group =
        f.reversion == 0 || (f.reversion < size && f.items[static_cast<std::size_t>(f.reversion)].kind == EditKind::Open);
    if (f.reversion < 0 || !reversion_at_group) return "reversion point " + std::to_string(f.reversion);
    return {};
}

// Walks the format through two reversions and measures the steps between
// two events (a data item or a slash, the start, the end of the transfer):
// never more than the parser allows.
Finding check_walk(const FormatProgram& f) {
    FormatWalker walk(f);
    int64_t last_event = 0;  // steps up to and including the last event
    int reversions = 0;
    const auto idle_since_event = [&](int64_t own_step) -> Finding {
        const int64_t idle = walk.steps() - own_step - last_event;
        if (idle > kMaxIdleSteps) return "walk took " + std::to_string(idle) + " steps between two items";
        last_event = walk.steps();
        return {};
    };
    for (int n = 0; n < kMostWalkSteps; ++n) {
        const EditDescriptor* e = walk.next();
        if (e == nullptr) {
            // The final ')': the run of steps goes on through reversion.
            if (f.reversion_has_data && ++reversions <= 2) {
                walk.revert();
                continue;
            }
            return idle_since_event(0);
        }
        if (is_data_edit(e->kind) || e->kind == EditKind::Slash) {
            if (Finding bad = idle_since_event(1); !bad.empty()) return bad;
        }
    }
    return {};
}

}  // namespace

Finding format_input(std::string_view data) {
    std::shared_ptr<const FormatProgram> f;
    try {
        f = parse_format(data);
    } catch (const FormatSyntaxError& e) {
        const std::string what = e.what();
        if (e.column() < 1 || static_cast<std::size_t>(e.column()) > data.size() + 1)
            return "error column " + std::to_string(e.column()) + " outside the text: " + what;
        // (what() ends at a NUL byte of the text it quotes.)
        if (data.find('\0') == std::string_view::npos &&
            what.find("(column " + std::to_string(e.column()) + ")") == std::string::npos)
            return "error message without its column: " + what;
    }
    FormatCache cache;
    const FormatProgram* cached = cache.find(data);
    if ((cached != nullptr) != (f != nullptr)) return "the cache and the parser disagree";
    if (cache.find(data) != cached) return "the cache parsed the same text twice";
    if (f == nullptr) return {};
    if (Finding bad = check_program(*f); !bad.empty()) return bad;
    return check_walk(*f);
}

Finding records_input(std::string_view data) {
    const std::size_t end = data.find('\n');
    std::shared_ptr<const FormatProgram> f;
    try {
        f = parse_format(data.substr(0, end));
    } catch (const FormatSyntaxError&) {
        return {};
    }
    ItemList items(*f, kMostItems);
    Lines records(end == std::string_view::npos ? std::string_view() : data.substr(end + 1));
    read_records(records, *f, items.in());
    const std::vector<OutItem> values = items.out();
    Measure written;
    try {
        write_records(written, *f, values);
    } catch (const std::logic_error& e) {
        // The writer refuses what no format of the program asks for (a scale
        // factor that leaves no digit, a record too long); items that do not
        // suit their descriptor would be a fault of the walk.
        const std::string what = e.what();
        if (what.find(": list item ") != std::string::npos) return "writer: " + what;
    }
    if (written.longest > kMaxRecordLength) return "record of " + std::to_string(written.longest) + " characters";
    return {};
}

Finding cards_input(std::string_view data) {
    std::istringstream text{std::string(data)};
    InputUnit in(text);
    for (int card = 0; card < 200; ++card) {
        const FormatProgram* f = nullptr;
        const CardOutcome outcome = read_format_card(in, f);
        if (outcome == CardOutcome::EndOfFile) break;
        if (outcome == CardOutcome::BadData) {
            if (f != nullptr) return "a bad format card gave a format";
            continue;
        }
        if (f == nullptr) return "a format card read without a format";
        ItemList items(*f, kMostItems);
        if (read_card_data(in, *f, items.in()) == CardOutcome::EndOfFile) break;
    }
    return {};
}

}  // namespace gruv::fuzz
