// CSV tables of whole runs: every value against the listing, the
// observation file and the console lines that print it; the record layout;
// the runs that stop because a table cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "records/records.hpp"
#include "results/csv_tables.hpp"
#include "results/result_decks.hpp"
#include "state/stop.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

namespace fs = std::filesystem;
using Table = std::vector<std::vector<std::string>>;

//! Reads an RFC 4180 table: CRLF line ends, quoted fields with doubled quotes.
Table parse_csv(const std::string& text) {
    Table rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (std::size_t n = 0; n < text.size(); ++n) {
        const char c = text[n];
        if (quoted) {
            if (c == '"' && n + 1 < text.size() && text[n + 1] == '"') {
                field += '"';
                ++n;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\r') {
            EXPECT_EQ(text.substr(n, 2), "\r\n") << "a record ends with CRLF";
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            ++n;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(row.empty() && field.empty()) << "the last record ends with CRLF";
    return rows;
}

//! A value of a table as the listing's format prints it.
std::string printed(const FormatProgram& f, double v) { return format_records(f, {{out(v)}}).front(); }
std::string printed(const FormatProgram& f, const std::string& v) { return printed(f, std::stod(v)); }

//! The numbers the listing prints after each line starting with label.
std::vector<std::string> listed(const std::string& listing, const std::string& label) {
    std::vector<std::string> values;
    std::istringstream in(listing);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(label, 0) == 0) values.push_back(line.substr(label.size(), 15));
    return values;
}

TEST(CsvRow, FieldsAndNumbers) {
    struct Case {
        std::string row, expected;
    };
    const Case cases[] = {
        {(CsvRow() << 0.1 << 0.1f << 1.0e-7 << -0.0f << int32_t{-3}).line().data(), "0.1,0.1,1e-07,-0,-3\r\n"},
        {(CsvRow() << 10.600000000000023 << 3261870065514.5044).line().data(),
         "10.600000000000023,3261870065514.5044\r\n"},
        {(CsvRow() << "time_s" << "T(6,4,2) x=11 m" << "say \"hi\"").line().data(),
         "time_s,\"T(6,4,2) x=11 m\",\"say \"\"hi\"\"\"\r\n"},
        {(CsvRow() << 1.0f).empty().empty().line().data(), "1,,\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.row, c.expected);
}

TEST(CsvResults, HeatOnlyExampleAgreesWithListingAndConsole) {
    auto r = test::run_deck(
        {{"GRUVAT", test::source_file("examples/borehole_heat_exchanger/borehole_heat_exchanger.gruv")}}, "",
        "GRUVAT", test::csv_only("csv"));
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    EXPECT_FALSE(fs::exists("csv/observations.csv"));  // the deck has no observation nodes

    // One row at the start and at each of the three printouts, which end the run.
    const Table energy = parse_csv(r.file("csv/energy.csv"));
    ASSERT_EQ(energy.size(), 5u);
    EXPECT_EQ(energy[0], (std::vector<std::string>{"time_s", "time_TAG", "T_min_degC", "T_max_degC", "E_total_J",
                                                   "dE_since_last_J", "dE_since_start_J", "Q_exchangers_W"}));
    const std::string listing = r.file("sonde.lst");
    const auto E = listed(listing, " Energieinhalt gesamt:                       ");
    const auto last = listed(listing, " Energiebilanz seit dem letzten Ausdruck:    ");
    const auto start = listed(listing, " Energiebilanz seit Beginn der Simulation:   ");
    const auto Q = listed(listing, " Waermefluss zum Waermetauscher              ");
    ASSERT_EQ(E.size(), 4u);
    ASSERT_EQ(Q.size(), 4u);
    static const FormatProgram& e15 = fixed_format("(1PE15.6)");
    for (std::size_t n = 0; n < 4; ++n) {
        const auto& row = energy[n + 1];
        EXPECT_EQ(row[0], std::to_string(n * 864000));
        EXPECT_EQ(row[1], std::to_string(n * 10));
        // The exchanger nodes are held at 0 degC, the ground starts at 10.
        EXPECT_NEAR(std::stod(row[2]), 0.0, 1e-4);
        EXPECT_NEAR(std::stod(row[3]), 10.0, 1e-3);
        EXPECT_EQ(printed(e15, row[4]), E[n]) << n;
        EXPECT_EQ(printed(e15, row[5]), last[n]) << n;
        EXPECT_EQ(printed(e15, row[6]), start[n]) << n;
        EXPECT_EQ(printed(e15, row[7]), Q[n]) << n;
    }

    // One row per step, with the sweeps the progress line shows.
    const Table solver = parse_csv(r.file("csv/solver.csv"));
    ASSERT_EQ(solver.size(), 31u);
    EXPECT_EQ(solver[0],
              (std::vector<std::string>{"step", "time_s", "time_TAG", "dt_s", "heat_sweeps", "heat_error_K"}));
    std::vector<std::string> sweeps;
    std::istringstream console(r.console);
    for (std::string line; std::getline(console, line);)
        if (auto at = line.find("NIT ="); at != std::string::npos) sweeps.push_back(line.substr(at + 5, 4));
    ASSERT_EQ(sweeps.size(), 30u);
    static const FormatProgram& i4 = fixed_format("(I4)");
    for (int n = 1; n <= 30; ++n) {
        const auto& row = solver[static_cast<std::size_t>(n)];
        EXPECT_EQ(row[0], std::to_string(n));
        EXPECT_EQ(row[2], std::to_string(n));
        EXPECT_EQ(row[3], "86400");
        EXPECT_EQ(format_records(i4, {{out(std::stoi(row[4]))}}).front(), sweeps[n - 1]);
        EXPECT_LT(std::stod(row[5]), 0.001);  // converged to EPST
    }
}

TEST(CsvResults, CoupledRunAgreesWithObservationFileAndListing) {
    auto r = test::run_deck({{"GRUVAT", test::coupled_freezing_deck()}}, "", "GRUVAT", test::csv_only("out"));
    ASSERT_EQ(r.status, kExitNormal) << r.console;

    // Temperature and head of each node, in deck order, named by node,
    // coordinates and unit; one row per record of the observation file.
    const Table obs = parse_csv(r.file("out/observations.csv"));
    ASSERT_FALSE(obs.empty());
    EXPECT_EQ(obs[0], (std::vector<std::string>{
                          "time_s", "time_TAG", "T(6,4,2) x=11 y=7 z=3.5 m [degC]", "H(6,4,2) x=11 y=7 z=3.5 m [m]",
                          "T(7,4,2) x=13 y=7 z=3.5 m [degC]", "H(7,4,2) x=13 y=7 z=3.5 m [m]",
                          "T(10,4,2) x=19 y=7 z=3.5 m [degC]", "H(10,4,2) x=19 y=7 z=3.5 m [m]"}));
    std::istringstream records(r.file("BEOB"));
    static const FormatProgram& f12 = fixed_format("(F12.3)");
    static const FormatProgram& f8 = fixed_format("(F8.3)");
    std::size_t n = 1;
    for (std::string line; std::getline(records, line); ++n) {
        ASSERT_LT(n, obs.size());
        std::string expected = printed(f12, obs[n][1]);
        for (std::size_t v = 2; v < obs[n].size(); ++v) expected += printed(f8, obs[n][v]);
        EXPECT_EQ(expected, line) << "record " << n;
        EXPECT_DOUBLE_EQ(std::stod(obs[n][0]), 86400.0 * std::stod(obs[n][1]));
    }
    EXPECT_EQ(n, obs.size());
    EXPECT_EQ(n, 12u);  // the start, ten steps and the end

    // Rows at the start, the printouts after 4 and 8 days and the end. The
    // heat flow needs an assembled heat equation: none yet at the start of
    // a coupled run.
    const Table energy = parse_csv(r.file("out/energy.csv"));
    ASSERT_EQ(energy.size(), 5u);
    EXPECT_EQ(energy[1][1], "0");
    EXPECT_EQ(energy[1][7], "");
    EXPECT_EQ(energy[2][1], "4");
    EXPECT_EQ(energy[3][1], "8");
    EXPECT_EQ(energy[4][1], "10");
    EXPECT_NEAR(std::stod(energy[4][2]), -10.0, 1e-4);  // the exchanger
    const std::string listing = r.file("LISTE");
    const auto E = listed(listing, " Energieinhalt gesamt:                       ");
    const auto last = listed(listing, " Energiebilanz seit dem letzten Ausdruck:    ");
    const auto Q = listed(listing, " Waermefluss zum Waermetauscher              ");
    ASSERT_EQ(E.size(), 2u);
    static const FormatProgram& e15 = fixed_format("(1PE15.6)");
    for (std::size_t p = 0; p < 2; ++p) {
        EXPECT_EQ(printed(e15, energy[p + 2][4]), E[p]);
        EXPECT_EQ(printed(e15, energy[p + 2][7]), Q[p]);
    }
    EXPECT_EQ(printed(e15, energy[3][5]), last[1]);
    // The balance since the start of this table counts from the initial state.
    EXPECT_DOUBLE_EQ(std::stod(energy[4][6]), std::stod(energy[4][4]) - std::stod(energy[1][4]));
    EXPECT_LT(std::stod(energy[4][6]), 0.0);  // the exchanger draws heat

    const Table solver = parse_csv(r.file("out/solver.csv"));
    ASSERT_EQ(solver.size(), 11u);
    EXPECT_EQ(solver[0], (std::vector<std::string>{"step", "time_s", "time_TAG", "dt_s", "flow_sweeps", "flow_error_m",
                                                   "heat_sweeps", "heat_error_K"}));
}

TEST(ResultFiles, ListingAndConsoleStayAsWithoutThem) {
    // With the full routine trace (IBILD 2) every extra call of a traced
    // routine would show on the console; the energy balance printed at every
    // printout would move if its balance items were touched.
    const std::string deck = test::coupled_freezing_deck(2, 5);  // a printout and the end
    auto plain = test::run_deck({{"GRUVAT", deck}});
    ResultPaths all;
    all.netcdf_file = "run.nc";
    all.vtk_dir = "vtk";
    all.csv_dir = "csv";
    auto with = test::run_deck({{"GRUVAT", deck}}, "", "GRUVAT", all);
    ASSERT_EQ(with.status, kExitNormal);
    EXPECT_NE(plain.console.find("Subroutine WASEIS"), std::string::npos);
    EXPECT_EQ(test::mask_volatile(with.console), test::mask_volatile(plain.console));
    EXPECT_EQ(test::mask_volatile(with.file("LISTE")), test::mask_volatile(plain.file("LISTE")));
    EXPECT_EQ(with.file("BEOB"), plain.file("BEOB"));
}

TEST(CsvResults, TableThatCannotBeWrittenStopsTheRun) {
    // A folder whose parent is missing, a file in the folder's place, and a
    // table on a full disk (a folder prepared beside the run).
    test::ScratchDir prepared("csv-full");
    fs::create_directory("full");
    fs::create_symlink("/dev/full", "full/solver.csv");
    const std::string full = (prepared.path() / "full").string();
    struct Case {
        std::string csv_dir;
        std::map<std::string, std::string> extra_files;
        std::string message;
        bool before_listing;  // stopped before the listing is opened
    };
    const Case cases[] = {
        {"missing/out", {}, " Verzeichnis missing/out konnte nicht angelegt werden: Verzeichnis nicht gefunden", true},
        {"out", {{"out", "keine Tabellen\n"}},
         " Verzeichnis out konnte nicht angelegt werden: eine Datei dieses Namens ist vorhanden", true},
        {full, {}, " Datei " + full + "/solver.csv konnte nicht geschrieben werden: kein Speicherplatz", false},
    };
    for (const Case& c : cases) {
        std::map<std::string, std::string> files = c.extra_files;
        files["GRUVAT"] = test::coupled_freezing_deck();
        auto r = test::run_deck(files, "", "GRUVAT", test::csv_only(c.csv_dir));
        EXPECT_EQ(r.status, kExitWrite) << c.message;
        EXPECT_NE(r.console.find(c.message + "\n"), std::string::npos) << r.console;
        EXPECT_EQ(r.console.find("normal beendet"), std::string::npos);
        // Stopped before the first time step: no observation record.
        EXPECT_EQ(r.file("BEOB"), "");
        const std::string listing = r.file("LISTE");
        EXPECT_EQ(fs::exists("LISTE"), !c.before_listing);
        if (!c.before_listing) {
            const std::string lines = c.message + "\n                Berechnung vorzeitig abgebrochen\n";
            EXPECT_NE(listing.find(lines), std::string::npos) << listing;
        }
    }
}

}  // namespace
}  // namespace gruv
