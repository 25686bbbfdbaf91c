// Deck check: the whole deck and every file it names read as a run reads
// them, nothing computed and nothing written; every finding reported with
// its file, line and columns, not only the first.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "control/control.hpp"
#include "records/card_reader.hpp"

namespace gruv {

enum class Severity {
    Error,    //!< a run would stop on it
    Warning,  //!< reads legally, but is almost certainly a mistake
};

//! One finding as the report shows it.
struct CheckFinding {
    Severity severity = Severity::Error;
    Finding finding;         //!< message records and place
    int64_t more = 0;        //!< further findings of the same kind, not shown
    int64_t more_until = 0;  //!< line of the last of them
};

//! What a check found.
struct CheckReport {
    std::string deck;                   //!< the main input file checked
    std::vector<CheckFinding> findings; //!< in the order of the files and lines
    int64_t errors = 0;                 //!< errors found (also those not shown)
    int64_t warnings = 0;               //!< warnings found (also those not shown)

    //! Exit status of the check: 0 without errors (warnings allowed), 1 with.
    int status() const;
};

//! Checks the deck of `options` and the files it names (additional data
//! file, restart file when it is to be read), on a model that has not run.
CheckReport check_deck(Model& m, const RunOptions& options);

//! Writes the report: each finding as its message and its location line,
//! then the summary line " N Fehler, M Warnungen".
void write_check_report(OutputUnit& u, const CheckReport& report);

}  // namespace gruv
