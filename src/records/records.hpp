// Formatted records: run-time format texts, the writer and the reader.
//
// A format text such as "(T16,' Gesamtrechenzeit: ',F12.4,' Minuten')" is
// parsed once into a FormatProgram and then drives the writing of a value
// list into records (lines), or the reading of records into variables, with
// the rules of Fortran formatted I/O: repeat counts, nested groups, format
// reversion, asterisks for a value that does not fit its field, blanks
// ignored in numeric input fields, short records read as padded with blanks.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace gruv {

class FormatProgram;  // parsed format, see format_program.hpp

//! A format text that is not a valid format; column is 1-based within the text.
class FormatSyntaxError : public std::runtime_error {
public:
    FormatSyntaxError(const std::string& what, int column) : std::runtime_error(what), column_(column) {}
    int column() const noexcept { return column_; }

private:
    int column_;
};

//! Parses a format text (with or without the enclosing parentheses' surroundings
//! of blanks). Throws FormatSyntaxError.
std::shared_ptr<const FormatProgram> parse_format(std::string_view text);

//! A format fixed in the program text, parsed on first use and kept; an invalid
//! text is a programming error (std::logic_error). Use as
//!   static const FormatProgram& f = fixed_format("(...)");
const FormatProgram& fixed_format(std::string_view text);

//! Formats read from a card deck, parsed once per distinct text.
class FormatCache {
public:
    //! The parsed format of text, or nullptr when text is not a valid format.
    const FormatProgram* find(std::string_view text);

private:
    std::vector<std::pair<std::string, std::shared_ptr<const FormatProgram>>> entries_;
};

// ---------------------------------------------------------------------------
// Output items. Scalars are held by value; arrays and texts by pointer (the
// caller keeps them alive for the duration of the write). An array item of
// count n stands for n list items taken at the given element stride.
struct OutItem {
    enum class Type : uint8_t { Int, Real4, Real8, Chars };
    Type type = Type::Int;
    int32_t count = 1;   //!< list items (1 for a scalar)
    int32_t stride = 1;  //!< element stride of an array item
    int32_t len = 0;     //!< length of a text
    union {
        int32_t i;
        float f;
        double d;
    } value{0};
    const void* data = nullptr;  //!< array elements, or the characters of a text
};

inline OutItem out(int32_t v) { OutItem o; o.type = OutItem::Type::Int; o.value.i = v; return o; }
inline OutItem out(float v) { OutItem o; o.type = OutItem::Type::Real4; o.value.f = v; return o; }
inline OutItem out(double v) { OutItem o; o.type = OutItem::Type::Real8; o.value.d = v; return o; }
inline OutItem out(std::string_view s) {
    OutItem o; o.type = OutItem::Type::Chars; o.data = s.data(); o.len = static_cast<int32_t>(s.size()); return o;
}
inline OutItem out(const char* s) { return out(std::string_view(s)); }
inline OutItem out(const std::string& s) { return out(std::string_view(s)); }
inline OutItem out(const OutItem& o) { return o; }
inline OutItem out_array(const int32_t* p, int32_t n, int32_t stride = 1) {
    OutItem o; o.type = OutItem::Type::Int; o.data = p; o.count = n; o.stride = stride; return o;
}
inline OutItem out_array(const float* p, int32_t n, int32_t stride = 1) {
    OutItem o; o.type = OutItem::Type::Real4; o.data = p; o.count = n; o.stride = stride; return o;
}
inline OutItem out_array(const double* p, int32_t n, int32_t stride = 1) {
    OutItem o; o.type = OutItem::Type::Real8; o.data = p; o.count = n; o.stride = stride; return o;
}

//! Receives the records (lines, without line ends) that a write produces.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void put_record(std::string_view text) = 0;
};

//! Sets up the calling thread's scratch of the writes below now rather than
//! at its first write. Its first use registers its clean-up at the thread's
//! end, which waits for the dynamic loader, and so for any library another
//! thread is loading meanwhile.
void prepare_record_writer();

//! Writes the items under the format: one or more records into sink.
void write_records(RecordSink& sink, const FormatProgram& format, std::span<const OutItem> items);

