// The ParaView files of whole runs parsed back: the collection, the XML of
// the grid files and their raw appended data against the model's state; a
// run whose grid file cannot be created half way, and field files that fail
// while they are written in the background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
#include <string>
#include <vector>

#include "results/result_decks.hpp"
#include "state/stop.hpp"
#include "support/test_support.hpp"

namespace gruv {
namespace {

namespace fs = std::filesystem;

//! The value of attribute `name` in an XML element's text.
std::string attribute(std::string_view element, const std::string& name) {
    const std::string head = " " + name + "=\"";
    const std::size_t at = element.find(head);
    if (at == std::string_view::npos) return "<none>";
    const std::size_t from = at + head.size();
    return std::string(element.substr(from, element.find('"', from) - from));
}

//! The text of every element `<tag .../>` in xml, in order.
std::vector<std::string_view> elements(std::string_view xml, const std::string& tag) {
    std::vector<std::string_view> found;
    for (const std::size_t p : test::positions_after(xml, "<" + tag + " "))
        found.push_back(xml.substr(p - 1, xml.find("/>", p) - p + 1));
    return found;
}

//! A grid file read back: the XML before the appended data and its arrays.
struct GridFile {
    std::string xml;
    std::map<std::string, std::vector<double>> arrays;  // values, components interleaved
    std::map<std::string, std::string> types;

