// Ending a run. A routine that finds a problem writes its message and then
// ends the run through stop_run; main unwinds to its top, flushes every unit
// and returns the status as the exit status of the program.
#pragma once
#include <string_view>

namespace gruv {

struct Model;

//! Exit status of the program.
enum ExitStatus : int {
    kExitNormal = 0,     //!< normal end, steady-state end, end of the additional data file
    kExitInput = 1,      //!< a bad deck or a missing or damaged file
    kExitAborted = 2,    //!< a computation stopped (Peclet test, diverging solve)
    kExitInternal = 3,   //!< an internal error of the program
    kExitWrite = 4,      //!< a result file could not be written completely
};

//! Thrown by stop_run; carries the exit status to main.
struct RunStopped {
    int status;
};

//! Ends the run with the given status. A non-empty stop text is written to
//! the console as a record of its own first.
[[noreturn]] void stop_run(Model& m, int status, std::string_view stop_text = {});

}  // namespace gruv
