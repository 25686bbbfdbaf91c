// Control cards of the main input file: the units, the banner, cards 1 to
// 17f, the derived values, the dimension check and the input summary.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "control/control.hpp"
#include "records/card_reader.hpp"
#include "records/records.hpp"
#include "state/stop.hpp"

namespace gruv {

namespace {

constexpr int32_t kMainInput = 5;
constexpr int32_t kListing = 6;
constexpr int32_t kObservation = 7;
constexpr int32_t kAdditional = 8;

//! A CHARACTER*n variable holding text: left-aligned, blank padded, cut at n.
std::string fixed(std::string_view text, std::size_t n) {
    std::string s(text.substr(0, std::min(text.size(), n)));
    s.resize(n, ' ');
    return s;
}

//! INFORM's working state while it reads the cards.
struct CardDeck {
    Model& m;
    InputUnit& in;
    std::string label = "1  ";  //!< label of the card being read

    // Failures while reading a card end the run after a list-directed line on
    // the console, the place in the file and the stop text. A check of the
    // deck collects them instead and reads on; only the end of the file ends
    // its reading too.
    [[noreturn]] void stop(const std::string& what, const SourcePlace& place, std::string_view stop_text) {
        write_finding(m.io.console(), {list_message(what), place});
        stop_run(m, kExitInput, stop_text);
    }
    [[noreturn]] void end_of_file() {
        const std::string what = "unerwartet Dateiende erreicht nach Karte " + label;
        if (collect_failures(in, list_message(what))) stop_run(m, kExitInput);
        stop(what, failure_place(in), "Bitte Datei ergaenzen!");
    }
    void bad_data() {
        const std::string what = "fehlerhaftes Datenformat in Karte " + label;
        if (!collect_failures(in, list_message(what))) stop(what, failure_place(in), "Bitte Datei ueberpruefen!");
    }
    void not_finite() {
        const std::string what = "nicht endlicher Zahlenwert in Karte " + label;
        if (!collect_failures(in, list_message(what))) stop(what, failure_place(in), "Bitte Datei ueberpruefen!");
    }
    //! A value the card must not hold: what is wrong, in the card's words;
    //! item is the value's position on the card (or on the card read as `key`).
    void reject(std::string_view what, int32_t item, const std::string& key = {}) {
        const std::string text = std::string(what) + " in Karte " + label;
        const SourcePlace at = place(key.empty() ? label : key, item);
        if (!collect(m.io.check(), {list_message(text), at})) stop(text, at, "Bitte Datei ueberpruefen!");
    }
    void check(CardOutcome outcome) {
        switch (outcome) {
            case CardOutcome::Read: return;
            case CardOutcome::EndOfFile: end_of_file();
            case CardOutcome::BadData: bad_data(); return;
            case CardOutcome::NotFinite: not_finite(); return;
        }
    }
    //! Keeps the places of the n values just read under card (their keys
    //! as value_key gives them), for checks after the card.
    void remember(const std::string& card, int32_t n) {
        for (int32_t item = 0; item < n; ++item) m.io.keep_place(value_key(card, item), field_place(in, item));
    }
    SourcePlace place(const std::string& card, int32_t item) const { return m.io.kept_place(value_key(card, item)); }

