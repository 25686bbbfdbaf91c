// The program's units: the console, the card decks it reads and the files it
// writes, addressed by their unit numbers (1 console, 5 main input, 6 listing,
// 7 observation file, 8 additional data file, 9 restart file, 11-13 and 21-23
// isoline files). Every write to an output is checked; the first failure of a
// run ends it (WriteFailed) and is kept with its reason for the report.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/records.hpp"
#include "records/source_place.hpp"

namespace gruv {

class DeckCheck;

//! Thrown by an output unit at the first failed write of a run, while the
//! unit table still stops on failures: the run cannot go on without the file.
struct WriteFailed {
    int32_t unit;  //!< unit number of the output that failed (1 the console)
};

//! One output whose writing failed.
struct WriteFailure {
    int32_t unit = 0;  //!< unit number (1 the console)
    std::string name;  //!< file name as opened; empty for the console
    int error = 0;     //!< errno of the call that failed
};

//! The failed outputs of a run, each listed once, at its first failure.
struct WriteFailures {
    std::vector<WriteFailure> list;  //!< in the order the outputs failed
    std::size_t reported = 0;        //!< entries of list already reported
    bool stopping = true;            //!< a first failure throws WriteFailed
};

//! The write state of one output: the errno of its first failed call, and the
//! log of the unit table it belongs to (none for a stand-alone console).
class WriteCheck {
public:
    WriteCheck(WriteFailures* log, int32_t unit, std::string name)
        : log_(log), unit_(unit), name_(std::move(name)) {}
    bool failed() const { return error_ != 0; }
    //! Records the first failure (errno); while the table stops on failures
    //! and may_throw holds, ends the run with WriteFailed.
    void fail(int error, bool may_throw = true);

private:
    WriteFailures* log_;
    int32_t unit_;
    std::string name_;
    int error_ = 0;
};

//! A file written through a buffer of its own with the system's calls, so
//! that every failed write, flush and close is seen with its reason. Once a
//! call has failed, everything written later is dropped.
class FileWriter {
public:
    FileWriter(const std::string& path, WriteCheck check);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    bool is_open() const { return fd_ >= 0; }
    bool failed() const { return check_.failed(); }
    void write(const char* data, std::size_t n) {
        if (n <= buffer_.size() - used_) {
            if (n != 0) std::memcpy(buffer_.data() + used_, data, n);
            used_ += n;
        } else {
            write_through(data, n);
        }
    }
    void flush() { drain(true); }
    //! Writes what is buffered and closes the file; both checked.
    void close(bool may_throw = true);

private:
    void write_through(const char* data, std::size_t n);
    //! Hands the buffer to the system; false after a failure.
    bool drain(bool may_throw);
    bool put_all(const char* data, std::size_t n, bool may_throw);

    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    WriteCheck check_;
};

//! A unit that receives records.
class OutputUnit : public RecordSink {
public:
    virtual void flush() {}
};

//! A formatted sequential file: each record is one line; the carriage-control
//! character in column 1 is kept as it stands.
class TextFileUnit final : public OutputUnit {
public:
    TextFileUnit(const std::string& path, WriteCheck check) : file_(path, std::move(check)) {}
    bool good() const { return file_.is_open(); }
    bool failed() const { return file_.failed(); }
    void put_record(std::string_view text) override {
        file_.write(text.data(), text.size());
        file_.write("\n", 1);
    }
    void flush() override { file_.flush(); }
    void close(bool may_throw = true) { file_.close(may_throw); }

private:
    FileWriter file_;
};

//! The console. Records are written with the line end deferred, so that a
//! record whose carriage-control character is '+' can overwrite the current
//! line on a terminal (carriage return, no new line) and a prompt leaves the
//! cursor on its line. Elsewhere (a pipe, a file) a '+' record is an ordinary
//! line that keeps its '+'. A failed write to the console counts like that of
//! a result file.
class ConsoleUnit final : public OutputUnit {
public:
    explicit ConsoleUnit(WriteFailures* log = nullptr);
    void put_record(std::string_view text) override;
    //! Writes text and leaves the cursor behind it (a question to the user).
    //! The waiting hook runs first, as before every read.
    void prompt(std::string_view text);
    //! Reads one line typed by the user; false at the end of the input.
    //! Before the run waits for the user, the waiting hook runs.
    bool read_line(std::string& line);
    //! Sets what has to be done before the run waits for the user (result
    //! files written in the background are completed); it must not throw.
    void on_waiting(std::function<void()> hook) { waiting_ = std::move(hook); }
    //! Ends an open line and flushes.
    void flush() override;
    //! Redirect to other streams (tests); tty selects the terminal behaviour.
    void attach(std::ostream& out, std::istream& in, bool tty);
    //! The streams the console writes to and reads from, to attach again later.
    struct Streams {
        std::ostream* out;
        std::istream* in;
        bool tty;
    };
    Streams streams() const { return {out_, in_, tty_}; }
    void attach(const Streams& s) { attach(*s.out, *s.in, s.tty); }
    //! True while the console is the process's standard output.
    bool on_standard_output() const;
    bool failed() const { return check_.failed(); }
    //! Keeps the records written from now on back until release(), so that
    //! the closing lines of a run appear only once its files are complete.
    void hold() { held_ = true; }
    //! Writes the records held back and ends the hold.
    void release();
    //! Drops the records held back and ends the hold.
    void discard();

private:
    //! Records a failure of the stream after a write.
    void check_stream();

