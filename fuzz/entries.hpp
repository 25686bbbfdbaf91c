// The entry points of the fuzz targets: one input, as bytes, carried through
// the format parser, the record reader and writer, the card reader or a whole
// run. The libFuzzer targets and the regression test replay inputs through
// the same functions.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace gruv::fuzz {

//! What an input showed: empty when the program behaved soundly, else a
//! description of the fault (a broken invariant, an internal error).
using Finding = std::string;

//! The text as a format: parse errors carry a column inside the text; a
//! parsed program is well formed, and its walk never takes more steps between
//! two items than the parser allows.
Finding format_input(std::string_view data);

//! First line a format, the other lines records: read into items that suit
//! the format's descriptors, then written back with it.
Finding records_input(std::string_view data);

//! Cards as a deck holds them: format cards and their data, read one after
//! the other until the end of the text.
Finding cards_input(std::string_view data);

//! A whole run, limited to a few steps on a small grid, in a scratch working
//! directory. The text up to the first line "@@@ NAME" is the main input file
//! "GRUVAT"; each such line starts a further file NAME (an additional data
//! file, a restart file "GRUVWS").
Finding deck_input(std::string_view data);

//! Directories besides the scratch directory into which a run's thread may
//! write (where libFuzzer puts crash files); everything else is closed to
//! writing where the kernel offers Landlock.
void allow_writes_beneath(std::vector<std::string> dirs);

//! True where the kernel offers Landlock, so that a run cannot write outside
//! its scratch directory (and the directories allowed above).
bool writes_confined();

}  // namespace gruv::fuzz