//! The records a write would produce (tests, and texts built for later use).
std::vector<std::string> format_records(const FormatProgram& format, std::span<const OutItem> items);

template <class... Items>
void write(RecordSink& sink, const FormatProgram& format, const Items&... items) {
    if constexpr (sizeof...(Items) == 0) {
        write_records(sink, format, {});
    } else {
        const OutItem list[] = {out(items)...};
        write_records(sink, format, list);
    }
}

//! A list-directed write of one text: a blank, then the text.
void write_list(RecordSink& sink, std::string_view text);

// ---------------------------------------------------------------------------
// Input items: where read values go. A text item of length len receives a
// CHARACTER*len value (blank padded on the right).
struct InItem {
    enum class Type : uint8_t { Int, Real4, Real8, Chars };
    Type type = Type::Int;
    void* data = nullptr;
    int32_t count = 1;
    int32_t stride = 1;
    int32_t len = 0;
};

inline InItem in(int32_t& v) { return {InItem::Type::Int, &v, 1, 1, 0}; }
inline InItem in(float& v) { return {InItem::Type::Real4, &v, 1, 1, 0}; }
inline InItem in(double& v) { return {InItem::Type::Real8, &v, 1, 1, 0}; }
//! A CHARACTER variable of the string's current length.
inline InItem in(std::string& s) { return {InItem::Type::Chars, s.data(), 1, 1, static_cast<int32_t>(s.size())}; }
inline InItem in_chars(char* p, int32_t len) { return {InItem::Type::Chars, p, 1, 1, len}; }
inline InItem in(const InItem& i) { return i; }
inline InItem in_array(int32_t* p, int32_t n, int32_t stride = 1) { return {InItem::Type::Int, p, n, stride, 0}; }
inline InItem in_array(float* p, int32_t n, int32_t stride = 1) { return {InItem::Type::Real4, p, n, stride, 0}; }
inline InItem in_array(double* p, int32_t n, int32_t stride = 1) { return {InItem::Type::Real8, p, n, stride, 0}; }

//! Supplies records (lines without their line end) to a read.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    //! The next record, or false at the end of the file.
    virtual bool next_record(std::string& line) = 0;
};

enum class ReadOutcome { Ok, End, BadData };

//! What one read saw: its records and where in them each field lay, so that
//! a message can point at the text. The storage is kept from read to read.
struct ReadTrace {
    //! One field a data edit descriptor took for a list item.
    struct Field {
        int32_t record;   //!< index of the record in `records`
        int32_t start;    //!< 0-based position of the field's first character in the record
        int32_t width;    //!< characters the descriptor gives the field (it may reach past the record's end)
        int32_t item;     //!< index of the list item
        int32_t element;  //!< element of that item (0 for a scalar)
    };
    std::vector<std::string> records;  //!< the records of the read; only the first `used` belong to it
    std::size_t used = 0;              //!< records the read took
    std::vector<Field> fields;         //!< the fields in the order they were read
    int32_t failed = -1;               //!< index in `fields` of a field that could not be read, or -1
    std::vector<int32_t> bad_fields;   //!< indices in `fields` of every field that could not be read
    bool ended = false;                //!< the read met the end of the file
    //! Set by the owner, kept from read to read: a field that cannot be read
    //! is noted and the read goes on with the next item (a check of a deck),
    //! so that the read takes the records a sound read would take.
    bool lenient = false;

    void clear() {
        used = 0;
        fields.clear();
        failed = -1;
        bad_fields.clear();
        ended = false;
    }
};

//! Reads the items under the format, taking as many records as the format
//! and the list need. Items read before an End or BadData keep their values.
//! With a trace, the records and fields of the read are noted in it; with a
//! lenient trace a field that cannot be read keeps its item's value and the
//! read goes on (BadData at its end).
ReadOutcome read_records(RecordSource& source, const FormatProgram& format, std::span<const InItem> items,
                         ReadTrace* trace = nullptr);

template <class... Items>
ReadOutcome read(RecordSource& source, const FormatProgram& format, Items&&... items) {
    if constexpr (sizeof...(Items) == 0) {
        return read_records(source, format, {});
    } else {
        const InItem list[] = {in(items)...};
        return read_records(source, format, list);
    }
}

}  // namespace gruv