    std::ostream* out_;
    std::istream* in_;
    bool tty_ = false;
    bool line_open_ = false;     // a line has been written whose end is still due
    bool overwritable_ = false;  // that line came from a '+' record on a terminal
    std::size_t last_length_ = 0;
    bool held_ = false;                 // records are held back
    std::vector<std::string> held_records_;  // the records held back, in order
    std::function<void()> waiting_;          // run before a line is read
    WriteCheck check_;
};

//! A byte stream without record markers (isoline files in binary form).
class BinaryFileUnit {
public:
    BinaryFileUnit(const std::string& path, WriteCheck check) : file_(path, std::move(check)) {}
    bool good() const { return file_.is_open(); }
    bool failed() const { return file_.failed(); }
    void write_bytes(const void* data, std::size_t n) { file_.write(static_cast<const char*>(data), n); }
    void flush() { file_.flush(); }
    void close(bool may_throw = true) { file_.close(may_throw); }

private:
    FileWriter file_;
};

//! The system's reason for a failed call (errno), in German ("kein
//! Speicherplatz"); every output of the program names its failures with it.
std::string write_error_text(int error);

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

    //! The unit number the unit is open on (0 when not known).
    int32_t number() const { return number_; }
    //! The check this unit is read for (nullptr in a run). A checked unit reads
    //! on after a field it cannot read, and after a card it cannot read it
    //! looks for the next format card.
    DeckCheck* check() const { return check_; }
    void attach(int32_t number, DeckCheck* check) {
        number_ = number;
        check_ = check;
        trace_.lenient = check != nullptr;
    }
    //! Line of the last format card read (0 before the first).
    int64_t format_line() const { return format_line_; }
    void set_format_line(int64_t line) { format_line_ = line; }
    //! A card could not be read: the next format card is to be looked for.
    bool card_lost() const { return card_lost_; }
    void set_card_lost(bool lost) { card_lost_ = lost; }

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
    int32_t number_ = 0;
    DeckCheck* check_ = nullptr;
    int64_t format_line_ = 0;
    bool card_lost_ = false;
};

//! True when path names a directory (which cannot be read as a file).
bool is_directory(const std::string& path);
//! True when a file could be written under path (an existing writable file,
//! or a new one in a writable directory); nothing is created.
bool could_create(const std::string& path);

//! The unit table of a run.
class Io {
public:
    Io();
    ~Io();
    Io(const Io&) = delete;
    Io& operator=(const Io&) = delete;

    ConsoleUnit& console() { return console_; }
    bool console_on_standard_output() const { return console_.on_standard_output(); }
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
    //! Closes unit n; an output file is flushed and closed, both checked.
    void close(int32_t n);
    //! Closes every output file except unit keep (0: all of them).
    void close_outputs(int32_t keep = 0);
    void flush_all();

    //! Makes this unit table one of a deck check: the input units opened
    //! afterwards are read for `check`, nothing is to be written.
    void begin_check(DeckCheck* check) { check_ = check; }
    //! The check of the deck (nullptr in a run).
    DeckCheck* check() const { return check_; }
    //! From now on a failed write is only recorded, never thrown: the run is
    //! ending and reports what failed itself.
    void quiet() { failures_.stopping = false; }
    //! True when a write to output unit n (1 the console) has failed.
    bool failed(int32_t n) const;
    //! The failures not reported yet; they count as reported from now on.
    std::vector<WriteFailure> take_failures();

    //! The restart file is replaced as a whole, outside this table; the table
    //! keeps whether its last replacement failed, so that the end of the run
    //! can say that the file on disk is stale.
    bool restart_stale() const { return restart_stale_; }
    void set_restart_stale(bool stale) { restart_stale_ = stale; }

    //! Keeps the place of a deck value that a check after the reading of its
    //! card names; key as value_key gives it.
    void keep_place(const std::string& key, SourcePlace place);
    //! The place kept under key; an unknown place when there is none.
    SourcePlace kept_place(const std::string& key) const;

    //! Remembers the directory of the main input file ("" for the working
    //! directory).
    void set_deck_directory(std::string directory) { deck_directory_ = std::move(directory); }
    //! Where a file that the deck reads is found: the name itself when it
    //! exists in the working directory (or is absolute), else the file of that
    //! name next to the main input file when there is one, else the name.
    std::string find_input(const std::string& name) const;

private:
    WriteFailures failures_;  // declared before the units, which record into it
    ConsoleUnit console_;
    std::map<int32_t, std::unique_ptr<TextFileUnit>> outputs_;
    std::map<int32_t, std::unique_ptr<InputUnit>> inputs_;
    std::map<int32_t, std::unique_ptr<BinaryFileUnit>> binaries_;
    bool restart_stale_ = false;  // the last replacement of the restart file failed
    std::map<std::string, SourcePlace> places_;
    DeckCheck* check_ = nullptr;
    std::string deck_directory_;  //!< directory of the main input file
};

//! The key of value `item` (0-based) of the card labelled `card` (for cards
//! read more than once, the label with the repetition, e.g. "15b/2").
std::string value_key(std::string_view card, int32_t item);

//! A file name as a Fortran CHARACTER variable holds it: trailing blanks are
//! not part of the name.
std::string trim_name(std::string_view name);

}  // namespace gruv
