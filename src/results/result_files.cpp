// The result files of a run: when each output is written, and how a failure
// of one ends the run.
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records/records.hpp"
#include "results/background_writer.hpp"
#include "results/csv_tables.hpp"
#include "results/netcdf_file.hpp"
#include "results/node_fields.hpp"
#include "results/output_file.hpp"
#include "results/results.hpp"
#include "results/run_facts.hpp"
#include "results/vtk_files.hpp"
#include "state/stop.hpp"

namespace gruv {

namespace {

//! The message of a failed result file on the console and, once it is open,
//! on the listing.
void report(Model& m, const ResultError& e) {
    static const FormatProgram& aborted = fixed_format("(T16,' Berechnung vorzeitig abgebrochen')");
    const std::string text = std::string(e.folder ? " Verzeichnis " : " Datei ") + e.file + " konnte nicht " +
                             (e.creating ? "angelegt" : "geschrieben") + " werden: " + e.reason;
    const bool listing = m.inf2.IOUT > 1 && m.io.is_open(m.inf2.IOUT);
    m.io.console().put_record(text);
    write(m.io.console(), aborted);
    if (listing) {
        m.io.unit(m.inf2.IOUT).put_record(text);
        write(m.io.unit(m.inf2.IOUT), aborted);
    }
}

//! The files of the run that the deck names or that have fixed names.
std::vector<std::filesystem::path> run_files(const Model& m) {
    std::vector<std::filesystem::path> files{m.run.deck};
    if (m.inf2.IOUT != 1) files.emplace_back(m.run.listing);
    if (m.inf4.NBEOB > 0) files.emplace_back(m.run.observation_file);
    if (m.inf3.IZUSAT == 1) files.emplace_back(m.run.additional_file);
    if (m.inf4.IWARMI == 1 || m.inf4.IWARMO == 1) {
        files.emplace_back("GRUVWS");
        files.emplace_back("GRUVWS.neu");
    }
    const int32_t on[3] = {m.isop.ISOYZ, m.isop.ISOXZ, m.isop.ISOXY};
    static const char* const temperature[3] = {"TEMPYZ", "TEMPXZ", "TEMPXY"};
    static const char* const head[3] = {"PIEZYZ", "PIEZXZ", "PIEZXY"};
    for (int n = 0; n < 3; ++n) {
        if (on[n] != 1) continue;
        if (computes_heat(m)) files.emplace_back(temperature[n]);
        if (computes_flow(m)) files.emplace_back(head[n]);
    }
    return files;
}

}  // namespace

struct ResultFiles::State {
    ResultPaths paths;
    std::optional<NetcdfFile> netcdf;
    std::optional<VtkCollection> vtk;
    std::optional<CsvTables> csv;
    bool started = false;        // the start-up state has been written
    bool failed = false;         // a result file failed: nothing more is written
    int32_t steps = 0;           // time steps done
    int32_t shown_step = -1;     // the step whose state the last snapshot shows
    StepSolves solves;           // the solves of the step in progress
    bool solve_pending = false;  // the step in progress has solved but not ended
    std::vector<NodeField> state;  // state_fields, then velocity_fields: gathered at every snapshot
    // Writes the NetCDF and ParaView files while the run goes on; declared
    // last, so that it is done with them before they go.
    BackgroundWriter writer;

    bool active() const { return !failed && any(); }
    bool any() const { return netcdf.has_value() || vtk.has_value() || csv.has_value(); }

    //! Runs one writing step; a failure, of this step or of the writer's
    //! work so far, is reported and stops the run.
    template <class Step>
    void guarded(Model& m, Step&& step) {
        if (!active()) return;
        try {
            step();
            writer.rethrow_failure();
        } catch (const ResultError& e) {
            failed = true;
            report(m, e);
            stop_run(m, kExitWrite);
        }
    }

    //! The state at the start, a printout or the end.
    void snapshot(Model& m) {
        post_fields(m);
        tables_row(m);
    }

    //! The fields of the state, gathered once, now, and handed to the
    //! writer for both files.
    void post_fields(const Model& m) {
        if (!netcdf && !vtk) return;
        const std::vector<GatheredField> values = gather_fields(state, m.ndim);
        if (netcdf) netcdf->snapshot(steps, m.par1.ZEIT, values);
        if (vtk) vtk->snapshot(steps, m.par1.ZEIT, values);
    }

    //! The energy row of a snapshot, once the balance is made.
    void tables_row(Model& m) {
        // The heat flow to the exchangers needs the heat equation assembled:
        // at the start only a heat-only run has done that.
        if (csv) csv->energy(m, m.inf4.IMODE == 0 || steps > 0);
        shown_step = steps;
    }

    bool fields_posted = false;  // printout_fields has handed over this printout's fields
    std::exception_ptr held;     // what failed there, reported at the end of the printout

    //! The state at the end, unless the last snapshot showed it.
    void end_snapshot(Model& m) {
        if (started && m.inf1.IEINGA >= 0 && shown_step != steps) snapshot(m);
    }

    void step_row(const Model& m, int32_t step, float time) {
        if (csv) csv->step(m, step, time, solves);
        solve_pending = false;
    }

    void close_all() {
        if (netcdf) netcdf->close();
        writer.finish();
        if (csv) csv->close();
    }

