// Result files on POSIX descriptors, so that every failure carries errno and
// the user reads the file's name and the reason in German.
#include "results/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "records/units.hpp"

namespace gruv {

namespace {

//! Blocks at least this long bypass the buffer.
constexpr std::size_t kDirectWrite = 1 << 16;

}  // namespace

std::string system_reason(int error_number) { return write_error_text(error_number); }

void create_result_folder(const std::filesystem::path& dir) {
    if (::mkdir(dir.c_str(), 0777) == 0) return;
    const int err = errno;
    struct stat st {};
    if (err == EEXIST && ::stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return;
        throw ResultError{dir.string(), "eine Datei dieses Namens ist vorhanden", true, true};
    }
    throw ResultError{dir.string(), system_reason(err), true, true};
}

void check_creatable(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    struct stat st {};
    auto fail = [&](int err) { throw ResultError{path.string(), system_reason(err), true}; };
    if (::stat(folder.c_str(), &st) != 0) fail(errno);
    if (!S_ISDIR(st.st_mode)) fail(ENOTDIR);
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) fail(EISDIR);
    if (::access(exists ? path.c_str() : folder.c_str(), W_OK) != 0) fail(errno);
}

FileIdentity file_identity(const std::filesystem::path& path) {
    FileIdentity id;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
    }
    std::error_code ec;
    id.canonical = std::filesystem::weakly_canonical(path, ec);
    if (ec) id.canonical.clear();  // compares unequal to every name but its own failure
    return id;
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists) return a.device == b.device && a.inode == b.inode;
    return !a.canonical.empty() && a.canonical == b.canonical;
}

OutputFile::~OutputFile() { abandon(); }

void OutputFile::create(const std::filesystem::path& path) {
    abandon();
    name_ = path.string();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw ResultError{name_, system_reason(errno), true};
}

void OutputFile::write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() < kDirectWrite) {
        buffer_.append(bytes);
        return;
    }
    flush();
    write_all(bytes.data(), bytes.size());
}

void OutputFile::flush() {
    if (buffer_.empty()) return;
    write_all(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void OutputFile::close() {
    if (fd_ < 0) return;
    flush();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(errno);
}

void OutputFile::abandon() noexcept {
    buffer_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void OutputFile::write_all(const char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd_, data, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        data += done;
        n -= static_cast<std::size_t>(done);
    }
}

void OutputFile::fail(int error_number) const { throw ResultError{name_, system_reason(error_number), false}; }

}  // namespace gruv
