// A parsed format: the edit descriptors of a format text in order, and the
// walker that the writer and the reader share to step through them with the
// repeat counts, the nested groups and format reversion of Fortran formatted
// input/output.
#pragma once
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "records/records.hpp"

namespace gruv {

//! What an edit descriptor does. The names are the Fortran descriptors.
enum class EditKind : uint8_t {
    // data edit descriptors: each one transfers one list item
    I,  //!< Iw, Iw.m: integer
    F,  //!< Fw.d: fixed point
    E,  //!< Ew.d, Ew.dEe: exponent form
    D,  //!< Dw.d: exponent form with the letter D
    G,  //!< Gw.d, Gw.dEe: F or E form by magnitude (I for integers, A for texts)
    L,  //!< Lw: logical, T or F
    A,  //!< A, Aw: characters
    // control and character string descriptors
    X,        //!< nX: move n positions right
    T,        //!< Tn: move to column n
    TL,       //!< TLn: move n positions left
    TR,       //!< TRn: move n positions right
    Slash,    //!< /: end the record, start the next
    Colon,    //!< :  end the transfer here when the list is exhausted
    Literal,  //!< 'text', "text" or nHtext: written as it stands
    P,        //!< kP: scale factor
    BN,       //!< blanks in numeric input fields are ignored
    BZ,       //!< blanks in numeric input fields are zeros
    S,        //!< optional plus sign as the processor chooses (none)
    SP,       //!< plus sign on positive numbers
    SS,       //!< no plus sign
    Open,     //!< left parenthesis of a group
    Close,    //!< right parenthesis of a group
};

//! True for the descriptors that transfer a list item.
constexpr bool is_data_edit(EditKind k) noexcept { return k <= EditKind::A; }

//! One edit descriptor as parsed. Fields a descriptor does not use keep their
//! defaults.
struct EditDescriptor {
    EditKind kind = EditKind::X;
    int32_t repeat = 1;  //!< repeat count r of a data descriptor, a slash or a group
    int32_t w = -1;      //!< field width; -1 when absent (A without width); 0 for I0 and F0.d
    int32_t d = -1;      //!< digits after the decimal point (F, E, D, G); minimum digits m of Iw.m; -1 when absent
    int32_t e = -1;      //!< exponent digits of Ew.dEe and Gw.dEe; -1 when absent
    int32_t n = 0;       //!< positions of X, T, TL, TR; scale factor of P; partner index of Open and Close
    int32_t text_offset = 0;  //!< Literal: first character in FormatProgram::literals
    int32_t text_length = 0;  //!< Literal: number of characters
    int32_t column = 0;       //!< 1-based column of the descriptor in the format text
};

//! Deepest nesting of groups that a format may have.
inline constexpr int kMaxGroupDepth = 32;

//! Most digits an exponent field (Ew.dEe, Gw.dEe) may have: as many as the
//! decimal exponent of any value the writer shows can need, and more than a
//! double's three.
inline constexpr int32_t kMaxExponentDigits = 10;

//! Most steps a transfer takes between two data items or record ends (see
//! FormatWalker::steps): positions, strings, groups entered and repeated. The
//! parser refuses a format that could need more, so that every record costs
//! at most this much work per item it transfers.
inline constexpr int64_t kMaxIdleSteps = 1000;

//! Longest record the writer builds [characters]: far beyond any record the
//! program writes, and a bound on what a format's positions and widths can
//! make it allocate.
inline constexpr std::size_t kMaxRecordLength = 1'000'000;

//! A format text parsed into its descriptors. The enclosing parentheses of the
//! whole format are not stored: the end of `items` is the final ')'.
class FormatProgram {
public:
    std::string text;                   //!< the format text as given
    std::vector<EditDescriptor> items;  //!< descriptors in order; groups bracketed by Open ... Close
    std::string literals;               //!< the characters of all literal strings
    int32_t reversion = 0;              //!< index in items where format reversion resumes
    bool reversion_has_data = false;    //!< a data descriptor lies at or after `reversion`

    std::string_view literal(const EditDescriptor& e) const {
        return std::string_view(literals).substr(static_cast<std::size_t>(e.text_offset),
                                                 static_cast<std::size_t>(e.text_length));
    }
};

//! Steps through a FormatProgram as a transfer carries it out: enters and
//! repeats groups, hands out a data descriptor or slash once per repetition,
//! and stops at the final ')' (nullptr) where the caller decides between
//! ending the transfer and reverting.
class FormatWalker {
public:
    explicit FormatWalker(const FormatProgram& f) noexcept : f_(f) {}

    //! The next descriptor to carry out, or nullptr at the final ')'.
    const EditDescriptor* next() noexcept {
        const auto size = static_cast<int32_t>(f_.items.size());
        while (pc_ < size) {
            ++steps_;
            const EditDescriptor& e = f_.items[static_cast<std::size_t>(pc_)];
            switch (e.kind) {
                case EditKind::Open:
                    // The parser bounds the depth by kMaxGroupDepth.
                    groups_[static_cast<std::size_t>(depth_++)] = {pc_, e.repeat};
                    ++pc_;
                    continue;
                case EditKind::Close: {
                    Level& top = groups_[static_cast<std::size_t>(depth_ - 1)];
                    if (--top.left > 0) {
                        pc_ = top.open + 1;
                    } else {
                        --depth_;
                        ++pc_;
                    }
                    continue;
                }
                default:
                    break;
            }
            if (e.repeat > 1) {
                if (left_ == 0) left_ = e.repeat;
                if (--left_ == 0) ++pc_;
            } else {
                ++pc_;
            }
            return &e;
        }
        return nullptr;
    }

    //! Continues after the final ')' at the reversion point: the last
    //! top-level group with its repeat count, or the start of the format.
    void revert() noexcept {
        pc_ = f_.reversion;
        left_ = 0;
        depth_ = 0;
    }

    //! Steps taken so far: every descriptor handed out, every group entered
    //! and every repetition of a group ended.
    int64_t steps() const noexcept { return steps_; }

private:
    struct Level {
        int32_t open;  // index of the group's Open
        int32_t left;  // repetitions still to run, this one included
    };
    const FormatProgram& f_;
    int32_t pc_ = 0;    // index of the next descriptor
    int32_t left_ = 0;  // repetitions left of a repeated data descriptor or slash under way
    int32_t depth_ = 0;
    int64_t steps_ = 0;
    std::array<Level, kMaxGroupDepth> groups_{};
};

}  // namespace gruv
