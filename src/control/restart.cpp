// Restart file "GRUVWS": the temperatures, heads and (coupled runs) velocities
// of a run as plain text, one section per field, row by row, so that a later
// run on the same grid can start from this state.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/control.hpp"
#include "records/records.hpp"
#include "state/stop.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

constexpr const char* kRestartFile = "GRUVWS";
//! The new state is written here first and then renamed over GRUVWS, so the
//! file of that name always holds one complete state, old or new.
constexpr const char* kRestartScratch = "GRUVWS.neu";
constexpr int32_t kRestartUnit = 9;

// Row formats of the sections: ten values per line; a row of a multiple of
// ten values is followed by an empty line.
const FormatProgram& temperature_rows() { return fixed_format("(50(10F8.3/))"); }
const FormatProgram& head_rows() { return fixed_format("(50(10F8.2/))"); }
const FormatProgram& velocity_rows() { return fixed_format("(50(10(1PE9.2)/))"); }

//! Collects the records of the restart file in memory.
class RecordBuffer final : public RecordSink {
public:
    void put_record(std::string_view text) override {
        text_.append(text);
        text_.push_back('\n');
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

//! Writes text to the scratch file, forces it to the disk and renames it over
//! path. False, with the scratch file removed, when any step fails; path is
//! then untouched.
bool replace_file(const char* path, const char* scratch, std::string_view text) {
    const int fd = ::open(scratch, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && std::rename(scratch, path) != 0) ok = false;
    if (!ok) {
        ::unlink(scratch);
        return false;
    }
    // Make the rename itself durable; a directory that refuses this still
    // holds a complete file under either name.
    const int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

//! Ends the run after a restart file that cannot be read.
[[noreturn]] void restart_read_failed(Model& m, ReadOutcome outcome) {
    m.io.close(kRestartUnit);
    write_list(m.io.console(), outcome == ReadOutcome::End ? "Unerwartet das Ende der Datei GRUVWS erreicht"
                                                           : "Fehler in der Datenstruktur der Datei GRUVWS");
    stop_run(m, kExitInput);
}

}  // namespace

void WARMOU(Model& m) {
    if (m.inf2.IBILD > 0) ROUTIN(m, "WARMOU");
    const auto& d = m.ndim;
    const int32_t mode = m.inf4.IMODE;
    RecordBuffer file;

    if (mode <= 1) {
        std::array<double, IX> row{};  // degrees Celsius
        for (int k = 1; k <= d.NZ; ++k)
            for (int j = 1; j <= d.NY; ++j) {
                const double* T = m.temp.TEMP.row(j, k);
                for (int i = 0; i < d.NX; ++i) row[static_cast<std::size_t>(i)] = T[i] - 273.15;
                write(file, temperature_rows(), out_array(row.data(), d.NX));
            }
    }
    if (mode >= 1) {
        for (int k = 1; k <= d.NZ; ++k)
            for (int j = 1; j <= d.NY; ++j) write(file, head_rows(), out_array(m.wpot.WPOT.row(j, k), d.NX));
    }
    if (mode == 1) {
        for (const NodeArray<float>* V : {&m.phys.GWVX, &m.phys.GWVY, &m.phys.GWVZ})
            for (int k = 1; k <= d.NZ; ++k)
                for (int j = 1; j <= d.NY; ++j) write(file, velocity_rows(), out_array(V->row(j, k), d.NX));
    }

    if (!replace_file(kRestartFile, kRestartScratch, file.text())) {
        // The previous restart state stays as it was; the run goes on.
        constexpr std::string_view text = "Datei GRUVWS konnte nicht geschrieben werden - alter Stand bleibt erhalten";
        write_list(m.io.console(), text);
        if (m.inf2.IOUT != 1 && m.io.is_open(m.inf2.IOUT)) write_list(m.io.unit(m.inf2.IOUT), text);
    }
}

void WARMIN(Model& m) {
    if (m.inf2.IBILD > 0) ROUTIN(m, "WARMIN");
    if (!m.io.open_input(kRestartUnit, m.io.find_input(kRestartFile))) {
        write_list(m.io.console(), "Datei GRUVWS nicht verhanden - Simulation abgebrochen");
        stop_run(m, kExitInput);
    }
    InputUnit& in = m.io.input(kRestartUnit);
    const auto& d = m.ndim;
    const int32_t mode = m.inf4.IMODE;

    if (mode <= 1) {
        for (int k = 1; k <= d.NZ; ++k)
            for (int j = 1; j <= d.NY; ++j) {
                double* T = m.temp.TEMP.row(j, k);
                const ReadOutcome r = read(in, temperature_rows(), in_array(T, d.NX));
                if (r != ReadOutcome::Ok) restart_read_failed(m, r);
                for (int i = 0; i < d.NX; ++i) T[i] = T[i] + 273.15;
            }
    }
    if (mode >= 1) {
        for (int k = 1; k <= d.NZ; ++k)
            for (int j = 1; j <= d.NY; ++j) {
                const ReadOutcome r = read(in, head_rows(), in_array(m.wpot.WPOT.row(j, k), d.NX));
                if (r != ReadOutcome::Ok) restart_read_failed(m, r);
            }
    }
    // The velocity sections are not read: the run computes them again.
    m.io.close(kRestartUnit);
}

}  // namespace gruv
