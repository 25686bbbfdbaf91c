// The program's units: the console, the card decks it reads and the files it
// writes, addressed by their unit numbers (1 console, 5 main input, 6 listing,
// 7 observation file, 8 additional data file, 9 restart file, 11-13 and 21-23
// isoline files).
#pragma once
#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "records/records.hpp"
#include "records/source_place.hpp"

namespace gruv {

//! A unit that receives records.
class OutputUnit : public RecordSink {
public:
    virtual void flush() {}
};

//! A formatted sequential file: each record is one line; the carriage-control
//! character in column 1 is kept as it stands.
class TextFileUnit final : public OutputUnit {
public:
    explicit TextFileUnit(const std::string& path);
    bool good() const { return static_cast<bool>(out_); }
    void put_record(std::string_view text) override;
    void flush() override;

private:
    std::ofstream out_;
};

//! The console. Records are written with the line end deferred, so that a
//! record whose carriage-control character is '+' can overwrite the current
//! line on a terminal (carriage return, no new line) and a prompt leaves the
//! cursor on its line. Elsewhere (a pipe, a file) a '+' record is an ordinary
//! line that keeps its '+'.
class ConsoleUnit final : public OutputUnit {
public:
    ConsoleUnit();
    void put_record(std::string_view text) override;
    //! Writes text and leaves the cursor behind it (a question to the user).
    void prompt(std::string_view text);
    //! Reads one line typed by the user; false at the end of the input.
    bool read_line(std::string& line);
    //! Ends an open line and flushes.
    void flush() override;
    //! Redirect to other streams (tests); tty selects the terminal behaviour.
    void attach(std::ostream& out, std::istream& in, bool tty);

private:
    std::ostream* out_;
    std::istream* in_;
    bool tty_ = false;
    bool line_open_ = false;     // a line has been written whose end is still due
    bool overwritable_ = false;  // that line came from a '+' record on a terminal
    std::size_t last_length_ = 0;
};

//! A byte stream without record markers (isoline files in binary form).
class BinaryFileUnit {
public:
    explicit BinaryFileUnit(const std::string& path);
    bool good() const { return static_cast<bool>(out_); }
    void write_bytes(const void* data, std::size_t n);
    void flush();

private:
    std::ofstream out_;
};

//! A card deck or other text file read record by record. A trailing carriage
//! return (a file written on another system) is not part of the record. The
//! unit counts the lines it has handed out and keeps the trace of the last
//! read made through the card reader, so that messages can name the line and
//! the columns of a value.
class InputUnit final : public RecordSource {
public:
    //! Opens path for reading; a directory does not open.
    explicit InputUnit(const std::string& path);
    //! Reads from an existing stream (tests); name is the file name messages give.
    explicit InputUnit(std::istream& in, std::string name = {});
    bool good() const { return in_ != nullptr && !failed_open_; }
    bool next_record(std::string& line) override;
    FormatCache& formats() { return formats_; }
    //! The file name as it was opened ("" when not known).
    const std::string& name() const { return name_; }
    //! Lines handed out so far: the number of the last line read.
    int64_t lines_read() const { return lines_; }
    //! Hands line out once more as the next record (a look ahead taken back).
    void unread(std::string line);
    //! Records and fields of the last read of the card reader.
    ReadTrace& trace() { return trace_; }
    const ReadTrace& trace() const { return trace_; }

private:
    std::ifstream file_;
    std::istream* in_ = nullptr;
    bool failed_open_ = false;
    std::string name_;
    int64_t lines_ = 0;
    bool has_unread_ = false;
    std::string unread_;
    FormatCache formats_;
    ReadTrace trace_;
};

//! True when path names a directory (which cannot be read as a file).
bool is_directory(const std::string& path);

//! The unit table of a run.
class Io {
public:
    Io();
    ~Io();
    Io(const Io&) = delete;
    Io& operator=(const Io&) = delete;

    ConsoleUnit& console() { return console_; }
    //! Output unit n; 1 is the console. A unit that is not open is a
    //! programming error (std::logic_error).
    OutputUnit& unit(int32_t n);
    bool is_open(int32_t n) const;
    //! Input unit n (5 main input, 8 additional data file).
    InputUnit& input(int32_t n);
    BinaryFileUnit& binary(int32_t n);

    //! Opens a file for reading on unit n; false when it cannot be opened
    //! (also when it is a directory).
    bool open_input(int32_t n, const std::string& path);
    //! Attaches an already open stream as input unit n (tests); name is the
    //! file name messages give.
    void attach_input(int32_t n, std::istream& in, std::string name = {});
    //! Opens (creates or truncates) a text file for writing on unit n.
    bool open_output(int32_t n, const std::string& path);
    bool open_binary(int32_t n, const std::string& path);
    void close(int32_t n);
    void flush_all();

    //! Keeps the place of a deck value that a check after the reading of its
    //! card names; key as value_key gives it.
    void keep_place(const std::string& key, SourcePlace place);
    //! The place kept under key; an unknown place when there is none.
    SourcePlace kept_place(const std::string& key) const;

private:
    ConsoleUnit console_;
    std::map<int32_t, std::unique_ptr<TextFileUnit>> outputs_;
    std::map<int32_t, std::unique_ptr<InputUnit>> inputs_;
    std::map<int32_t, std::unique_ptr<BinaryFileUnit>> binaries_;
    std::map<std::string, SourcePlace> places_;
};

//! The key of value `item` (0-based) of the card labelled `card` (for cards
//! read more than once, the label with the repetition, e.g. "15b/2").
std::string value_key(std::string_view card, int32_t item);

//! A file name as a Fortran CHARACTER variable holds it: trailing blanks are
//! not part of the name.
std::string trim_name(std::string_view name);

}  // namespace gruv
