#include "records/units.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <stdexcept>
#include <utility>

namespace gruv {

// ---------------------------------------------------------------- text files
TextFileUnit::TextFileUnit(const std::string& path) : out_(path, std::ios::out | std::ios::trunc | std::ios::binary) {}

void TextFileUnit::put_record(std::string_view text) {
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    out_.put('\n');
}

void TextFileUnit::flush() { out_.flush(); }

// ------------------------------------------------------------------- console
ConsoleUnit::ConsoleUnit() : out_(&std::cout), in_(&std::cin), tty_(::isatty(STDOUT_FILENO) != 0) {}

void ConsoleUnit::attach(std::ostream& out, std::istream& in, bool tty) {
    flush();
    out_ = &out;
    in_ = &in;
    tty_ = tty;
    line_open_ = false;
    overwritable_ = false;
}

void ConsoleUnit::put_record(std::string_view text) {
    if (tty_ && !text.empty() && text.front() == '+' && line_open_ && overwritable_) {
        // Overprint the current progress line; blank out what the new text
        // does not cover.
        std::string line(text);
        line.front() = ' ';
        *out_ << '\r' << line;
        if (line.size() < last_length_) *out_ << std::string(last_length_ - line.size(), ' ');
        last_length_ = line.size();
        out_->flush();
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
}

void ConsoleUnit::prompt(std::string_view text) {
    if (line_open_) *out_ << '\n';
    out_->write(text.data(), static_cast<std::streamsize>(text.size()));
    out_->flush();
    line_open_ = true;
    overwritable_ = false;
}

bool ConsoleUnit::read_line(std::string& line) {
    out_->flush();
    if (!std::getline(*in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // On a terminal the user's Enter has ended the prompt line; elsewhere the
    // answer is not echoed, and the next record starts a new line.
    if (tty_) line_open_ = false;
    return true;
}

void ConsoleUnit::flush() {
    if (line_open_) {
        *out_ << '\n';
        line_open_ = false;
        overwritable_ = false;
    }
    out_->flush();
}

// -------------------------------------------------------------- binary files
BinaryFileUnit::BinaryFileUnit(const std::string& path) : out_(path, std::ios::out | std::ios::trunc | std::ios::binary) {}

void BinaryFileUnit::write_bytes(const void* data, std::size_t n) {
    out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
}

void BinaryFileUnit::flush() { out_.flush(); }

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

// ---------------------------------------------------------------- unit table
Io::Io() = default;

// The console may write into a stream that its owner ends before the unit
// table (a test, an embedding program): only the files the table owns are
// flushed here; a run flushes the console itself when it ends.
Io::~Io() {
    for (auto& [n, u] : outputs_) u->flush();
    for (auto& [n, u] : binaries_) u->flush();
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
    inputs_[n] = std::move(unit);
    return true;
}

void Io::attach_input(int32_t n, std::istream& in, std::string name) {
    inputs_[n] = std::make_unique<InputUnit>(in, std::move(name));
}

bool Io::open_output(int32_t n, const std::string& path) {
    auto unit = std::make_unique<TextFileUnit>(path);
    if (!unit->good()) return false;
    outputs_[n] = std::move(unit);
    return true;
}

bool Io::open_binary(int32_t n, const std::string& path) {
    auto unit = std::make_unique<BinaryFileUnit>(path);
    if (!unit->good()) return false;
    binaries_[n] = std::move(unit);
    return true;
}

void Io::close(int32_t n) {
    if (auto it = outputs_.find(n); it != outputs_.end()) {
        it->second->flush();
        outputs_.erase(it);
    }
    inputs_.erase(n);
    if (auto it = binaries_.find(n); it != binaries_.end()) {
        it->second->flush();
        binaries_.erase(it);
    }
}

void Io::flush_all() {
    for (auto& [n, u] : outputs_) u->flush();
    for (auto& [n, u] : binaries_) u->flush();
    console_.flush();
}

void Io::keep_place(const std::string& key, SourcePlace place) { places_[key] = std::move(place); }

SourcePlace Io::kept_place(const std::string& key) const {
    const auto it = places_.find(key);
    return it != places_.end() ? it->second : SourcePlace{};
}

std::string value_key(std::string_view card, int32_t item) { return std::string(card) + ":" + std::to_string(item); }

std::string trim_name(std::string_view name) {
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return std::string(name);
}

}  // namespace gruv
