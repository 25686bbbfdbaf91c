// Result files for other tools, chosen on the command line: the fields in a
// NetCDF file (Python, QGIS) and in ParaView files, CSV tables for
// spreadsheets and scripts. They are written beside the fixed files of the deck and never
// change those.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "state/model.hpp"

namespace gruv {

//! Where the result files for other tools go; an empty name writes none.
struct ResultPaths {
    std::string netcdf_file;  //!< NetCDF file of the fields (--netcdf)
    std::string vtk_dir;      //!< folder of the ParaView files (--vtk)
    std::string csv_dir;      //!< folder of the CSV tables (--csv)
};

//! The solve a step has just finished.
enum class Solve { Flow, Heat };

//! The result files of one run. The main program calls it at the start, at
//! every observation record, solve, time step and printout, and at the end.
//! A file that cannot be created or written stops the run with kExitWrite
//! after a message on the console and the listing.
class ResultFiles {
public:
    explicit ResultFiles(ResultPaths paths);
    ~ResultFiles();
    ResultFiles(const ResultFiles&) = delete;
    ResultFiles& operator=(const ResultFiles&) = delete;

    //! Before the deck is read: the folders, and whether the files can be created.
    void open(Model& m);
    //! After the start-up, before the first step: the files (none may take
    //! the name of a file of the run), their headers and the initial state.
    void start(Model& m);
    //! After each record of the observation file.
    void observation(Model& m);
    //! After a flow or heat solve of the step in progress.
    void solved(Model& m, Solve which);
    //! After each time step, once the simulated time has advanced.
    void step_done(Model& m, int32_t step);
    //! At the start of each printout of the listing: the fields go to the
    //! writer, which writes them while the run prints its tables and writes
    //! its restart and isoline files (none of which changes a field). A
    //! failure here is reported by printout, after the fixed files.
    void printout_fields(const Model& m);
    //! At the end of each printout of the listing, once the energy balance
    //! is made: the tables, and the fields unless printout_fields took them.
    void printout(Model& m);
    //! Before the closing message of a run that ends well: the end state,
    //! unless the last printout showed it.
    void end(Model& m);
    //! Waits until the files written in the background hold everything
    //! handed to them so far (before the run waits for the user); a failure
    //! shows at the next call.
    void complete() noexcept;
    //! Closes every file at the end of the run and returns the exit status:
    //! status, or kExitWrite when a result file failed in a run that would
    //! have ended well.
    int close(Model& m, int status) noexcept;

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace gruv
