// The files of a run under their names: card-5 names that leave the working
// directory or would overwrite another file of the run are refused before
// any file is opened for writing; the restart scratch file of a killed run is
// removed at the next start.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "control/control.hpp"
#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

namespace fs = std::filesystem;

const std::string kRestart = "  20.000  20.000  20.000\n";

//! A heat-only bar of three nodes, one step.
std::string deck(const std::function<void(test::ControlCards&)>& change) {
    test::ControlCards c;
    c.NZSCHR = c.NZINT = c.NAUSG = 1;
    c.NX = 3;
    change(c);
    test::ShortInput s;
    s.widths_x = {1.0, 1.0, 1.0};
    s.layers = {{10.0, 1000.0, 2.5, 2.0, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    return c.text() + s.text();
}

struct Outcome {
    int status = -1;
    std::string console;
};

//! Runs the main input file of the options in the current directory.
Outcome run_here(const RunOptions& options = {}) {
    Model m;
    std::ostringstream console;
    std::istringstream keys;
    m.io.console().attach(console, keys, false);
    Outcome o;
    o.status = GRUV3D(m, options);
    static std::ostream discard(nullptr);
    static std::istream nothing(nullptr);
    m.io.console().attach(discard, nothing, false);
    o.console = console.str();
    return o;
}

//! Names of everything in the directory, with the content of its files.
std::set<std::string> snapshot() {
    std::set<std::string> s;
    for (const auto& e : fs::recursive_directory_iterator("."))
        s.insert(e.path().string() + (e.is_regular_file() ? "=" + test::read_file(e.path()) : ""));
    return s;
}

TEST(RunFiles, NamesThatLeaveTheRunOrMeetAnotherFileAreRefusedBeforeAnyIsWritten) {
    const struct {
        const char* what;
        std::function<void(test::ControlCards&)> change;
        std::function<void()> prepare;  // files beside the deck
        const char* message;
    } cases[] = {
        {"listing named like the deck", [](auto& c) { c.output_file = "GRUVAT"; }, [] {},
         "Ausgabedatei GRUVAT ist dieselbe Datei wie die Haupteingabedatei GRUVAT"},
        {"the deck by another path", [](auto& c) { c.output_file = "./GRUVAT"; }, [] {},
         "Ausgabedatei ./GRUVAT ist dieselbe Datei wie die Haupteingabedatei GRUVAT"},
        {"observation file on the restart state to be read",
         [](auto& c) { c.IWARMI = 1, c.NBEOB = 1, c.observation_nodes = {{2, 1, 1}}, c.observation_file = "GRUVWS"; },
         [] { test::write_file("GRUVWS", kRestart); },
         "Beobachtungsdatei GRUVWS ist dieselbe Datei wie die Warmstartdatei GRUVWS"},
        {"observation file and listing under one name, not yet existing",
         [](auto& c) { c.NBEOB = 1, c.observation_nodes = {{2, 1, 1}}, c.observation_file = c.output_file = "ERG"; },
         [] {}, "Ausgabedatei ERG ist dieselbe Datei wie die Beobachtungsdatei ERG"},
        {"listing that is a link to the additional data file",
         [](auto& c) { c.IZUSAT = 1, c.NZUSAT = 1, c.output_file = "VERWEIS"; },
         [] {
             test::write_file("ZUSATZ", "Zusatzdaten\n");
             fs::create_symlink("ZUSATZ", "VERWEIS");
         },
         "Ausgabedatei VERWEIS ist dieselbe Datei wie die Zusatzeingabedatei ZUSATZ"},
        {"listing named like an isoline file", [](auto& c) { c.ISOXY = 1, c.ISCHZ = 1, c.output_file = "TEMPXY"; },
         [] {}, "Isoliniendatei TEMPXY ist dieselbe Datei wie die Ausgabedatei TEMPXY"},
        {"listing named like the restart scratch file", [](auto& c) { c.IWARMO = 1, c.output_file = "GRUVWS.neu"; },
         [] {}, "Zwischendatei der Warmstartdatei GRUVWS.neu ist dieselbe Datei wie die Ausgabedatei GRUVWS.neu"},
        {"listing above the working directory", [](auto& c) { c.output_file = "../opfer.txt"; }, [] {},
         "Ausgabedatei ../opfer.txt liegt ausserhalb des Arbeitsverzeichnisses"},
        {"listing through a sub-folder and back up",
         [](auto& c) { c.output_file = "sub/../../opfer.txt"; }, [] { fs::create_directory("sub"); },
         "Ausgabedatei sub/../../opfer.txt liegt ausserhalb des Arbeitsverzeichnisses"},
        {"absolute name of the additional data file",
         [](auto& c) { c.IZUSAT = 1, c.NZUSAT = 1, c.additional_file = "/etc/passwd"; }, [] {},
         "Zusatzeingabedatei /etc/passwd liegt ausserhalb des Arbeitsverzeichnisses"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ScratchDir dir("run-files");
        test::write_file("GRUVAT", deck(c.change));
        c.prepare();
        const std::set<std::string> before = snapshot();
        const Outcome o = run_here();
        EXPECT_EQ(o.status, kExitInput);
        // The message, the line of the deck it points at, the stop text.
        EXPECT_NE(o.console.find("\n " + std::string(c.message) + " in Karte 5  \n Datei GRUVAT, Zeile 5,"),
                  std::string::npos)
            << o.console;
        EXPECT_TRUE(o.console.ends_with("\nBitte Datei ueberpruefen!\n")) << o.console;
        EXPECT_EQ(snapshot(), before);
    }
}

TEST(RunFiles, TablesForOtherToolsNeitherReplaceTheDeckNorMeetAResultFile) {
    // The tables are set up before the deck is read: a deck in the place of a
    // table is refused before that; a listing in that place when the card
    // is read.
    const struct {
        const char* deck_name;
        const char* listing;
        const char* message;
    } cases[] = {
        {"energy.csv", "LISTE", " Tabelle ./energy.csv ist dieselbe Datei wie die Haupteingabedatei energy.csv"
                                " (Option --csv)\n"},
        {"GRUVAT", "solver.csv", " Tabelle ./solver.csv ist dieselbe Datei wie die Ausgabedatei solver.csv"
                                 " in Karte 5  \n Datei GRUVAT, Zeile 5, Spalten 36-55: 'solver.csv'\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.deck_name);
        test::ScratchDir dir("run-files-tables");
        const std::string text = deck([&](auto& cards) { cards.output_file = c.listing; });
        test::write_file(c.deck_name, text);
        RunOptions options;
        options.input_file = c.deck_name;
        options.results.csv_dir = ".";
        const Outcome o = run_here(options);
        EXPECT_EQ(o.status, kExitInput);
        EXPECT_NE(o.console.find(c.message), std::string::npos) << o.console;
        EXPECT_EQ(test::read_file(c.deck_name), text);
    }
}

TEST(RunFiles, SubFoldersAndTheRestartFileInBothRolesAreAllowed) {
    test::ScratchDir dir("run-files-ok");
    fs::create_directory("sub");
    test::write_file("GRUVWS", kRestart);
    test::write_file("GRUVAT", deck([](auto& c) { c.output_file = "sub/liste.lst", c.IWARMI = c.IWARMO = 1; }));
    const Outcome o = run_here();
    EXPECT_EQ(o.status, kExitNormal) << o.console;
    EXPECT_NE(test::read_file("sub/liste.lst").find("normal beendet"), std::string::npos);
}

TEST(RunFiles, ScratchFileOfAKilledRunIsRemovedWithANoteAtTheNextStart) {
    // Read-only use of the restart file: the run itself writes no scratch
    // file, so what is gone afterwards was removed at the start. A directory
    // of that name is no leftover of a run and stays.
    for (const bool leftover_is_file : {true, false}) {
        test::ScratchDir dir("run-files-leftover");
        test::write_file("GRUVWS", kRestart);
        if (leftover_is_file) {
            test::write_file("GRUVWS.neu", "  20.0");
        } else {
            fs::create_directory("GRUVWS.neu");
        }
        test::write_file("GRUVAT", deck([](auto& c) { c.IWARMI = 1; }));
        const Outcome o = run_here();
        EXPECT_EQ(o.status, kExitNormal) << o.console;
        const bool noted = o.console.find("\n Datei GRUVWS.neu eines abgebrochenen Laufs entfernt\n") != std::string::npos;
        EXPECT_EQ(noted, leftover_is_file) << o.console;
        EXPECT_EQ(fs::exists("GRUVWS.neu"), !leftover_is_file);
    }
}

}  // namespace
}  // namespace gruv
