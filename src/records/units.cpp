#include "records/units.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <utility>

namespace gruv {

// ------------------------------------------------------------ write checks
void WriteCheck::fail(int error, bool may_throw) {
    if (error_ != 0) return;
    error_ = error != 0 ? error : EIO;
    if (log_ == nullptr) return;
    log_->list.push_back({unit_, name_, error_});
    if (log_->stopping && may_throw) {
        log_->stopping = false;  // one failure ends the run; the rest is recorded
        throw WriteFailed{unit_};
    }
}

std::string write_error_text(int error) {
    switch (error) {
        case ENOENT: return "Verzeichnis nicht gefunden";
        case ENOTDIR: return "ein Teil des Pfades ist kein Verzeichnis";
        case EISDIR: return "ist ein Verzeichnis";
        case EEXIST: return "eine Datei dieses Namens ist vorhanden";
        case EACCES:
        case EPERM: return "keine Schreibberechtigung";
        case ENOSPC: return "kein Speicherplatz";
        case EDQUOT: return "Speicherkontingent erschoepft";
        case EIO: return "Ein-/Ausgabefehler";
        case EFBIG: return "Datei zu gross";
        case EROFS: return "Dateisystem nur lesbar";
        case ENAMETOOLONG: return "Name zu lang";
        case EPIPE: return "Empfaenger geschlossen";
        default: return "Systemfehler " + std::to_string(error);
    }
}

// -------------------------------------------------------------- file writer
namespace {
// The size of a stream buffer: a failure is seen within this many bytes.
constexpr std::size_t kFileBuffer = std::size_t{1} << 13;
}  // namespace

FileWriter::FileWriter(const std::string& path, WriteCheck check)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)), check_(std::move(check)) {
    if (fd_ >= 0) buffer_.resize(kFileBuffer);
}

// The table closes its files before it ends; a writer that is still open
// here hands over what it holds without stopping anything.
FileWriter::~FileWriter() {
    if (fd_ >= 0) close(false);
}

void FileWriter::write_through(const char* data, std::size_t n) {
    if (check_.failed() || fd_ < 0) return;
    if (!drain(true)) return;
    if (n >= buffer_.size()) {
        put_all(data, n, true);
    } else {
        std::memcpy(buffer_.data(), data, n);
        used_ = n;
    }
}

bool FileWriter::drain(bool may_throw) {
    const std::size_t n = used_;
    used_ = 0;
    if (check_.failed() || fd_ < 0) return false;
    return put_all(buffer_.data(), n, may_throw);
}

bool FileWriter::put_all(const char* data, std::size_t n, bool may_throw) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd_, data + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            check_.fail(w < 0 ? errno : EIO, may_throw);
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    return true;
}

void FileWriter::close(bool may_throw) {
    if (fd_ < 0) return;
    drain(may_throw);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) check_.fail(errno, may_throw);
}

// ------------------------------------------------------------------- console
ConsoleUnit::ConsoleUnit(WriteFailures* log)
    : out_(&std::cout), in_(&std::cin), tty_(::isatty(STDOUT_FILENO) != 0), check_(log, 1, "") {}

void ConsoleUnit::attach(std::ostream& out, std::istream& in, bool tty) {
    flush();
    out_ = &out;
    in_ = &in;
    tty_ = tty;
    line_open_ = false;
    overwritable_ = false;
}

bool ConsoleUnit::on_standard_output() const { return out_ == &std::cout; }

void ConsoleUnit::check_stream() {
    if (!out_->fail() || check_.failed()) return;
    check_.fail(errno);
}

void ConsoleUnit::put_record(std::string_view text) {
    if (held_) {
        held_records_.emplace_back(text);
        return;
    }
    if (check_.failed()) return;
    errno = 0;
    if (tty_ && !text.empty() && text.front() == '+' && line_open_ && overwritable_) {
        // Overprint the current progress line; blank out what the new text
        // does not cover.
        std::string line(text);
        line.front() = ' ';
        *out_ << '\r' << line;
        if (line.size() < last_length_) *out_ << std::string(last_length_ - line.size(), ' ');
        last_length_ = line.size();
        out_->flush();
        check_stream();
        return;
    }
    if (line_open_) *out_ << '\n';
    if (tty_ && !text.empty() && text.front() == '+') {
        std::string line(text);
        line.front() = ' ';
        *out_ << line;
        overwritable_ = true;
        out_->flush();
    } else {
        out_->write(text.data(), static_cast<std::streamsize>(text.size()));
        overwritable_ = false;
    }
    last_length_ = text.size();
    line_open_ = true;
    check_stream();
}

void ConsoleUnit::prompt(std::string_view text) {
    if (waiting_) waiting_();  // before the user sees the question
    if (check_.failed()) return;
    errno = 0;
    if (line_open_) *out_ << '\n';
    out_->write(text.data(), static_cast<std::streamsize>(text.size()));
    out_->flush();
    line_open_ = true;
    overwritable_ = false;
    check_stream();
}

