// Simulation control: the run header and trace services, simulated and
// wall-clock time, the restart file, the control cards and the main program.
#pragma once
#include <cstdint>
#include <string>

#include "results/results.hpp"
#include "state/model.hpp"

namespace gruv {

// Run header and interface weights -------------------------------------------
//! HEADER: the block-letter banner on the console (1) or the listing (6).
void HEADER(Model& m, int32_t IUNIT);
//! INFINT: interface weights GEWX, GEWY, GEWZ of the grid.
void INFINT(Model& m);

// Time ------------------------------------------------------------------------
//! Time of day in hundredths of a second since midnight.
int32_t clock_hundredths();
//! ZEITBE: elapsed simulated time as a table heading (IUNIT > 1) or the console progress line (1).
void ZEITBE(Model& m, int32_t IUNIT);
//! ZEITCL: closes the computing-time accounting and prints the total.
void ZEITCL(Model& m);
//! Adds the wall-clock time since IUHR to RECHZT (one midnight wrap corrected).
void account_clock(Model& m, bool reset_reference);

// Restart file ----------------------------------------------------------------
//! WARMOU: writes the current temperatures, heads and velocities to "GRUVWS".
void WARMOU(Model& m);
//! WARMIN: reads temperatures and heads from "GRUVWS" as the initial state.
void WARMIN(Model& m);

// Control cards and main program ------------------------------------------------
//! What the command line may change: the name of the main input file and
//! the result files for other tools.
struct RunOptions {
    std::string input_file = "GRUVAT";  //!< main input file tried first
    ResultPaths results;                //!< result files for other tools (none by default)
};
//! INFORM: units, banner, control cards 1 to 17f, derived values, input summary.
void INFORM(Model& m, const RunOptions& options);
//! GRUV3D: one simulation from the control cards to the closing message;
//! returns the exit status.
int GRUV3D(Model& m, const RunOptions& options);

}  // namespace gruv