    void abandon_all() noexcept {
        writer.wait();
        if (netcdf) netcdf->abandon();
        if (csv) csv->abandon();
    }
};

ResultFiles::ResultFiles(ResultPaths paths) : s_(std::make_unique<State>()) {
    s_->paths = std::move(paths);
    if (!s_->paths.netcdf_file.empty()) s_->netcdf.emplace(s_->writer);
    if (!s_->paths.vtk_dir.empty()) s_->vtk.emplace(s_->writer);
    if (!s_->paths.csv_dir.empty()) s_->csv.emplace();
}

ResultFiles::~ResultFiles() { s_->abandon_all(); }

void ResultFiles::open(Model& m) {
    s_->guarded(m, [&] {
        if (s_->netcdf) s_->netcdf->open(s_->paths.netcdf_file);
        if (s_->vtk) s_->vtk->open(s_->paths.vtk_dir);
        if (s_->csv) s_->csv->open(s_->paths.csv_dir);
    });
}

void ResultFiles::start(Model& m) {
    s_->guarded(m, [&] {
        // A result file must not take the place of a file of the run (the
        // deck, the restart file, ...): refused before anything is written.
        std::vector<std::filesystem::path> results;
        if (s_->netcdf) results.emplace_back(s_->paths.netcdf_file);
        if (s_->vtk)
            for (auto& f : s_->vtk->files()) results.push_back(f);
        if (s_->csv)
            for (auto& f : s_->csv->files()) results.push_back(f);
        std::vector<FileIdentity> own;
        for (const auto& f : run_files(m)) own.push_back(file_identity(f));
        for (const auto& r : results) {
            const FileIdentity id = file_identity(r);
            for (const FileIdentity& o : own)
                if (same_file(id, o)) throw ResultError{r.string(), "ist schon eine Datei dieses Laufs", true};
        }
        // Without field input there is no grid and no state to show.
        if ((s_->netcdf || s_->vtk) && m.inf1.IEINGA >= 0) {
            s_->state = state_fields(m);
            for (NodeField& f : velocity_fields(m)) s_->state.push_back(std::move(f));
            const std::vector<GatheredField> fixed = gather_fields(fixed_fields(m), m.ndim);
            if (s_->netcdf) s_->netcdf->start(m, fixed);
            if (s_->vtk) s_->vtk->start(m, fixed);
        }
        if (s_->csv) s_->csv->start(m);
        if (m.inf1.IEINGA >= 0) s_->snapshot(m);
        s_->started = true;
    });
}

void ResultFiles::observation(Model& m) {
    s_->guarded(m, [&] {
        if (s_->csv) s_->csv->observation(m);
    });
}

void ResultFiles::solved(Model& m, Solve which) {
    if (!s_->active()) return;
    StepSolves& v = s_->solves;
    v.DELT = m.par1.DELT;
    if (which == Solve::Flow) {
        v.flow_sweeps = m.inf2.NIT;
        v.flow_error = m.par1.FEHLER;
    } else {
        v.heat_sweeps = m.inf2.NIT;
        v.heat_error = m.par1.FEHLER;
    }
    s_->solve_pending = true;
}

void ResultFiles::step_done(Model& m, int32_t step) {
    s_->guarded(m, [&] {
        s_->steps = step;
        s_->step_row(m, step, m.par1.ZEIT);
    });
}

void ResultFiles::printout_fields(const Model& m) {
    if (!s_->active()) return;
    try {
        s_->post_fields(m);
        s_->fields_posted = true;
    } catch (const ResultError&) {
        s_->held = std::current_exception();
    }
}

void ResultFiles::printout(Model& m) {
    s_->guarded(m, [&] {
        if (s_->held) std::rethrow_exception(std::exchange(s_->held, nullptr));
        if (!std::exchange(s_->fields_posted, false)) s_->post_fields(m);
        s_->tables_row(m);
    });
}

void ResultFiles::end(Model& m) {
    s_->guarded(m, [&] { s_->end_snapshot(m); });
}

void ResultFiles::complete() noexcept { s_->writer.wait(); }

int ResultFiles::close(Model& m, int status) noexcept {
    State& s = *s_;
    if (!s.any()) return status;
    if (s.failed) {
        s.abandon_all();
        return status;
    }
    try {
        try {
            // A failure held for the end of a printout that the run did not
            // reach (another file of the run failed there) is reported too.
            if (s.held) std::rethrow_exception(std::exchange(s.held, nullptr));
            if (status == kExitNormal) {
                // A run that ended well outside the main loop (the end of the
                // additional data file) still gets its end state.
                s.end_snapshot(m);
            } else if (s.solve_pending) {
                // The step that stopped the run (a diverging solve) is shown
                // with the sweeps and the error that stopped it, at the time
                // it would have reached.
                s.step_row(m, s.steps + 1, m.par1.ZEIT + s.solves.DELT);
            }
            s.close_all();
        } catch (const ResultError& e) {
            s.failed = true;
            s.abandon_all();
            report(m, e);
            return status == kExitNormal ? kExitWrite : status;
        }
    } catch (const std::exception&) {
        s.abandon_all();
        return status == kExitNormal ? kExitInternal : status;
    }
    return status;
}

}  // namespace gruv
