// Files of the result outputs: a buffered POSIX file that reports every
// failure with the file's name and the system's reason in German, and the
// creation of the folders the outputs go into.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace gruv {

//! A result file that could not be created or written.
struct ResultError {
    std::string file;     //!< the file or folder, as the user named it
    std::string reason;   //!< the system's reason, in German
    bool creating;        //!< true while the file was being created
    bool folder = false;  //!< a folder, not a file
};

//! The German text of a system error number (errno).
std::string system_reason(int error_number);

//! Creates the folder dir unless it exists; its parent must exist.
//! Throws ResultError.
void create_result_folder(const std::filesystem::path& dir);

//! Checks, without touching it, that the file path can be created or
//! replaced: its folder exists and may be written. Throws ResultError.
void check_creatable(const std::filesystem::path& path);

//! What names a file, looked up once for many comparisons.
struct FileIdentity {
    bool exists = false;
    std::uintmax_t device = 0, inode = 0;  //!< of an existing file
    std::filesystem::path canonical;       //!< the name with its folders resolved
};
FileIdentity file_identity(const std::filesystem::path& path);
//! The two names lead to the same file (or would, once it exists).
bool same_file(const FileIdentity& a, const FileIdentity& b);

//! A file written from its start: bytes collect in a buffer and go to the
//! system at flush(), or at once when a block is large.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    //! Creates (or truncates) the file. Throws ResultError.
    void create(const std::filesystem::path& path);
    bool is_open() const { return fd_ >= 0; }
    const std::string& name() const { return name_; }
    //! Appends bytes. Throws ResultError.
    void write(std::string_view bytes);
    void write(const void* data, std::size_t n) { write(std::string_view(static_cast<const char*>(data), n)); }
    //! Hands the buffer to the system. Throws ResultError.
    void flush();
    //! Flushes and closes. Throws ResultError.
    void close();
    //! Closes without reporting (a run that already failed).
    void abandon() noexcept;

private:
    void write_all(const char* data, std::size_t n);
    [[noreturn]] void fail(int error_number) const;

    int fd_ = -1;
    std::string name_;
    std::string buffer_;
};

}  // namespace gruv
