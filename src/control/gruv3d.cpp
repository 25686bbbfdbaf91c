// The main program: start-up, the time loop of intervals and steps, the
// printouts and the end of the run.
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "control/control.hpp"
#include "flow/flow.hpp"
#include "heat/heat.hpp"
#include "input/input.hpp"
#include "output/output.hpp"
#include "parallel/work_team.hpp"
#include "records/records.hpp"
#include "records/units.hpp"
#include "results/results.hpp"
#include "schedule/schedule.hpp"
#include "state/stop.hpp"

namespace gruv {

namespace {

//! The main program's own counters.
struct LoopState {
    int32_t NSCHR = 0;    //!< steps since the last periodic printout
    int32_t NZUSCH = 0;   //!< steps since the last reading of the additional data file
    int32_t IONOFF = -1;  //!< energy input state: -1 at start, then 1, 0, 1, ...
    int32_t IZANF = 0;    //!< 0 until the head of the additional data file is read
    int32_t NINTER = 0;   //!< intervals of the run
    int32_t step = 0;     //!< time step in progress, counted from the start of the run
    ResultFiles* results = nullptr;  //!< result files for other tools
};

}  // namespace

void preset_state(Model& m) {
    m.ekal.EALT = 0.0;
    m.ekal.EANF = 0.0;
    m.isop.ISOANF = 0;
    m.inf4.IZTEST = 0;
    m.inf2.NIT = 0;
    m.inf3.NUMW = 0;
    m.par2.RECHZT = 0.0f;
    m.par2.SPKONS = 1.0E30f;
    m.par1.ZEIT = 0.0f;
    m.par2.LEERW = -99.9f;
    m.inf2.IERST = 1;
}

const FormatProgram& no_field_input_reason() {
    static const FormatProgram& f = fixed_format(
        "(/,T16,' Ohne Feldeingabe (IEINGA < 0) kann kein Zeitschritt berechnet werden (Karte 7)')");
    return f;
}

const FormatProgram& no_interval_reason() {
    static const FormatProgram& f = fixed_format(
        "(/,T16,' Zeitschritte pro Intervall NZINT = ',I6,' - mindestens 1 erforderlich (Karte 7)')");
    return f;
}

const FormatProgram& infinite_time_reason() {
    static const FormatProgram& f = fixed_format(
        "(/,T16,' Simulierte Zeit nach Zeitschritt ',I6,' nicht mehr darstellbar',"
        "' - Zeitschrittfaktor ZFAKT zu gross (Karte 7)')");
    return f;
}

namespace {

//! The closing line of every run that ends before its time.
const FormatProgram& aborted_line() {
    static const FormatProgram& f = fixed_format("(T16,' Berechnung vorzeitig abgebrochen')");
    return f;
}

//! Writes a record first on the console, then on the listing.
template <class... Items>
void console_and_listing(Model& m, const FormatProgram& f, const Items&... items) {
    write(m.io.console(), f, items...);
    write(m.io.unit(m.inf2.IOUT), f, items...);
}

//! The place in the deck of value `item` of card 7, as a line for the
//! console and the listing.
void card7_place_line(Model& m, int32_t item) {
    const std::string line = location_line(m.io.kept_place(value_key("7  ", item)));
    if (line.empty()) return;
    m.io.console().put_record(line);
    m.io.unit(m.inf2.IOUT).put_record(line);
}

//! A deck whose time loop cannot run: the reason, the place of the value of
//! card 7 it concerns and the abort line on the console and the listing,
//! then the stop.
template <class... Items>
[[noreturn]] void stop_before_loop(Model& m, int32_t card7_item, const FormatProgram& reason, const Items&... items) {
    console_and_listing(m, reason, items...);
    card7_place_line(m, card7_item);
    console_and_listing(m, aborted_line());
    stop_run(m, kExitInput);
}

void flow_coefficients(Model& m) {
    AUFNUL(m);
    KOEFFH(m);
    QKOEFH(m);
}

void heat_coefficients(Model& m) {
    AUFNUL(m);
    KOEFFT(m, 1, 1, 1, m.ndim.NX, m.ndim.NY, m.ndim.NZ);
    QKOEFT(m);
}

//! A solve whose error is not a finite number has diverged; the run cannot
//! go on with its values.
void stop_if_diverged(Model& m, const char* solver, const LoopState& s) {
    static const FormatProgram& diverged =
        fixed_format("(/,T16,' Iterationsfehler von ',A6,' im Zeitschritt ',I6,' nicht endlich')");
    if (std::isfinite(m.par1.FEHLER)) return;
    console_and_listing(m, diverged, solver, s.step);
    console_and_listing(m, aborted_line());
    ZEITCL(m);
    stop_run(m, kExitAborted);
}

//! The flow or heat solve: point iteration for a positive relaxation
//! factor, line iteration otherwise.
void solve_flow(Model& m, const LoopState& s) {
    const bool point = m.par2.OMEGA > 0.0f;
    point ? ITERAH(m) : IADIST(m);
    s.results->solved(m, Solve::Flow);
    stop_if_diverged(m, point ? "ITERAH" : "IADIST", s);
}

void solve_heat(Model& m, const LoopState& s) {
    const bool point = m.par1.OMEGT > 0.0f;
    point ? ITERAT(m) : IADITP(m);
    s.results->solved(m, Solve::Heat);
    stop_if_diverged(m, point ? "ITERAT" : "IADITP", s);
}

//! The group of calls that makes a printout; WFLUSS gets the steps it covers.
void printout(Model& m, const LoopState& s, int32_t steps) {
    s.results->printout_fields(m);  // written in the background meanwhile
    if (m.inf4.IMODE <= 1) TMPDRU(m);
    if (m.inf4.IMODE >= 1) PIEDRU(m);
    if (m.inf4.IWARMO == 1) WARMOU(m);
    ISODRV(m);
    if (m.inf3.IENERG == 1) {
        ENERGI(m);
        WFLUSS(m, steps);
    }
    s.results->printout(m);
}

//! A record of the observation file, and of the observation table.
void observe(Model& m, const LoopState& s) {
    OBSDAT(m);
    s.results->observation(m);
}

//! The closing line of a run whose last restart file could not be written:
//! the file on disk holds an older state than the run ended with.
const FormatProgram& stale_restart_line() {
    static const FormatProgram& f =
        fixed_format("(T16,' Simulation beendet, aber Datei GRUVWS enthaelt einen veralteten Stand')");
    return f;
}

//! Before the closing lines of a run that has reached its end: every result
//! file but the listing is completed and closed, the tables for other tools
//! too, so that a failure stops the run before anything claims its end. From
//! here on failed writes are only recorded (the tables' own close must not be
//! left by an exception) and reported by finish_run, which then drops the
//! closing lines the console holds back.
void close_for_end(Model& m, const LoopState& s) {
    m.io.close_outputs(m.inf2.IOUT);
    m.io.quiet();
    if (const int status = s.results->close(m, kExitNormal); status != kExitNormal) stop_run(m, status);
    m.io.console().hold();
}

[[noreturn]] void normal_end(Model& m, const LoopState& s) {
    static const FormatProgram& done = fixed_format("(T16,' GRUVELAN-3D Simulation normal beendet')");
    s.results->end(m);
    close_for_end(m, s);
    const bool stale = m.io.restart_stale();
    write(m.io.unit(m.inf2.IOUT), stale ? stale_restart_line() : done);
    write(m.io.console(), stale ? stale_restart_line() : done);
    ZEITCL(m);
    stop_run(m, stale ? kExitWrite : kExitNormal);
}

[[noreturn]] void steady_state_end(Model& m, const LoopState& s) {
    static const FormatProgram& criterion =
        fixed_format("(/,T16,' Abbruchkriterium NIT = 1 und FEHLER < ',F8.6,' erfuellt')");
    printout(m, s, s.NSCHR);
    if (m.inf4.NBEOB > 0) observe(m, s);
    close_for_end(m, s);
    console_and_listing(m, criterion, m.par1.EPST);
    console_and_listing(m, aborted_line());
    ZEITCL(m);
    stop_run(m, kExitNormal);
}

void start_up(Model& m, const RunOptions& options, LoopState& s) {
    preset_state(m);
    INFORM(m, options);
    // Without field input there is no grid: such a deck may show its control
    // cards, but no time step can be computed on it.
    if (m.inf1.IEINGA < 0 && m.inf1.NZSCHR > 0) stop_before_loop(m, 4, no_field_input_reason());  // IEINGA
    const auto& d = m.ndim;
    const int32_t IMODE = m.inf4.IMODE;
    if (m.inf1.IEINGA > 0) DATEIN(m);
    m.inf3.IUHR = clock_hundredths();
    if (m.inf1.IEINGA == 0) {
        KURZIN(m);
        for (int32_t n = 1; n <= m.inf3.NUMW; ++n) UMWAND(m, n, -1);
    }
    // The restart state comes before the first record of the additional data
    // file, so that the record's values act on the state the run starts from.
    if (m.inf4.IWARMI == 1) WARMIN(m);
    if (m.inf3.IZUSAT == 1) ZUSDAT(m, s.IZANF);
    if (IMODE <= 1) KOPIER(m, 1);
    if (IMODE >= 1) KOPIER(m, 2);
    if (m.inf2.KONVEK == 1 && IMODE == 0) VDRUCK(m);
    INFINT(m);
    if (m.inf1.KONTRL == 3) DATAUS(m);
    if (IMODE <= 1 && m.inf2.IPHASE < 3) TAUPKT(m, m.temp.TGEF, m.gitt.KORZ, 1, 1);
    if (m.inf4.IZTEST != 0 && IMODE <= 1) {
        if (m.inf3.IZUSAT == 1) {
            DZTEST(m, m.inf3.NZUSAT);
            m.inf1.NZINT = m.inf1.NZSCHR;
        } else {
            DZTEST(m, m.inf1.NZINT);
        }
    }
    if (m.inf4.IDSTOP != 0 && m.inf2.KONVEK == 1 && IMODE == 0) DKTEST(m);
    if (m.inf1.KONTRL == 2 && m.inf2.KONVEK == 1 && IMODE <= 1) FLUSFL(m, 1, 1, 1, d.NX, d.NY, d.NZ);
    if (m.inf1.KONTRL == 2 && IMODE <= 1) {
        int32_t n = 1;
        PROFIL(m, m.phys.CPGE, m.ifld.IFLG, n);
        PROFIL(m, m.phys.WLKG, m.ifld.IFLG, n);
        PROFIL(m, m.phys.RHOG, m.ifld.IFLG, n);
        PROFIL(m, m.phys.PHIG, m.ifld.IFLG, n);
        PROFIL(m, m.phys.PHIN, m.ifld.IFLG, n);
        PROFIL(m, m.ener.SOUC, m.ifld.IFLG, n);
        PROFIL(m, m.ener.SOUC, m.ifld.IFLG, n);
        PROFIL(m, m.ener.SOUC, m.ifld.IFLU, n);
    }
    if (IMODE <= 1) TMPDRU(m);
    if (IMODE >= 1) PIEDRU(m);

    if (m.inf1.IEINGA >= 0 && IMODE == 0) {  // without field input there is no grid to build on
        heat_coefficients(m);
        if (m.inf3.IENERG == 1) {
            ENERGI(m);
            WFLUSS(m, m.inf2.NAUSG);
        }
    }
    s.IONOFF = 1;
    // The number of intervals (NZINT may have been set by the time-step
    // test); a deck without a positive interval length has none.
    if (m.inf1.NZINT <= 0) stop_before_loop(m, 2, no_interval_reason(), m.inf1.NZINT);  // NZINT
    s.NINTER = m.inf1.NZSCHR / m.inf1.NZINT;
    if (m.inf1.IEINGA >= 0 && IMODE == 2) flow_coefficients(m);
}

//! A step whose end would lie at an infinite simulated time (steps grown
//! without bound) cannot be computed or printed: the run stops before it.
void stop_if_time_infinite(Model& m, const LoopState& s) {
    if (std::isfinite(m.par1.ZEIT + m.par1.DELT)) return;
    console_and_listing(m, infinite_time_reason(), s.step + 1);
    card7_place_line(m, 8);  // ZFAKT
    console_and_listing(m, aborted_line());
    ZEITCL(m);
    stop_run(m, kExitAborted);
}

void time_step(Model& m, LoopState& s) {
    const int32_t IMODE = m.inf4.IMODE;
    const auto& d = m.ndim;
    stop_if_time_infinite(m, s);
    ++s.step;
    if (m.inf4.NBEOB > 0) observe(m, s);
    account_clock(m, true);
    ++s.NSCHR;
    if (m.inf3.IZUSAT == 1 && s.NZUSCH == m.inf3.NZUSAT) {
        ZUSDAT(m, s.IZANF);
        s.NZUSCH = 0;
        if (IMODE == 2) flow_coefficients(m);
        if (IMODE == 0) heat_coefficients(m);
    }
    if (m.inf3.IZUSAT == 1) ++s.NZUSCH;
    if (IMODE == 1) {
        flow_coefficients(m);
        solve_flow(m, s);
        FLIESS(m);
        KOPIER(m, 2);
        heat_coefficients(m);
    }
    if (IMODE == 2) {
        solve_flow(m, s);
        KOPIER(m, 2);
    }
    if (IMODE <= 1) {
        solve_heat(m, s);
        KOPIER(m, 1);
    }
    auto& p1 = m.par1;
    p1.ZEIT += p1.DELT;
    // Growing steps keep the last finite length.
    const float grown = p1.DELT * p1.ZFAKT;
    if (std::isfinite(grown)) p1.DELT = grown;
    if (IMODE == 0) {
        // The storage terms follow the new step length; with phase change or
        // a growing step the whole equation is rebuilt first.
        if (m.inf2.IPHASE > 0 || p1.ZFAKT != 1.0f) KOEFFT(m, 1, 1, 1, d.NX, d.NY, d.NZ);
        QKOEFT(m);
    }
    if (IMODE == 2) QKOEFH(m);
    ZEITBE(m, 1);
    s.results->step_done(m, s.step);
    if (m.inf3.ISTAT == 1 && m.inf2.NIT == 1 && p1.FEHLER < p1.EPST) steady_state_end(m, s);
    if (s.NSCHR == m.inf2.NAUSG) {
        printout(m, s, m.inf2.NAUSG);
        s.NSCHR = 0;
    }
}

void interval_end(Model& m, LoopState& s) {
    static const FormatProgram& stopped = fixed_format("(/,T16,' Energieentzug bzw. Energieeingabe gestoppt')");
    static const FormatProgram& started = fixed_format("(/,T16,' Energieentzug bzw. Energieeingabe gestartet')");
    const int32_t IMODE = m.inf4.IMODE;
    if (m.inf1.NZINT == m.inf1.NZSCHR) {
        if (m.inf4.NBEOB > 0) observe(m, s);
        normal_end(m, s);
    }
    s.IONOFF = std::abs(s.IONOFF - 1);
    for (int32_t n = 1; n <= m.inf3.NUMW; ++n) UMWAND(m, n, s.IONOFF);
    // Sources and flags switched at the interval end act from the next step
    // on, so the equation of the computed quantity is rebuilt at once.
    if (m.inf3.NUMW > 0) {
        if (IMODE == 2) flow_coefficients(m);
        if (IMODE == 0) heat_coefficients(m);
    }
    if (s.NSCHR != 0) printout(m, s, s.NSCHR);
    if (IMODE <= 1) KOPIER(m, 1);
    write(m.io.unit(m.inf2.IOUT), s.IONOFF == 0 ? stopped : started);
    if (m.inf4.NBEOB > 0) observe(m, s);
}

//! Standard error as a record sink: the reports of a console that failed.
class StandardError final : public RecordSink {
public:
    void put_record(std::string_view text) override {
        std::cerr.write(text.data(), static_cast<std::streamsize>(text.size()));
        std::cerr.put('\n');
    }
};

//! The listing while it is a file of its own that still takes records.
OutputUnit* healthy_listing(Model& m) {
    const int32_t IOUT = m.inf2.IOUT;
    if (IOUT == 1 || !m.io.is_open(IOUT) || m.io.failed(IOUT)) return nullptr;
    return &m.io.unit(IOUT);
}

//! Reports every failed write not reported yet, on the console (standard
//! error once the console itself has failed) and on the listing. A failure
//! ends a run that was going to end normally with kExitWrite; an earlier
//! stop keeps its own status.
void report_failures(Model& m, int& status) {
    const std::vector<WriteFailure> failures = m.io.take_failures();
    if (failures.empty()) return;
    m.io.console().discard();  // closing lines held back for a normal end
    StandardError standard_error;
    RecordSink& console = m.io.failed(1) ? static_cast<RecordSink&>(standard_error) : m.io.console();
    OutputUnit* listing = healthy_listing(m);
    for (const WriteFailure& f : failures) {
        const std::string what = f.unit == 1 ? std::string("Standardausgabe") : "Datei " + f.name;
        const std::string text = what + " konnte nicht geschrieben werden: " + write_error_text(f.error);
        write_list(console, text);
        if (listing != nullptr) write_list(*listing, text);
    }
    if (status != kExitNormal && status != kExitWrite) return;
    write(console, aborted_line());
    if (listing != nullptr) write(*listing, aborted_line());
    status = kExitWrite;
}

//! The end of every run: result files closed (the listing last, so that it
//! can still take the reports of the others), failures reported, the held
//! closing lines released, the console flushed. Returns the exit status.
int finish_run(Model& m, int status) {
    Io& io = m.io;
    io.quiet();
    if (status == kExitNormal && io.restart_stale()) {
        if (OutputUnit* listing = healthy_listing(m)) write(*listing, stale_restart_line());
        write(io.console(), stale_restart_line());
        status = kExitWrite;
    }
    report_failures(m, status);
    OutputUnit* listing = healthy_listing(m);
    const int32_t listing_unit = listing != nullptr ? m.inf2.IOUT : 0;
    io.close_outputs(listing_unit);
    report_failures(m, status);
    if (listing_unit != 0) io.close(listing_unit);
    report_failures(m, status);
    io.console().release();
    io.console().flush();
    report_failures(m, status);
    return status;
}

void run(Model& m, const RunOptions& options, ResultFiles& results) {
    LoopState s{.results = &results};
    // The result files for other tools are set up before the deck is read:
    // they must not take the place of the deck itself.
    std::vector<RunFile> files{{"Haupteingabedatei", options.input_file, false, -1, -1, {}}};
    for (RunFile& f : result_files(options.results, true, true)) files.push_back(f);
    if (const FileConflict c = file_conflict(files); !c.message.empty()) {
        write_list(m.io.console(), c.message + " (Option " + c.option + ")");
        stop_run(m, kExitInput);
    }
    // The NetCDF library loads on the writer's thread while the deck is read,
    // and the dynamic loader holds its lock throughout. Making a thread, or
    // the first use of a thread-local object, waits for that lock: the work
    // team's helper and the record writer's scratch are made first.
    WorkTeam::shared();
    prepare_record_writer();
    results.open(m);
    // A run that waits for the user has its result files complete so far:
    // they may be looked at, or the run be ended there.
    m.io.console().on_waiting([&results] { results.complete(); });
    start_up(m, options, s);
    results.start(m);
    for (int32_t interval = 1; interval <= s.NINTER; ++interval) {
        for (int32_t n = 1; n <= m.inf1.NZINT; ++n) time_step(m, s);
        interval_end(m, s);
    }
    normal_end(m, s);
}

}  // namespace

int GRUV3D(Model& m, const RunOptions& options) {
    int status = kExitNormal;
    ResultFiles results(options.results);
    try {
        run(m, options, results);
    } catch (const RunStopped& stop) {
        status = stop.status;
    } catch (const WriteFailed&) {
        status = kExitWrite;
    }
    // The tables' close reports its own failure on the console and the
    // listing, which must not throw from there.
    m.io.quiet();
    m.io.console().on_waiting(nullptr);
    status = results.close(m, status);
    return finish_run(m, status);
}

}  // namespace gruv
