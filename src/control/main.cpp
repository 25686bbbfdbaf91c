// gruv3d: command-line entry. Without arguments the program reads "GRUVAT"
// (or asks for a name) in the working directory.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.hpp"
#include "control/control.hpp"
#include "records/units.hpp"
#include "state/stop.hpp"
#include "state/version.hpp"

namespace {

constexpr std::string_view kUsage =
    "Aufruf: gruv3d [OPTIONEN] [EINGABEDATEI]\n"
    "\n"
    "GRUVELAN-3D: dreidimensionale Grundwasserstroemung und Waermetransport.\n"
    "Ohne Argument wird die Haupteingabedatei \"GRUVAT\" im Arbeitsverzeichnis gelesen;\n"
    "fehlt sie, wird nach dem Namen gefragt. Alle anderen Dateien werden auf den\n"
    "Steuerkarten benannt und im Arbeitsverzeichnis angelegt.\n"
    "\n"
    "  --help          diese Hilfe\n"
    "  --version       Programmversion\n"
    "  --check         prueft die Eingabedatei und jede Datei, die sie nennt (Zusatz-\n"
    "                  eingabedatei, Restartdatei GRUVWS), wie ein Lauf sie liest, ohne\n"
    "                  zu rechnen und ohne eine Datei zu schreiben; meldet jeden Fehler\n"
    "                  und jede Warnung mit Datei, Zeile und Spalten (Rueckgabewert 1\n"
    "                  bei Fehlern, sonst 0)\n"
    "\n"
    "Ergebnisse fuer andere Programme (zusaetzlich zu den Dateien der Steuerkarten):\n"
    "  --netcdf DATEI  Felder (Temperatur, Potential, Geschwindigkeiten, Eisanteil,\n"
    "                  Stoffwerte) zu Beginn, bei jedem Ausdruck und am Ende als\n"
    "                  NetCDF-Datei (CF-Konventionen)\n"
    "  --vtk VERZ      dieselben Felder als ParaView-Dateien im Verzeichnis VERZ:\n"
    "                  results.pvd und eine Datei results_NNNNN.vtr je Zeitpunkt,\n"
    "                  properties.vtr mit den Stoffwerten\n"
    "  --csv VERZ      Tabellen im Verzeichnis VERZ: observations.csv (Beobachtungs-\n"
    "                  knoten), energy.csv (Energiebilanz je Ausdruck), solver.csv\n"
    "                  (Iterationen je Zeitschritt)\n"
    "Abbildungen daraus zeichnet gruv3d-plot (gruv3d-plot --help).\n"
    "\n"
    "Rueckgabewert: 0 normales Ende, 1 fehlerhafte Eingabe oder fehlende Datei,\n"
    "2 Berechnung abgebrochen, 3 interner Fehler, 4 eine Ergebnisdatei, die\n"
    "Warmstartdatei GRUVWS oder die Standardausgabe konnte nicht vollstaendig\n"
    "geschrieben werden.\n";

//! One command-line option: "--name" alone, or "--name VALUE" / "--name=VALUE".
struct Option {
    std::string_view name;
    bool takes_value;
    std::function<void(gruv::RunOptions&, const std::string&)> apply;
};

//! The options a run accepts (besides --help and --version).
const std::vector<Option>& run_options() {
    static const std::vector<Option> options = {
        {"--netcdf", true, [](gruv::RunOptions& o, const std::string& v) { o.results.netcdf_file = v; }},
        {"--vtk", true, [](gruv::RunOptions& o, const std::string& v) { o.results.vtk_dir = v; }},
        {"--csv", true, [](gruv::RunOptions& o, const std::string& v) { o.results.csv_dir = v; }},
        {"--check", false, [](gruv::RunOptions& o, const std::string&) { o.check = true; }},
    };
    return options;
}

int usage_error(std::string_view what, std::string_view arg) {
    std::cerr << what << arg << "\n\n" << kUsage;
    return gruv::kExitInput;
}

//! Writes a short answer (usage, version) to standard output; a failed write
//! is said on standard error.
int answer(std::string_view text) {
    errno = 0;
    std::cout << text;
    std::cout.flush();
    if (std::cout) return gruv::kExitNormal;
    const int error = errno;
    std::cerr << " Standardausgabe konnte nicht geschrieben werden: " << gruv::write_error_text(error) << '\n';
    return gruv::kExitWrite;
}

//! A daemon or a cron job may start the program with standard input, output
//! or error closed; the first files opened would then take their numbers and
//! receive console text. The missing ones are opened on /dev/null. False when
//! even that fails.
bool open_missing_standard_streams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != fd) {
            if (opened >= 0) ::close(opened);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!open_missing_standard_streams()) return gruv::kExitInternal;
    // A closed pipe or a file-size limit makes a write fail with its reason
    // (EPIPE, EFBIG), which the run reports, instead of killing the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    gruv::RunOptions options;
    bool deck_given = false;
    for (int n = 1; n < argc; ++n) {
        const std::string_view arg = argv[n];
        if (arg == "--help" || arg == "-h") return answer(kUsage);
        if (arg == "--version") return answer(std::string(gruv::kProgramName) + ' ' + std::string(gruv::kProgramVersion) + '\n');
        if (arg.size() > 1 && arg.front() == '-') {
            const std::string_view name = arg.substr(0, arg.find('='));
            const Option* found = nullptr;
            for (const Option& o : run_options())
                if (o.name == name) found = &o;
            if (found == nullptr) return usage_error("unbekannte Option: ", arg);
            std::string value;
            if (found->takes_value) {
                if (name.size() < arg.size()) {
                    value = std::string(arg.substr(name.size() + 1));
                } else if (n + 1 < argc) {
                    value = argv[++n];
                } else {
                    return usage_error("Option ohne Wert: ", arg);
                }
                if (value.empty()) return usage_error("Option ohne Wert: ", arg);
            } else if (name.size() < arg.size()) {
                return usage_error("Option nimmt keinen Wert: ", arg);
            }
            found->apply(options, value);
            continue;
        }
        if (deck_given) return usage_error("mehr als eine Eingabedatei: ", arg);
        options.input_file = std::string(arg);
        deck_given = true;
    }
    auto model = std::make_unique<gruv::Model>();
    try {
        if (options.check) {
            // A check writes no file: result files asked for are not made.
            const gruv::CheckReport report = gruv::check_deck(*model, options);
            gruv::write_check_report(model->io.console(), report);
            model->io.console().flush();
            return report.status();
        }
        return gruv::GRUV3D(*model, options);
    } catch (const std::exception& e) {
        model->io.quiet();
        model->io.flush_all();
        std::cerr << "interner Fehler: " << e.what() << '\n';
        return gruv::kExitInternal;
    }
}
