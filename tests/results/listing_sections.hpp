// The section tables of a listing read back as text, so that the values of
// the field files can be compared with them at the printed precision.
#pragma once
#include <sstream>
#include <string>
#include <vector>

namespace gruv::test {

//! One section table: its heading and, per grid line, the printed values
//! (each the text of its F7.2 field).
struct ListedSection {
    std::string heading;
    std::vector<std::vector<std::string>> rows;
};

//! The sections whose heading contains `what` ("Temperaturverteilung",
//! "Piezometerhoehen"), in listing order; `across` values per row (ten to a
//! line) and `down` rows, for the X-Z, Y-Z and X-Y sections in turn.
inline std::vector<ListedSection> listed_sections(const std::string& listing, const std::string& what, int nx,
                                                  int ny, int nz) {
    std::vector<std::string> lines;
    std::istringstream in(listing);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    std::vector<ListedSection> sections;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& h = lines[n];
        if (h.find(what) == std::string::npos || h.find(" Meter - ") == std::string::npos) continue;
        const bool xy = h.find("X - Y") != std::string::npos;
        const int across = h.find("Y - Z") != std::string::npos ? ny : nx;
        const int down = xy ? ny : nz;
        const std::size_t per_row = static_cast<std::size_t>((across + 9) / 10);
        ListedSection s{h, {}};
        std::size_t at = n + 2 + per_row;  // the empty line, the header row
        for (int r = 0; r < down; ++r) {
            std::vector<std::string> values;
            for (std::size_t l = 0; l < per_row; ++l, ++at)
                for (int v = 0; v < 10 && static_cast<int>(values.size()) < across; ++v)
                    values.push_back(lines.at(at).substr(10 + 7 * static_cast<std::size_t>(v), 7));
            s.rows.push_back(values);
        }
        sections.push_back(s);
    }
    return sections;
}

}  // namespace gruv::test
