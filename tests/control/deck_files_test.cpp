// Files a deck reads (the additional data file named on card 5, the restart
// file "GRUVWS"): looked for in the working directory first, then next to
// the main input file, so that a deck runs in place from any directory while
// its results land in the working directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "state/stop.hpp"
#include "support/deck_builder.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

TEST(DeckFiles, WorkingDirectoryFirstThenNextToTheDeck) {
    // A heat-only bar of three nodes, start-up only: the restart file sets
    // every node, the first record of the data file then the middle one.
    test::ControlCards c;
    c.IMODE = 0, c.IEINGA = 0, c.NX = 3, c.NY = 1, c.NZ = 1, c.NZSCHR = 0, c.NZINT = 1;
    c.IWARMI = 1, c.IZUSAT = 1, c.NZUSAT = 1;
    test::ShortInput s;
    s.widths_x = {1.0, 1.0, 1.0};
    s.layers = {{10.0, 1000.0, 2.5, 2.0, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 0.0, 1}};
    const std::string deck = c.text() + s.text();
    // Three temperatures in (10F8.3); one value record in (F10.1).
    const auto restart = [](const std::string& t) { return "  " + t + "  " + t + "  " + t + "\n"; };
    const auto data = [](const std::string& t) {
        return "(I5)\n    1\n(A4,4I5)\nTEMP    2    1    1    0\n(F10.1)\n  Temperatur\n      " + t + "\n";
    };

    struct Case {
        const char* where;
        bool here, beside;           //!< files in the working directory (21, 31 C), next to the deck (22, 32 C)
        int status;
        double restart_t, record_t;  //!< degrees Celsius of nodes 1 and 2 after the start-up
        const char* console;         //!< text the console must show
    };
    const Case cases[] = {
        {"only next to the deck", false, true, kExitNormal, 22.0, 32.0, "Simulation normal beendet"},
        {"in both places", true, true, kExitNormal, 21.0, 31.0, "Simulation normal beendet"},
        {"only in the working directory", true, false, kExitNormal, 21.0, 31.0, "Simulation normal beendet"},
        {"nowhere", false, false, kExitInput, 0.0, 0.0,
         " Datei ZUSATZ               nicht gefunden - Bearbeitung abgebrochen"},
    };
    for (const Case& k : cases) {
        std::map<std::string, std::string> files{{"lauf/deck.gruv", deck}};
        if (k.here) files.insert({{"GRUVWS", restart("21.000")}, {"ZUSATZ", data("31.0")}});
        if (k.beside) files.insert({{"lauf/GRUVWS", restart("22.000")}, {"lauf/ZUSATZ", data("32.0")}});
        auto r = test::run_deck(files, "", "lauf/deck.gruv");
        ASSERT_EQ(r.status, k.status) << k.where << "\n" << r.console;
        EXPECT_NE(r.console.find(k.console), std::string::npos) << k.where << "\n" << r.console;
        if (k.status != kExitNormal) continue;
        EXPECT_NEAR(r.model->temp.TEMP(1, 1, 1) - 273.15, k.restart_t, 1e-9) << k.where;
        EXPECT_NEAR(r.model->temp.TEMP(2, 1, 1) - 273.15, k.record_t, 1e-4) << k.where;
        // The listing goes to the working directory, not next to the deck.
        EXPECT_FALSE(r.file("LISTE").empty()) << k.where;
        EXPECT_FALSE(std::filesystem::exists(r.dir->path() / "lauf" / "LISTE")) << k.where;
    }

    // A restart file found nowhere is named as the run always names it.
    auto r = test::run_deck({{"lauf/deck.gruv", deck}, {"lauf/ZUSATZ", data("32.0")}}, "", "lauf/deck.gruv");
    EXPECT_EQ(r.status, kExitInput);
    EXPECT_NE(r.console.find("Datei GRUVWS nicht verhanden - Simulation abgebrochen"), std::string::npos) << r.console;
}

}  // namespace
}  // namespace gruv