    template <class... Items>
    void card(std::string_view card_label, Items&&... items) {
        label = card_label;
        check(read_card_items(in, std::forward<Items>(items)...));
        remember(label, sizeof...(Items));
    }
    //! A format card for the data cards that follow; nullptr (only in a check)
    //! when it cannot be read, and then its data cards are passed over.
    const FormatProgram* format_card() {
        const FormatProgram* f = nullptr;
        check(read_format_card(in, f));
        return f;
    }
    template <class... Items>
    void data(const FormatProgram& f, Items&&... items) {
        check(read_data_items(in, f, std::forward<Items>(items)...));
    }
};

//! Opens the main input file on unit 5: the name given, then names typed at
//! the prompt until one opens. Returns the name that opened.
std::string open_main_input(Model& m, const RunOptions& options, bool name_given) {
    static const FormatProgram& not_found = fixed_format("(' Datei ',A20,' nicht gefunden - Bearbeitung abgebrochen')");
    if (m.io.open_input(kMainInput, options.input_file)) {
        m.run.deck = options.input_file;
        return options.input_file;
    }
    ConsoleUnit& con = m.io.console();
    if (name_given || m.io.check() != nullptr) {
        const Finding finding{is_directory(options.input_file)
                                  ? list_message("Datei " + options.input_file +
                                                 " ist ein Verzeichnis - Bearbeitung abgebrochen")
                                  : message_records(not_found, fixed(options.input_file, 20)),
                              {}};
        if (!collect(m.io.check(), finding)) write_finding(con, finding);
        stop_run(m, kExitInput);
    }
    if (is_directory(options.input_file)) write_list(con, "Datei " + options.input_file + " ist ein Verzeichnis");
    std::string typed;
    for (;;) {
        con.prompt(" Eingabedatenfile eingeben    ==> ");
        if (!con.read_line(typed)) {
            // Nobody can answer any more: stop instead of asking for ever.
            write_list(con, "keine Eingabedatei angegeben - Bearbeitung abgebrochen");
            stop_run(m, kExitInput);
        }
        const std::string name = trim_name(fixed(typed, 20));
        if (name.empty()) continue;
        if (m.io.open_input(kMainInput, name)) {
            m.run.deck = name;
            return name;
        }
        if (is_directory(name)) write_list(con, "Datei " + name + " ist ein Verzeichnis");
    }
}

//! Opens a result file named on the control cards; a file that cannot be
//! created ends the run, naming the place of the name in the deck (named_at)
//! when it comes from there.
void open_result_file(Model& m, int32_t unit, const std::string& name, bool binary, const SourcePlace& named_at = {}) {
    const std::string path = trim_name(name);
    // A check writes nothing: it asks only whether the file could be created.
    const bool ok = m.io.check() != nullptr ? could_create(path)
                    : binary                ? m.io.open_binary(unit, path)
                                            : m.io.open_output(unit, path);
    if (!ok) {
        const Finding finding{
            list_message("Datei " + path + " kann nicht angelegt werden - Bearbeitung abgebrochen"), named_at};
        if (collect(m.io.check(), finding)) return;
        write_finding(m.io.console(), finding);
        stop_run(m, kExitInput);
    }
}

//! The names of card 5 and the files they name.
struct Card5Names {
    std::string observation;  //!< observation file, used when NBEOB > 0
    std::string listing;      //!< listing, unless "TERMINAL"
    std::string additional;   //!< additional data file, used when IZUSAT = 1
};

//! Names from the deck are opened in the working directory: a card-5 name in
//! use that leads out of it is refused.
void check_names_stay_in_working_directory(CardDeck& deck, const Card5Names& names) {
    const Model& m = deck.m;
    const auto check = [&](bool used, std::string_view role, const std::string& name, int32_t item) {
        if (used && leaves_working_directory(name))
            deck.reject(std::string(role) + " " + name + " liegt ausserhalb des Arbeitsverzeichnisses", item);
    };
    check(m.inf4.NBEOB > 0, "Beobachtungsdatei", names.observation, 3);
    check(m.inf2.IOUT == kListing, "Ausgabedatei", names.listing, 4);
    check(m.inf3.IZUSAT == 1, "Zusatzeingabedatei", names.additional, 5);
}

//! Every file the run will read or write, inputs first; the isoline files as
//! selected for the computation mode.
std::vector<RunFile> files_of_run(const Model& m, const RunOptions& options, const std::string& main_input,
                                  const Card5Names& names) {
    std::vector<RunFile> files{{"Haupteingabedatei", main_input, false, -1, -1, {}}};
    if (m.inf3.IZUSAT == 1)
        files.push_back({"Zusatzeingabedatei", m.io.find_input(names.additional), false, 5, -1, {}});
    const bool restart = m.inf4.IWARMI == 1 || m.inf4.IWARMO == 1;
    if (restart) files.push_back({"Warmstartdatei", "GRUVWS", m.inf4.IWARMO == 1, -1, -1, {}});
    if (m.inf4.NBEOB > 0) files.push_back({"Beobachtungsdatei", names.observation, true, 3, -1, {}});
    if (m.inf2.IOUT == kListing) files.push_back({"Ausgabedatei", names.listing, true, 4, -1, {}});
    const auto& s = m.isop;
    const auto isolines = [&](bool on, const char* yz, const char* xz, const char* xy) {
        if (!on) return;
        if (s.ISOYZ == 1) files.push_back({"Isoliniendatei", yz, true, -1, -1, {}});
        if (s.ISOXZ == 1) files.push_back({"Isoliniendatei", xz, true, -1, -1, {}});
        if (s.ISOXY == 1) files.push_back({"Isoliniendatei", xy, true, -1, -1, {}});
    };
    isolines(m.inf4.IMODE <= 1, "TEMPYZ", "TEMPXZ", "TEMPXY");
    isolines(m.inf4.IMODE >= 1, "PIEZYZ", "PIEZXZ", "PIEZXY");
    // A scratch file of a killed run under this name is removed at start.
    if (restart) files.push_back({"Zwischendatei der Warmstartdatei", "GRUVWS.neu", true, -1, -1, {}});
    for (RunFile& f : result_files(options.results, m.inf4.IMODE <= 1, m.inf4.NBEOB > 0)) files.push_back(f);
    // Standard output redirected into a file of the run would mix with it.
    struct stat st {};
    if (m.io.console_on_standard_output() && ::fstat(STDOUT_FILENO, &st) == 0 && S_ISREG(st.st_mode))
        files.push_back({"Standardausgabe", "", true, -1, STDOUT_FILENO, {}});
    return files;
}

void write_dimensions(OutputUnit& u, const Model& m) {
    static const FormatProgram& nodes =
        fixed_format("(/,' Anzahl der Knoten:    NX  ==>  ',I4,'  NY  ==>  ',I4,'  NZ  ==>  ',I4,/)");
    static const FormatProgram& bounds =
        fixed_format("(/,' Programmdimensionen:  IX  ==>  ',I4,'  IY  ==>  ',I4,'  IZ  ==>  ',I4,/)");
    write(u, nodes, m.ndim.NX, m.ndim.NY, m.ndim.NZ);
    write(u, bounds, IX, IY, IZ);
}

//! One block of the summary for the heat or the flow solver.
void write_solver_block(Model& m, OutputUnit& u, std::string_view word, float& factor, float limit,
                        std::string_view unit_text, std::string_view point_name, std::string_view line_name,
                        float weight) {
    static const FormatProgram& title = fixed_format("(/,' Iterationsverfahren der ',A10,'berechnung:',/,1X,45('-'))");
    static const FormatProgram& gauss = fixed_format("(/,' Gauss - Seidel - Punkt fuer Punkt')");
    static const FormatProgram& sor_point =
        fixed_format("(/,' Successive Over/Under-Relaxation - Punkt fuer Punkt -',' Faktor ',F5.2)");
    static const FormatProgram& adi = fixed_format("(/,' Alternating-Direction-Implicit - Zeile fuer Zeile')");
    static const FormatProgram& sor_line =
        fixed_format("(/,' Successive Over/Under-Relaxation - Zeile fuer Zeile -',' Faktor ',F5.2)");
    static const FormatProgram& error_limit = fixed_format("(/,' erlaubter Iterationsfehler  +/- ',F9.7,1X,A11)");
    static const FormatProgram& sweeps = fixed_format("(/,' jedoch maximal ',I4,' Durchlaeufe von Subroutine ',A6)");
    static const FormatProgram& ascending = fixed_format("(/,' Iteration erfolgt in aufsteigender Reihenfolge')");
    static const FormatProgram& alternating = fixed_format("(/,' Iteration erfolgt in alternierenden Richtungen')");
    static const FormatProgram& scheme =
        fixed_format("(/,' Loesung der DGL nach dem ',A26,' -  Wichtungsfaktor => ',F4.2)");

    write(u, title, fixed(word, 10));
    if (factor == 0.0f) factor = -1.0f;  // 0 selects the plain line method
    if (factor == 1.0f) {
        write(u, gauss);
    } else if (factor > 0.0f) {
        write(u, sor_point, factor);
    } else if (factor == -1.0f) {
        write(u, adi);
    } else {
        write(u, sor_line, -factor);
    }
    write(u, error_limit, limit, fixed(unit_text, 11));
    write(u, sweeps, m.inf1.ITMAX, factor > 0.0f ? point_name : line_name);
    if (factor > 0.0f) {
        if (m.inf1.IRICHT == 0) write(u, ascending);
        if (m.inf1.IRICHT == 1) write(u, alternating);
    }
    std::string_view name = "Implizit Schema";
    if (weight == 0.0f) name = "Explizit Schema";
    if (weight == 0.5f) name = "Crank - Nicolson - Schema";
    if (weight == 1.0f) name = "Vollimplizit Schema";
    write(u, scheme, fixed(name, 26), weight);
}

void write_summary(Model& m, const std::string& title, float step_minutes, float sim_hours,
                   const std::string& observation_file) {
    static const FormatProgram& title_line = fixed_format("(' ',A80)");
    static const FormatProgram& heading =
        fixed_format("(/,' Zusammenfassung der Eingangsparameter:',/,1X,38('-'))");
    static const FormatProgram& constant_step = fixed_format(
        "(/,I4,' Zeitschritte ',F7.1,' Minuten Zeitschrittlaenge ',F6.1,' Stunden Simulation')");
    static const FormatProgram& growing_step =
        fixed_format("(/,I4,' Zeitschritte ',F8.2,' Minuten Anfangszeitschritt','laenge',/,F7.4,"
                     "' Zeitschrittfaktor  ',F7.1,' Stunden ','Simulation')");
    static const FormatProgram& obs_head =
        fixed_format("(/,' Die Temperaturen bzw. Piezometerhoehen folgender ',I2,' Knoten:',/,/,T20,"
                     "'   X      Y      Z   ',/,T20,21('-'))");
    static const FormatProgram& obs_node = fixed_format("(T17,3I7)");
    static const FormatProgram& obs_tail =
        fixed_format("(T20,21('-'),/,/,' werden auf der Datei ',A14,' ausgegeben.')");
    static const FormatProgram& convection = fixed_format("(/,' Diffusion und Konvektion werden beruecksichtigt')");
    static const FormatProgram& peclet = fixed_format("(/,' Berechnung der Peclet-Wichtungsfunktion ',A30)");
    static const FormatProgram& conduction = fixed_format("(/,' reines Konduktionssproblem')");
    static const FormatProgram& phase = fixed_format("(/,' Phasenaenderung von Wasser wird ',A40)");
    static const FormatProgram& fluid_head = fixed_format(
        "(/,' Eigenschaften des Fluids:  fluessig       fest     ',' gasfoermig',/,1X,63('-'))");
    static const FormatProgram& capacity = fixed_format("(' Waermekapazitaet:',T25,3(5X,F6.1),' J/kg*K')");
    static const FormatProgram& conductivity = fixed_format("(' Waermeleitfaehigkeit:',T25,3(5X,F6.3),' W/m*K')");
    static const FormatProgram& density = fixed_format("(' Dichte:',T25,3(5X,F6.1),' kg/cbm')");
    static const FormatProgram& latent = fixed_format("(' Schmelzenthalpie:',T26,1PE10.3,' J/kg',/)");
    static const FormatProgram& frost_step = fixed_format("(' T - Schr. bei Frost:',T30,F6.4,' K')");
    static const FormatProgram& ice_change = fixed_format("(' max. Aender. Eis DWAN:',T30,F6.2,' %',/)");
    static const FormatProgram& centred = fixed_format("(/,' Knotenpunkte liegen im geometrischen Zentrum der Zellen')");
    static const FormatProgram& halfway =
        fixed_format("(/,' Zellengrenzen liegen auf halber Strecke zwischen den Knoten')");

    OutputUnit& u = m.io.unit(m.inf2.IOUT);
    auto& p1 = m.par1;
    auto& p2 = m.par2;
    const auto& p3 = m.par3;

    write(u, title_line, title);
    write(u, heading);
    write_dimensions(u, m);
    if (p1.ZFAKT == 1.0f) {
        write(u, constant_step, m.inf1.NZSCHR, step_minutes, sim_hours);
    } else {
        write(u, growing_step, m.inf1.NZSCHR, step_minutes, p1.ZFAKT, sim_hours);
    }
    const auto& o = m.inf4;
    if (o.NBEOB > 0) {
        write(u, obs_head, o.NBEOB);
        for (int n = 1; n <= o.NBEOB; ++n) write(u, obs_node, o.IBEOB(n), o.JBEOB(n), o.KBEOB(n));
        write(u, obs_tail, fixed(observation_file, 14));
    }
    const int32_t IMODE = m.inf4.IMODE;
    if (IMODE != 2)
        write_solver_block(m, u, "Temperatur", p1.OMEGT, p1.EPST, "Grad Kelvin", "ITERAT", "IADITP", p1.ALFAT);
    if (IMODE != 0) write_solver_block(m, u, "Stroemungs", p2.OMEGA, p2.EPSH, "Meter", "ITERAH", "IADIST", p2.ALFA);
    if (IMODE != 2) {
        if (m.inf2.KONVEK != 0) {
            write(u, convection);
            if (m.inf1.ISCHEM == 0) m.inf1.ISCHEM = 5;
            static constexpr std::string_view kSchemes[] = {
                "durch Zentrale Differenzen", "nach dem Upwind - Schema", "nach dem Hybrid - Schema",
                "nach dem Power law - Schema", "nach dem Exponential - Schema"};
            write(u, peclet, fixed(kSchemes[m.inf1.ISCHEM - 1], 30));
        } else {
            write(u, conduction);
        }
        write(u, phase, fixed(m.inf2.IPHASE == 0 ? "ignoriert" : "beruecksichtigt", 40));
        write(u, fluid_head);
        write(u, capacity, p3.CPW, p3.CPE, p3.CPL);
        write(u, conductivity, p3.LAMW, p3.LAME, p3.LAML);
        write(u, density, p3.RHOW, p3.RHOE, p3.RHOL);
        write(u, latent, p3.SCHMW);
        write(u, frost_step, m.par4.DTGEF);
        write(u, ice_change, 100.0f * m.par4.DWAN);
    }
    if (m.inf1.KNLAGE == 0) write(u, centred);
    if (m.inf1.KNLAGE == 1) write(u, halfway);
}

//! Material data of water, ice and pore air by ISTOFF 0 and 1.
void set_material_defaults(Model& m) {
    m.par3 = m.inf2.ISTOFF == 0 ? PAR3{} : kBuiltInMaterialData;
    m.par4.DTGEF = 0.1f;
    m.par4.DWAN = 0.001f;
}

}  // namespace

void INFORM(Model& m, const RunOptions& options) {
    DeckCheck* const checking = m.io.check();  // a check of the deck: nothing is written
    if (checking == nullptr) HEADER(m, 1);
    // Files the deck reads are also found next to it (Io::find_input).
    const std::string main_input = open_main_input(m, options, options.input_file != "GRUVAT");
    m.io.set_deck_directory(std::filesystem::path(main_input).parent_path().string());
    CardDeck deck{m, m.io.input(kMainInput)};

    // Card 1: the title, without a format card.
    static const FormatProgram& a80 = fixed_format("(A80)");
    std::string title(80, ' ');
    deck.check(read_data_items(deck.in, a80, title));  // an end here: an empty main input file
    m.run.title = trim_name(title);

    auto& i1 = m.inf1;
    auto& i2 = m.inf2;
    auto& i3 = m.inf3;
    auto& i4 = m.inf4;
    auto& p1 = m.par1;
    auto& p2 = m.par2;
    auto& p3 = m.par3;
    auto& p4 = m.par4;

    deck.card("3  ", m.isop.ISOYZ, m.isop.ISOXZ, m.isop.ISOXY, m.isop.ISOFRM);

    std::string observation_file(20, ' '), output_file(20, ' '), additional_file(20, ' ');
    deck.card("5  ", i4.NBEOB, i3.IZUSAT, i3.NZUSAT, observation_file, output_file, additional_file);
    m.run.listing = trim_name(output_file);
    m.run.observation_file = trim_name(observation_file);
    m.run.additional_file = trim_name(additional_file);
    const int32_t listed_nodes = i4.NBEOB;  // lines of card 15b
    if (i4.NBEOB > MAXBEO) {
        deck.reject("hoechstens 10 Beobachtungsknoten erlaubt, NBEOB = " + std::to_string(i4.NBEOB), 0);
        i4.NBEOB = MAXBEO;  // a check reads on with the nodes there is room for
    }
    // Fewer than one step between two readings would read the next record
    // of the additional data file before the first step has used the last.
    if (i3.IZUSAT == 1 && i3.NZUSAT < 1)
        deck.reject("Zeitschritte zwischen zwei Lesungen der Zusatzdatei NZUSAT = " + std::to_string(i3.NZUSAT) +
                        " - mindestens 1 erforderlich",
                    2);
    i2.IOUT = output_file == fixed("TERMINAL", 20) ? 1 : kListing;
    const Card5Names names{trim_name(observation_file), trim_name(output_file), trim_name(additional_file)};
    check_names_stay_in_working_directory(deck, names);
    if (i3.IZUSAT == 1 && !m.io.open_input(kAdditional, m.io.find_input(trim_name(additional_file)))) {
        static const FormatProgram& missing =
            fixed_format("(' Datei ',A20,' nicht gefunden - Bearbeitung abgebrochen')");
        const std::string name = trim_name(additional_file);
        const Finding finding{
            is_directory(name) ? list_message("Datei " + name + " ist ein Verzeichnis - Bearbeitung abgebrochen")
                               : message_records(missing, additional_file),
            deck.place("5  ", 5)};
        if (!collect(checking, finding)) {
            write_finding(m.io.console(), finding);
            stop_run(m, kExitInput);
        }
    }

    int32_t step_length = 0;
    std::string time_unit(3, ' ');
    float storage_value = 0.0f;
    deck.card("7  ", i1.NZSCHR, i1.ITMAX, i1.NZINT, i1.KONTRL, i1.IEINGA, i2.NAUSG, step_length, time_unit, p1.ZFAKT,
              p1.EPST, storage_value);
    if (storage_value > 0.0f) p2.SPKONS = storage_value;
    if (options.limits.steps > 0) i1.NZSCHR = std::min(i1.NZSCHR, options.limits.steps);
    if (options.limits.sweeps > 0) i1.ITMAX = std::min(i1.ITMAX, options.limits.sweeps);

    deck.card("9  ", p1.FLURAB, i2.IMISCH, i3.IENERG, i3.ISTAT, i4.IZTEST, i4.IWARMI, i4.IWARMO, i4.IDSTOP);

    deck.card("11 ", p1.ALFAT, p1.OMEGT, i1.KNLAGE, i1.ISCHEM, i2.KONVEK, i2.IPHASE, i2.IBILD, i1.IRICHT, i2.ISTOFF,
              i2.IAENDR);
    if (i1.KNLAGE != 0 && i1.KNLAGE != 1)
        deck.reject("Gitterkonvention KNLAGE = " + std::to_string(i1.KNLAGE) + " nicht erlaubt (nur 0 oder 1)", 2);
    if (i1.IRICHT != 0 && i1.IRICHT != 1)
        deck.reject("Iterationsrichtung IRICHT = " + std::to_string(i1.IRICHT) + " nicht erlaubt (nur 0 oder 1)", 7);
    if (i2.ISTOFF < 0 || i2.ISTOFF > 5)
        deck.reject("Stoffdatenoption ISTOFF = " + std::to_string(i2.ISTOFF) + " nicht erlaubt (nur 0 bis 5)", 8);

    if (i2.ISTOFF <= 1) {
        set_material_defaults(m);
    } else {
        deck.card("11b", p3.CPW, p3.CPE, p3.CPL, p3.LAMW, p3.LAME, p3.LAML, p3.RHOW, p3.RHOE, p3.RHOL, p3.SCHMW,
                  p4.DTGEF, p4.DWAN);
        // The freezing interval divides the latent heat; the ice-fraction
        // limit divides the step of the phase-change control.
        if (!(p4.DTGEF > 0.0f)) deck.reject("Temperaturschritt bei Frost DTGEF muss groesser 0 sein", 10);
        if (!(p4.DWAN >= 0.0f)) deck.reject("max. Aenderung des Eisanteils DWAN darf nicht negativ sein", 11);
        if (i2.ISTOFF >= 5) {
            deck.card("11d", p4.WLKA, p4.WLKB);
        } else if (i2.ISTOFF >= 3) {
            deck.card("11d", p4.WLKA, p4.WLKB, p4.WLKC);
        }
    }
    p4.DTHALB = 0.5f * p4.DTGEF;

    float unused_real = 0.0f;
    int32_t unused_int = 0;
    deck.card("13 ", unused_real, p2.HGOK, p2.ALFA, p2.OMEGA, p2.EPSH, i4.IMODE, m.inf5.IVISK, unused_int);
    if (i4.IMODE < 0 || i4.IMODE > 2)
        deck.reject("Rechenmodus IMODE = " + std::to_string(i4.IMODE) + " nicht erlaubt (nur 0, 1 oder 2)", 5);
    if (p2.ALFA < 0.0f && i4.IMODE != 0) deck.reject("negativer Wichtungsfaktor ALFA nicht erlaubt", 2);
    // The viscosity follows the temperatures, which a flow-only run does not have.
    if (m.inf5.IVISK == 1 && i4.IMODE == 2)
        deck.reject("Viskositaetskorrektur IVISK = 1 braucht Temperaturen, nicht moeglich mit IMODE = 2", 6);
    if (i4.IMODE != 2) {
        // Heat-transport values of card 11 that have no meaning outside their
        // range: the heat equation takes convection only from 1, and freezing
        // temperatures are set only for phase-change options up to 3.
        deck.label = "11 ";
        if (i2.KONVEK != 0 && i2.KONVEK != 1)
            deck.reject("Konvektionsschalter KONVEK = " + std::to_string(i2.KONVEK) + " nicht erlaubt (nur 0 oder 1)",
                        4);
        if (i2.KONVEK != 0 && (i1.ISCHEM < 0 || i1.ISCHEM > 5))
            deck.reject("Konvektionsschema ISCHEM = " + std::to_string(i1.ISCHEM) + " nicht erlaubt (nur 0 bis 5)", 3);
        if (i2.IPHASE < 0) deck.reject("negativer Wert IPHASE = " + std::to_string(i2.IPHASE) + " nicht erlaubt", 5);
        if (i2.IPHASE > 3)
            deck.reject("Phasenwechseloption IPHASE = " + std::to_string(i2.IPHASE) + " nicht erlaubt (nur 0 bis 3)",
                        5);
        if (p1.ALFAT < 0.0f) deck.reject("negativer Wichtungsfaktor ALFA nicht erlaubt", 0);
    }
    {
        // Every file of the run is known now: a result file that would
        // overwrite another file of the run is refused before any is opened.
        deck.label = "5  ";
        if (const FileConflict c = file_conflict(files_of_run(m, options, main_input, names)); !c.message.empty())
            deck.reject(c.message, c.item);
        if ((i4.IWARMI == 1 || i4.IWARMO == 1) && checking == nullptr) remove_restart_leftover(m);
        if (i4.NBEOB > 0) open_result_file(m, kObservation, observation_file, false, deck.place("5  ", 3));
        if (i2.IOUT == kListing) open_result_file(m, kListing, output_file, false, deck.place("5  ", 4));
        const bool binary = m.isop.ISOFRM == 1;
        const auto& s = m.isop;
        if (i4.IMODE <= 1) {
            if (s.ISOYZ == 1) open_result_file(m, 11, "TEMPYZ", binary);
            if (s.ISOXZ == 1) open_result_file(m, 12, "TEMPXZ", binary);
            if (s.ISOXY == 1) open_result_file(m, 13, "TEMPXY", binary);
        }
        if (i4.IMODE >= 1) {
            if (s.ISOYZ == 1) open_result_file(m, 21, "PIEZYZ", binary);
            if (s.ISOXZ == 1) open_result_file(m, 22, "PIEZXZ", binary);
            if (s.ISOXY == 1) open_result_file(m, 23, "PIEZXY", binary);
        }
        if (checking != nullptr) i2.IOUT = 1;  // no listing: what would go there goes to the console
    }

    deck.card("15 ", m.ipro.ISCHX, m.ipro.ISCHY, m.ipro.ISCHZ);
    if (listed_nodes > 0) {
        deck.label = "15b";
        const FormatProgram* f = deck.format_card();
        for (int n = 1; n <= listed_nodes && f != nullptr; ++n) {
            if (n > i4.NBEOB) {  // a check passes over the nodes beyond the tenth
                int32_t i = 0, j = 0, k = 0;
                deck.data(*f, i, j, k);
                continue;
            }
            deck.data(*f, i4.IBEOB(n), i4.JBEOB(n), i4.KBEOB(n));
            deck.remember("15b/" + std::to_string(n), 3);
            if (checking != nullptr) m.io.keep_place("15b/" + std::to_string(n), fields_place(deck.in, 0, 2));
        }
    }

    // The time step in seconds; an unknown unit or a step that is not
    // positive would stall the run or turn time backwards.
    deck.label = "7  ";
    if (time_unit == "SEK") {
        p1.FZEIT = 1.0f;
    } else if (time_unit == "MIN") {
        p1.FZEIT = 60.0f;
    } else if (time_unit == "STU") {
        p1.FZEIT = 3600.0f;
    } else if (time_unit == "TAG") {
        p1.FZEIT = 86400.0f;
    } else {
        deck.reject("unbekannte Zeiteinheit '" + time_unit + "' (erlaubt: SEK, MIN, STU, TAG)", 7);
    }
    p1.DELT = static_cast<float>(step_length) * p1.FZEIT;
    // (Without a time unit, which a check reads on from, the length is not judged.)
    if (!(p1.DELT > 0.0f) && p1.FZEIT > 0.0f)
        deck.reject("Zeitschrittlaenge " + std::to_string(step_length) + " muss groesser 0 sein", 6);
    if (p1.ZFAKT <= 0.0f) p1.ZFAKT = 1.0f;
    const float step_minutes = p1.DELT / 60.0f;
    float sim_hours = 0.0f;
    {
        float term = p1.DELT / 3600.0f;
        for (int32_t n = 1; n <= i1.NZSCHR; ++n) {
            sim_hours = sim_hours + term;
            term = term * p1.ZFAKT;
        }
    }

    auto& d = m.ndim;
    deck.card("17 ", d.NX, d.NY, d.NZ);
    if (d.NZ > IZ || d.NX > IX || d.NY > IY || std::min({d.NX, d.NY, d.NZ}) < 1) {
        static const FormatProgram& conflict = fixed_format("(' Konflikt in der Knotendimensionierung:',/,1X,38('='))");
        const int32_t culprit = d.NX < 1 || d.NX > IX ? 0 : (d.NY < 1 || d.NY > IY ? 1 : 2);
        // Everything after card 17 is laid out by the grid: a check ends here too.
        if (collect(checking, {message_records(conflict), deck.place("17 ", culprit)})) stop_run(m, kExitInput);
        write(m.io.console(), conflict);
        write_dimensions(m.io.console(), m);
        m.io.console().put_record(location_line(deck.place("17 ", culprit)));
        stop_run(m, kExitInput, " Bitte Dimensionierung anpassen !");
    }
    if (options.limits.nodes > 0 && d.NX * d.NY * d.NZ > options.limits.nodes)
        deck.reject("mehr als " + std::to_string(options.limits.nodes) + " Knoten fuer diesen Lauf nicht erlaubt", 0);
    for (int n = 1; n <= i4.NBEOB; ++n) {
        const bool i_out = i4.IBEOB(n) < 1 || i4.IBEOB(n) > d.NX;
        const bool j_out = i4.JBEOB(n) < 1 || i4.JBEOB(n) > d.NY;
        if (i_out || j_out || i4.KBEOB(n) < 1 || i4.KBEOB(n) > d.NZ) {
            deck.label = "15b";
            deck.reject("Beobachtungsknoten " + std::to_string(n) + " liegt ausserhalb des Gitters",
                        i_out ? 0 : (j_out ? 1 : 2), "15b/" + std::to_string(n));
        }
    }
    auto& t = m.temp;
    if (i2.IPHASE == 1 && i4.IMODE <= 1)
        for (int k = 1; k <= d.NZ; ++k) t.TGEF(k) = 273.15;
    if (i2.IPHASE == 3 && i4.IMODE <= 1) {
        const FormatProgram* f = deck.format_card();  // an end here still counts against card 17
        deck.label = "17b";
        if (f != nullptr) deck.data(*f, in_array(t.TGEF.data(), d.NZ));
        for (int k = 1; k <= d.NZ; ++k) t.TGEF(k) = t.TGEF(k) + 273.15;
    }
    if (i2.IPHASE > 0 && i4.IMODE <= 1) {
        const FormatProgram* f = deck.format_card();
        deck.label = "17d";
        if (f != nullptr) deck.data(*f, in_array(m.ifld.IEIS.data(), d.NZ));
        const FormatProgram* curve = deck.format_card();  // format card 17e
        for (int k = 1; k <= d.NZ && curve != nullptr; ++k) {
            if (m.ifld.IEIS(k) != 1) continue;
            deck.label = "17f";
            deck.data(*curve, m.ener.EISK(k, 1), m.ener.EISK(k, 2), m.ener.EISK(k, 3));
        }
    }
    d.NX1 = d.NX - 1;
    d.NY1 = d.NY - 1;
    d.NZ1 = d.NZ - 1;

    if (checking != nullptr) return;  // the summary is the run's
    if (i2.IOUT == 6) HEADER(m, 6);
    write_summary(m, title, step_minutes, sim_hours, observation_file);
}

}  // namespace gruv
