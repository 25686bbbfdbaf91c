// Simulation control: the run header and trace services, simulated and
// wall-clock time, the restart file, the control cards and the main program.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
//! Removes, with a note on the console, a "GRUVWS.neu" that a run killed
//! while writing its restart file has left behind.
void remove_restart_leftover(Model& m);

// Files of a run ----------------------------------------------------------------
//! One file a run reads or writes, for the checks of its name.
struct RunFile {
    std::string role;      //!< what the file is to the run, as messages name it ("Ausgabedatei")
    std::string name;      //!< its name as the run opens it
    bool written = false;  //!< the run creates or overwrites it
    int32_t item = -1;     //!< position of the name among the values of card 5, or -1
    int fd = -1;           //!< an open descriptor that stands for the file (standard output), or -1
    std::string option;    //!< the command-line option that named it ("--csv"), or empty
};
//! Two files of a run that are one file.
struct FileConflict {
    std::string message;  //!< "<later> ist dieselbe Datei wie die <earlier>"; empty when there is none
    int32_t item = -1;    //!< card-5 position of the later file's name, else the earlier's, else -1
    std::string option;   //!< the option that named the later file, else the earlier, else empty
};
//! True for a name that leads out of the working directory: an absolute
//! name or one with a ".." component.
bool leaves_working_directory(std::string_view name);
//! The first two files of the list that are one file while the run writes
//! one of them. Names are compared as files: device and inode where the file
//! exists, the normalised path otherwise.
FileConflict file_conflict(const std::vector<RunFile>& files);
//! The result files for other tools a run writes under fixed names: the
//! NetCDF file, the ParaView collection and property grid, the tables (the
//! energy table only when it computes heat, the observation table only with
//! observation nodes).
std::vector<RunFile> result_files(const ResultPaths& paths, bool heat, bool observations);

// Control cards and main program ------------------------------------------------
//! Bounds a run can be given by a program that runs many decks in one process
//! (the fuzzing harness); 0 leaves a quantity as the deck gives it.
struct RunLimits {
    int32_t steps = 0;   //!< time steps NZSCHR of card 7 above this are cut to it
    int32_t sweeps = 0;  //!< solver sweeps ITMAX of card 7 above this are cut to it
    int32_t nodes = 0;   //!< a grid of more nodes NX*NY*NZ is refused at card 17
};

//! What the command line may change: the name of the main input file and
//! the result files for other tools.
struct RunOptions {
    std::string input_file = "GRUVAT";  //!< main input file tried first
    ResultPaths results;                //!< result files for other tools (none by default)
    bool check = false;                 //!< check the deck and the files it names instead of a run
    RunLimits limits;                   //!< none from the command line
};
//! The values a run starts from before it reads its deck.
void preset_state(Model& m);
//! Why the time loop of a deck cannot run, as the run says before it:
//! no field input (IEINGA < 0), no positive interval length (NZINT, I6),
//! and steps grown beyond any simulated time (the step, I6).
const FormatProgram& no_field_input_reason();
const FormatProgram& no_interval_reason();
const FormatProgram& infinite_time_reason();
//! INFORM: units, banner, control cards 1 to 17f, derived values, input summary.
void INFORM(Model& m, const RunOptions& options);
//! GRUV3D: one simulation from the control cards to the closing message;
//! returns the exit status.
int GRUV3D(Model& m, const RunOptions& options);

}  // namespace gruv
