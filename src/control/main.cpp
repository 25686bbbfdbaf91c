// gruv3d: command-line entry. Without arguments the program reads "GRUVAT"
// (or asks for a name) in the working directory.
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <string_view>

#include "control/control.hpp"
#include "state/stop.hpp"

namespace {

constexpr std::string_view kUsage =
    "Aufruf: gruv3d [EINGABEDATEI]\n"
    "\n"
    "GRUVELAN-3D: dreidimensionale Grundwasserstroemung und Waermetransport.\n"
    "Ohne Argument wird die Haupteingabedatei \"GRUVAT\" im Arbeitsverzeichnis gelesen;\n"
    "fehlt sie, wird nach dem Namen gefragt. Alle anderen Dateien werden auf den\n"
    "Steuerkarten benannt und im Arbeitsverzeichnis angelegt.\n"
    "\n"
    "  --help      diese Hilfe\n"
    "  --version   Programmversion\n"
    "\n"
    "Rueckgabewert: 0 normales Ende, 1 fehlerhafte Eingabe oder fehlende Datei,\n"
    "2 Berechnung abgebrochen, 3 interner Fehler.\n";

}  // namespace

int main(int argc, char** argv) {
    gruv::RunOptions options;
    if (argc > 2) {
        std::cerr << kUsage;
        return gruv::kExitInput;
    }
    if (argc == 2) {
        const std::string_view arg = argv[1];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return gruv::kExitNormal;
        }
        if (arg == "--version") {
            std::cout << "GRUVELAN-3D Version 1.31 22/02/2006\n";
            return gruv::kExitNormal;
        }
        if (arg.size() > 1 && arg.front() == '-') {
            std::cerr << "unbekannte Option: " << arg << "\n\n" << kUsage;
            return gruv::kExitInput;
        }
        options.input_file = std::string(arg);
    }
    auto model = std::make_unique<gruv::Model>();
    try {
        return gruv::GRUV3D(*model, options);
    } catch (const std::exception& e) {
        model->io.flush_all();
        std::cerr << "interner Fehler: " << e.what() << '\n';
        return gruv::kExitInternal;
    }
}
