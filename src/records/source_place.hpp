// Places in input files: where a value, or the failure of a read, lies, and
// the location line that messages about it add.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace gruv {

//! Where a value, or the failure of a read, lies in an input file.
struct SourcePlace {
    std::string file;          //!< file name as it was opened ("" when not known)
    int64_t line = 0;          //!< 1-based line number; with at_end the last line before the end
    bool at_end = false;       //!< the file ended after `line`
    int32_t first_column = 0;  //!< 1-based first column of the field; 0 when the whole line is meant
    int32_t last_column = 0;   //!< 1-based last column of the field
    bool has_text = false;     //!< `text` is to be shown
    std::string text;          //!< what the field (or the line) holds, without the blanks around it
    std::string context;       //!< the part of the input the line belongs to ("Schicht 2", "Eintrag 3 (TEMP)")

    bool known() const { return line > 0 || at_end; }
};

//! A text as a location line shows it: without the blanks around it,
//! control characters as '?', a long text cut with "...".
std::string shown_text(std::string_view text);

//! The line that follows a message about an input file, e.g.
//! " Datei GRUVAT, Zeile 7, Spalten 41-50: '1,0'". Empty for an unknown place.
std::string location_line(const SourcePlace& place);

}  // namespace gruv
