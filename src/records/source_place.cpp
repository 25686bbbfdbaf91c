// Places in input files and their location lines.
#include "records/source_place.hpp"

namespace gruv {

namespace {
constexpr std::size_t kShownCharacters = 80;  // longer texts are cut in a location line
}  // namespace

std::string shown_text(std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    std::string s;
    const bool cut = t.size() > kShownCharacters;
    for (const char c : cut ? t.substr(0, kShownCharacters - 3) : t) {
        const auto u = static_cast<unsigned char>(c);
        s += (u < 0x20 || u == 0x7F) ? '?' : c;
    }
    if (cut) s += "...";
    return s;
}

std::string location_line(const SourcePlace& p) {
    if (!p.known()) return {};
    std::string s = " ";
    if (!p.file.empty()) s += "Datei " + p.file + ", ";
    s += (p.at_end ? "Dateiende nach Zeile " : "Zeile ") + std::to_string(p.line);
    if (!p.context.empty()) s += ", " + p.context;
    if (p.first_column > 0) {
        s += p.last_column > p.first_column
                 ? ", Spalten " + std::to_string(p.first_column) + "-" + std::to_string(p.last_column)
                 : ", Spalte " + std::to_string(p.first_column);
    }
    if (p.has_text) s += ": '" + p.text + "'";
    return s;
}

}  // namespace gruv