bool ConsoleUnit::read_line(std::string& line) {
    if (waiting_) waiting_();
    if (!check_.failed()) {
        errno = 0;
        out_->flush();
        check_stream();
    }
    if (!std::getline(*in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // On a terminal the user's Enter has ended the prompt line; elsewhere the
    // answer is not echoed, and the next record starts a new line.
    if (tty_) line_open_ = false;
    return true;
}

void ConsoleUnit::flush() {
    if (check_.failed()) return;
    errno = 0;
    if (line_open_) {
        *out_ << '\n';
        line_open_ = false;
        overwritable_ = false;
    }
    out_->flush();
    check_stream();
}

void ConsoleUnit::release() {
    held_ = false;
    std::vector<std::string> records;
    records.swap(held_records_);
    for (const std::string& r : records) put_record(r);
}

void ConsoleUnit::discard() {
    held_ = false;
    held_records_.clear();
}

// --------------------------------------------------------------- input files
// A directory opens as a stream on some systems and then reads as an empty
// file; it is refused here so that the caller can say what it is.
InputUnit::InputUnit(const std::string& path) : name_(path) {
    if (is_directory(path)) {
        failed_open_ = true;
        return;
    }
    file_.open(path, std::ios::in | std::ios::binary);
    if (file_) {
        in_ = &file_;
    } else {
        failed_open_ = true;
    }
}

InputUnit::InputUnit(std::istream& in, std::string name) : in_(&in), name_(std::move(name)) {}

bool InputUnit::next_record(std::string& line) {
    if (has_unread_) {
        has_unread_ = false;
        line.swap(unread_);
        ++lines_;
        return true;
    }
    if (in_ == nullptr || !std::getline(*in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++lines_;
    return true;
}

void InputUnit::unread(std::string line) {
    unread_ = std::move(line);
    has_unread_ = true;
    --lines_;
}

bool is_directory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool could_create(const std::string& path) {
    if (path.empty() || is_directory(path)) return false;
    if (::access(path.c_str(), F_OK) == 0) return ::access(path.c_str(), W_OK) == 0;
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return is_directory(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// ---------------------------------------------------------------- unit table
Io::Io() : console_(&failures_) {}

// The console may write into a stream that its owner ends before the unit
// table (a test, an embedding program): only the files the table owns are
// closed here; a run flushes the console itself when it ends.
Io::~Io() {
    quiet();
    close_outputs();
}

OutputUnit& Io::unit(int32_t n) {
    if (n == 1) return console_;
    auto it = outputs_.find(n);
    if (it == outputs_.end()) throw std::logic_error("Einheit " + std::to_string(n) + " ist nicht geoeffnet");
    return *it->second;
}

bool Io::is_open(int32_t n) const {
    return n == 1 || outputs_.count(n) != 0 || inputs_.count(n) != 0 || binaries_.count(n) != 0;
}

InputUnit& Io::input(int32_t n) {
    auto it = inputs_.find(n);
    if (it == inputs_.end()) throw std::logic_error("Eingabeeinheit " + std::to_string(n) + " ist nicht geoeffnet");
    return *it->second;
}

BinaryFileUnit& Io::binary(int32_t n) {
    auto it = binaries_.find(n);
    if (it == binaries_.end()) throw std::logic_error("Binaereinheit " + std::to_string(n) + " ist nicht geoeffnet");
    return *it->second;
}

bool Io::open_input(int32_t n, const std::string& path) {
    auto unit = std::make_unique<InputUnit>(path);
    if (!unit->good()) return false;
    unit->attach(n, check_);
    inputs_[n] = std::move(unit);
    return true;
}

void Io::attach_input(int32_t n, std::istream& in, std::string name) {
    inputs_[n] = std::make_unique<InputUnit>(in, std::move(name));
    inputs_[n]->attach(n, check_);
}

bool Io::open_output(int32_t n, const std::string& path) {
    close(n);
    auto unit = std::make_unique<TextFileUnit>(path, WriteCheck(&failures_, n, path));
    if (!unit->good()) return false;
    outputs_[n] = std::move(unit);
    return true;
}

bool Io::open_binary(int32_t n, const std::string& path) {
    close(n);
    auto unit = std::make_unique<BinaryFileUnit>(path, WriteCheck(&failures_, n, path));
    if (!unit->good()) return false;
    binaries_[n] = std::move(unit);
    return true;
}

// A unit leaves the table before its closing is checked, so that a failure
// there (which may end the run) leaves no closed unit behind.
void Io::close(int32_t n) {
    if (auto it = outputs_.find(n); it != outputs_.end()) {
        const std::unique_ptr<TextFileUnit> unit = std::move(it->second);
        outputs_.erase(it);
        unit->close();
    }
    inputs_.erase(n);
    if (auto it = binaries_.find(n); it != binaries_.end()) {
        const std::unique_ptr<BinaryFileUnit> unit = std::move(it->second);
        binaries_.erase(it);
        unit->close();
    }
}

void Io::close_outputs(int32_t keep) {
    std::vector<int32_t> units;
    for (const auto& [n, u] : outputs_) units.push_back(n);
    for (const auto& [n, u] : binaries_) units.push_back(n);
    for (const int32_t n : units)
        if (n != keep) close(n);
}

void Io::flush_all() {
    for (auto& [n, u] : outputs_) u->flush();
    for (auto& [n, u] : binaries_) u->flush();
    console_.flush();
}

bool Io::failed(int32_t n) const {
    for (const WriteFailure& f : failures_.list)
        if (f.unit == n) return true;
    return false;
}

std::vector<WriteFailure> Io::take_failures() {
    std::vector<WriteFailure> fresh(failures_.list.begin() + static_cast<std::ptrdiff_t>(failures_.reported),
                                    failures_.list.end());
    failures_.reported = failures_.list.size();
    return fresh;
}

void Io::keep_place(const std::string& key, SourcePlace place) { places_[key] = std::move(place); }

SourcePlace Io::kept_place(const std::string& key) const {
    const auto it = places_.find(key);
    return it != places_.end() ? it->second : SourcePlace{};
}

std::string value_key(std::string_view card, int32_t item) { return std::string(card) + ":" + std::to_string(item); }

std::string Io::find_input(const std::string& name) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (name.empty() || deck_directory_.empty() || fs::path(name).is_absolute() || fs::exists(name, ec)) return name;
    const fs::path beside = fs::path(deck_directory_) / name;
    return fs::exists(beside, ec) ? beside.string() : name;
}

std::string trim_name(std::string_view name) {
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return std::string(name);
}

}  // namespace gruv
