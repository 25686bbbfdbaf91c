// CSV tables of a run for spreadsheets and scripts: the observation series,
// the energy balance at the printouts and the solver effort of every step.
// RFC 4180 (CRLF line ends, fields with commas or quotes quoted), numbers in
// their shortest round-trip form with a dot as decimal separator.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results/output_file.hpp"
#include "state/model.hpp"

namespace gruv {

//! One CSV record under construction.
class CsvRow {
public:
    CsvRow& operator<<(double v);
    CsvRow& operator<<(float v);
    CsvRow& operator<<(int32_t v);
    //! A text field, quoted when it holds a comma, a quote or a line end.
    CsvRow& operator<<(std::string_view text);
    //! An empty field (a value the run does not have at this time).
    CsvRow& empty();
    //! The record with its CRLF line end.
    std::string_view line();

private:
    void separate();
    std::string text_;
    bool first_ = true;
};

//! Sweeps and final error of the solves of one time step.
struct StepSolves {
    float DELT = 0.0f;         //!< step length of the step [s]
    int32_t flow_sweeps = 0;   //!< sweeps of the flow solve
    float flow_error = 0.0f;   //!< iteration error of its last sweep [m]
    int32_t heat_sweeps = 0;   //!< sweeps of the heat solve
    float heat_error = 0.0f;   //!< iteration error of its last sweep [K]
};

//! The CSV tables of one run in one folder.
class CsvTables {
public:
    //! Creates the folder. Throws ResultError.
    void open(const std::filesystem::path& dir);
    //! The files the tables may take.
    std::vector<std::filesystem::path> files() const;
    //! Creates the tables of the run with their headers, once the deck is
    //! read and the start-up done, and removes those of an earlier run in the
    //! folder that this run does not write. Throws ResultError.
    void start(Model& m);
    //! A row of observations.csv (after each record of the observation file).
    void observation(Model& m);
    //! A row of solver.csv: the step, the simulated time at its end [s] and its solves.
    void step(const Model& m, int32_t step, float time, const StepSolves& solves);
    //! A row of energy.csv; heat_set_up is false until the heat equation
    //! has been assembled once (the heat flow to the exchangers needs it).
    void energy(Model& m, bool heat_set_up);
    //! Flushes and closes every table. Throws ResultError.
    void close();
    void abandon() noexcept;

private:
    std::filesystem::path dir_;
    OutputFile solver_, energy_, observations_;
    std::optional<double> E_start_, E_last_;  // heat content at the first and the last energy row [J]
};

}  // namespace gruv