    explicit GridFile(const std::string& bytes) {
        const std::string start = "<AppendedData encoding=\"raw\">";
        const std::size_t head = bytes.find(start);
        EXPECT_NE(head, std::string::npos);
        const std::size_t data = bytes.find('_', head) + 1;
        xml = bytes.substr(0, head);
        for (const std::string_view e : elements(xml, "DataArray")) {
            EXPECT_EQ(attribute(e, "format"), "appended");
            const std::string type = attribute(e, "type");
            const std::size_t at = data + std::stoul(attribute(e, "offset"));
            std::uint64_t n = 0;
            std::memcpy(&n, bytes.data() + at, 8);
            const std::size_t size = type == "Float64" ? 8 : 4;
            EXPECT_EQ(n % size, 0u) << attribute(e, "Name");
            std::vector<double> values;
            for (std::size_t v = 0; v < n / size; ++v) {
                const char* p = bytes.data() + at + 8 + v * size;
                if (type == "Float64") {
                    double d;
                    std::memcpy(&d, p, 8);
                    values.push_back(d);
                } else if (type == "Float32") {
                    float f;
                    std::memcpy(&f, p, 4);
                    values.push_back(static_cast<double>(f));
                } else {
                    int32_t i;
                    std::memcpy(&i, p, 4);
                    values.push_back(i);
                }
            }
            arrays[attribute(e, "Name")] = values;
            types[attribute(e, "Name")] = type;
        }
        EXPECT_EQ(bytes.substr(bytes.size() - 30), "\n  </AppendedData>\n</VTKFile>\n");
    }
};

TEST(VtkResults, CollectionAndGridFilesOfACoupledRun) {
    auto r = test::run_deck({{"GRUVAT", test::coupled_freezing_deck()}}, "", "GRUVAT", test::vtk_only("vtk"));
    ASSERT_EQ(r.status, kExitNormal) << r.console;
    const std::string pvd = r.file("vtk/results.pvd");
    std::vector<std::string> times, files;
    for (const std::string_view e : elements(pvd, "DataSet")) {
        times.push_back(attribute(e, "timestep"));
        files.push_back(attribute(e, "file"));
    }
    EXPECT_EQ(times, (std::vector<std::string>{"0", "345600", "691200", "864000"}));
    EXPECT_EQ(files, (std::vector<std::string>{"results_00000.vtr", "results_00001.vtr", "results_00002.vtr",
                                                 "results_00003.vtr"}));

    const GridFile g(r.file("vtk/results_00003.vtr"));
    EXPECT_NE(g.xml.find("<RectilinearGrid WholeExtent=\"0 12 0 8 0 3\">"), std::string::npos);
    EXPECT_EQ(g.arrays.at("TimeValue"), (std::vector<double>{864000.0}));
    EXPECT_EQ(g.arrays.at("step"), (std::vector<double>{10}));
    // Cell faces in metres; z upward from the deepest face to the surface.
    EXPECT_EQ(g.arrays.at("z"), (std::vector<double>{-10.0, -5.0, -2.0, 0.0}));
    EXPECT_EQ(g.arrays.at("x").size(), 13u);
    EXPECT_EQ(g.arrays.at("x").back(), 24.0);
    EXPECT_EQ(g.arrays.at("y").back(), 16.0);
    for (const char* name : {"temperature", "ice_fraction", "head"}) EXPECT_EQ(g.arrays.at(name).size(), 288u) << name;
    // The fields written once lie beside the collection.
    EXPECT_EQ(g.arrays.count("cell_volume") + g.arrays.count("T_flag"), 0u);
    const GridFile fixed(r.file("vtk/properties.vtr"));
    EXPECT_EQ(fixed.arrays.count("TimeValue"), 0u);
    EXPECT_EQ(fixed.arrays.at("z"), g.arrays.at("z"));
    for (const char* name : {"cell_volume", "porosity", "rock_density", "hydraulic_conductivity_z", "T_flag"})
        EXPECT_EQ(fixed.arrays.at(name).size(), 288u) << name;
    EXPECT_EQ(g.types.at("temperature"), "Float64");
    EXPECT_EQ(fixed.types.at("T_flag"), "Int32");
    ASSERT_EQ(g.arrays.at("pore_velocity").size(), 3 * 288u);

    // Cells run x fastest, then y, then z from the bottom: layer K is
    // z index 3 - K.
    const Model& m = *r.model;
    auto cell = [](int i, int j, int k) { return static_cast<std::size_t>((i - 1) + 12 * ((j - 1) + 8 * (3 - k))); };
    for (int k = 1; k <= 3; ++k)
        for (int j = 1; j <= 8; ++j)
            for (int i = 1; i <= 12; ++i) {
                const std::size_t c = cell(i, j, k);
                ASSERT_EQ(g.arrays.at("temperature")[c], m.temp.TEMP(i, j, k) - 273.15);
                ASSERT_EQ(g.arrays.at("head")[c], static_cast<double>(m.wpot.WPOT(i, j, k)));
                ASSERT_EQ(g.arrays.at("pore_velocity")[3 * c], static_cast<double>(m.phys.GWVX(i, j, k)));
                ASSERT_EQ(g.arrays.at("pore_velocity")[3 * c + 2], -static_cast<double>(m.phys.GWVZ(i, j, k)));
                ASSERT_EQ(fixed.arrays.at("cell_volume")[c], static_cast<double>(m.gitt.ZVOL(i, j, k)));
            }
    EXPECT_EQ(fixed.arrays.at("T_flag")[cell(6, 4, 2)], 5.0);
    EXPECT_EQ(g.arrays.at("ice_fraction")[cell(6, 4, 2)], 1.0);
    EXPECT_GT(g.arrays.at("pore_velocity")[3 * cell(3, 3, 3)], 0.0);  // the water flows toward +x
}

TEST(VtkResults, GridFileThatCannotBeWrittenStopsTheRunAtItsPrintout) {
    // A folder takes the name of the third grid file (the printout after
    // eight days); the run stops there, and what it wrote before stays whole.
    test::ScratchDir prepared("vtk-blocked");
    fs::create_directories("vtk/results_00002.vtr");
    const std::string dir = (prepared.path() / "vtk").string();
    auto r = test::run_deck({{"GRUVAT", test::coupled_freezing_deck()}}, "", "GRUVAT", test::vtk_only(dir));
    EXPECT_EQ(r.status, kExitWrite);
    const std::string message = " Datei " + dir +
                                "/results_00002.vtr konnte nicht angelegt werden: ist ein Verzeichnis\n"
                                "                Berechnung vorzeitig abgebrochen\n";
    EXPECT_NE(r.console.find(message), std::string::npos) << r.console;
    const std::string listing = r.file("LISTE");
    const std::size_t stop = listing.find(message);
    ASSERT_NE(stop, std::string::npos);
    EXPECT_EQ(listing.find("normal beendet"), std::string::npos);
    // The fields are handed to the writer before the printout's tables; the
    // failure is reported after them: the printout at eight days is whole in
    // the listing, its energy balance too.
    const std::string printed = listing.substr(0, stop);
    EXPECT_NE(printed.find("Piezometerhoehen", printed.find("Temperaturverteilung nach   1 Wochen  1 Tagen")),
              std::string::npos);
    std::size_t balances = 0;
    for (std::size_t at = printed.find("Waermefluss pro Zeiteinheit"); at != std::string::npos;
         at = printed.find("Waermefluss pro Zeiteinheit", at + 1))
        ++balances;
    EXPECT_EQ(balances, 2u);
    EXPECT_EQ(test::read_file(dir + "/results.pvd").find("results_00002"), std::string::npos);
    EXPECT_NE(test::read_file(dir + "/results.pvd").find("results_00001.vtr"), std::string::npos);
    // The observation file holds the records made at the starts of steps 1 to 8.
    const std::string records = r.file("BEOB");
    EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 8);
}

TEST(VtkResults, FieldFileThatFailsInTheBackgroundStopsTheRun) {
    // The field files are written while the run goes on computing: a file on
    // a full disk (a link to /dev/full, created and opened without fault)
    // fails there, and the run stops at a following step with the file's
    // name and the reason, no longer counted as a normal end.
    test::ScratchDir prepared("fields-full");
    fs::create_directory("vtk");
    fs::create_symlink("/dev/full", "vtk/properties.vtr");
    fs::create_symlink("/dev/full", "run.nc");
    const std::string vtk = (prepared.path() / "vtk").string(), nc = (prepared.path() / "run.nc").string();
    // HDF5 cannot make its file on the device: a file not created.
    const struct {
        ResultPaths paths;
        std::string message;
    } cases[] = {
        {test::vtk_only(vtk), " Datei " + vtk + "/properties.vtr konnte nicht geschrieben werden: kein Speicherplatz"},
        {test::netcdf_only(nc), " Datei " + nc + " konnte nicht angelegt werden: "},
    };
    for (const auto& c : cases) {
        auto r = test::run_deck({{"GRUVAT", test::coupled_freezing_deck()}}, "", "GRUVAT", c.paths);
        EXPECT_EQ(r.status, kExitWrite) << c.message;
        EXPECT_NE(r.console.find(c.message), std::string::npos) << r.console;
        const std::string listing = r.file("LISTE");
        EXPECT_NE(listing.find(c.message), std::string::npos);
        EXPECT_EQ(listing.find("normal beendet"), std::string::npos);
        EXPECT_NE(listing.find(" Berechnung vorzeitig abgebrochen"), std::string::npos);
    }
}

}  // namespace
}  // namespace gruv
