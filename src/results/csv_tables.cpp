// The three CSV tables: columns, rows, and the energy balance computed from
// the state the listing prints, without calling the listing's routines.
#include "results/csv_tables.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <system_error>

#include "flow/properties.hpp"
#include "heat/heat.hpp"
#include "results/run_facts.hpp"

namespace gruv {

namespace {

template <class T>
void append_number(std::string& s, T v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, r.ptr);
}

std::string number_text(float v) {
    std::string s;
    append_number(s, v);
    return s;
}

//! The two time columns every table starts with.
void time_columns(CsvRow& row, const Model& m) {
    row << "time_s" << "time_" + time_unit_word(m.par1.FZEIT);
}

void time_values(CsvRow& row, const Model& m) { row << m.par1.ZEIT << time_in_deck_unit(m); }

void write_row(OutputFile& f, CsvRow& row) {
    f.write(row.line());
    f.flush();  // a table is complete up to its last row when the run stops
}

}  // namespace

void CsvRow::separate() {
    if (!first_) text_ += ',';
    first_ = false;
}

CsvRow& CsvRow::operator<<(double v) {
    separate();
    append_number(text_, v);
    return *this;
}

CsvRow& CsvRow::operator<<(float v) {
    separate();
    append_number(text_, v);
    return *this;
}

CsvRow& CsvRow::operator<<(int32_t v) {
    separate();
    append_number(text_, v);
    return *this;
}

CsvRow& CsvRow::operator<<(std::string_view text) {
    separate();
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        text_ += text;
        return *this;
    }
    text_ += '"';
    for (char c : text) {
        if (c == '"') text_ += '"';
        text_ += c;
    }
    text_ += '"';
    return *this;
}

CsvRow& CsvRow::empty() {
    separate();
    return *this;
}

std::string_view CsvRow::line() {
    text_ += "\r\n";
    return text_;
}

void CsvTables::open(const std::filesystem::path& dir) {
    dir_ = dir;
    create_result_folder(dir);
}

std::vector<std::filesystem::path> CsvTables::files() const {
    return {dir_ / "solver.csv", dir_ / "energy.csv", dir_ / "observations.csv"};
}

void CsvTables::start(Model& m) {
    for (const char* stale : {"energy.csv", "observations.csv"}) {
        std::error_code ec;
        std::filesystem::remove(dir_ / stale, ec);
        if (ec) throw ResultError{(dir_ / stale).string(), system_reason(ec.value()), true};
    }
    solver_.create(dir_ / "solver.csv");
    CsvRow solver;
    solver << "step";
    time_columns(solver, m);
    solver << "dt_s";
    if (computes_flow(m)) solver << "flow_sweeps" << "flow_error_m";
    if (computes_heat(m)) solver << "heat_sweeps" << "heat_error_K";
    write_row(solver_, solver);

    if (computes_heat(m)) {
        energy_.create(dir_ / "energy.csv");
        CsvRow energy;
        time_columns(energy, m);
        energy << "T_min_degC" << "T_max_degC" << "E_total_J" << "dE_since_last_J" << "dE_since_start_J"
               << "Q_exchangers_W";
        write_row(energy_, energy);
    }

    const auto& b = m.inf4;
    if (b.NBEOB > 0) {
        observations_.create(dir_ / "observations.csv");
        CsvRow head;
        time_columns(head, m);
        const auto& g = m.gitt;
        for (int32_t n = 1; n <= b.NBEOB; ++n) {
            const int32_t i = b.IBEOB(n), j = b.JBEOB(n), k = b.KBEOB(n);
            const std::string node = "(" + std::to_string(i) + "," + std::to_string(j) + "," + std::to_string(k) +
                                     ") x=" + number_text(g.KORX(i)) + " y=" + number_text(g.KORY(j)) +
                                     " z=" + number_text(g.KORZ(k)) + " m";
            if (computes_heat(m)) head << "T" + node + " [degC]";
            if (computes_flow(m)) head << "H" + node + " [m]";
        }
        write_row(observations_, head);
    }
}

void CsvTables::observation(Model& m) {
    if (!observations_.is_open()) return;
    const auto& b = m.inf4;
    CsvRow row;
    time_values(row, m);
    for (int32_t n = 1; n <= b.NBEOB; ++n) {
        const int32_t i = b.IBEOB(n), j = b.JBEOB(n), k = b.KBEOB(n);
        if (computes_heat(m)) row << CELS(m.temp.TEMP(i, j, k));
        if (computes_flow(m)) row << m.wpot.WPOT(i, j, k);
    }
    write_row(observations_, row);
}

void CsvTables::step(const Model& m, int32_t step, float time, const StepSolves& solves) {
    CsvRow row;
    row << step << time << time / m.par1.FZEIT << solves.DELT;
    if (computes_flow(m)) row << solves.flow_sweeps << solves.flow_error;
    if (computes_heat(m)) row << solves.heat_sweeps << solves.heat_error;
    write_row(solver_, row);
}

void CsvTables::energy(Model& m, bool heat_set_up) {
    if (!energy_.is_open()) return;
    const auto& d = m.ndim;
    const float spkons = m.par2.SPKONS;
    double T_min = std::numeric_limits<double>::infinity();
    double T_max = -T_min;
    for (int32_t k = 1; k <= d.NZ; ++k)
        for (int32_t j = 1; j <= d.NY; ++j)
            for (int32_t i = 1; i <= d.NX; ++i) {
                if (m.phys.CPGE(i, j, k) >= spkons) continue;  // taken out of the heat transport
                const double T = m.temp.TEMP(i, j, k);
                T_min = std::min(T_min, T);
                T_max = std::max(T_max, T);
            }
    CsvRow row;
    time_values(row, m);
    if (T_min <= T_max) {
        row << CELS(T_min) << CELS(T_max);
    } else {
        row.empty().empty();
    }
    const double E = heat_content(m);
    if (!E_start_) E_start_ = E;
    row << E << (E_last_ ? E - *E_last_ : 0.0) << E - *E_start_;
    E_last_ = E;
    if (heat_set_up) {
        row << exchanger_heat_flow(m);
    } else {
        row.empty();
    }
    write_row(energy_, row);
}

void CsvTables::close() {
    solver_.close();
    energy_.close();
    observations_.close();
}

void CsvTables::abandon() noexcept {
    solver_.abandon();
    energy_.abandon();
    observations_.abandon();
}

}  // namespace gruv
