// Model input: grid geometry, node-by-node field input, the layer-wise short
// input with its keyword table, and the echo of the input.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "records/card_reader.hpp"
#include "state/model.hpp"

namespace gruv {

//! GITTER: reads the grid cards "21 ", "23 ", "25 " and derives the geometry.
void GITTER(Model& m);
//! DATEIN: card 19, the grid and the field blocks, node by node.
void DATEIN(Model& m);
//! READMD, READMR, READMI: one field block (format card and NZ*NY rows of NX values).
void READMD(Model& m, NodeArray<double>& A, int32_t D1, int32_t D2, int32_t D3);
void READMR(Model& m, NodeArray<float>& A, int32_t D1, int32_t D2, int32_t D3);
void READMI(Model& m, NodeArray<int32_t>& A, int32_t D1, int32_t D2, int32_t D3);
//! KURZIN: card 19 with boundary codes, the grid, card 27 per layer, card 29 entries.
void KURZIN(Model& m);
//! Where an entry of the value-conversion table stands in its file: its
//! keyword field, and its node indices with the selector.
struct EntryPlace {
    SourcePlace keyword;
    SourcePlace nodes;
};
//! The places of an entry just read from `in` as entry N (keyword first,
//! node indices and selector as items nodes_first .. nodes_first + 3).
EntryPlace entry_place(const InputUnit& in, int32_t N, int32_t nodes_first);

//! CHECKU: validates the keywords of the main input (MODE 1) or of the
//! additional data file (MODE 0). places, when given, hold the places of the
//! entries checked, in order; each rejected entry then names its line.
void CHECKU(Model& m, int32_t MODE, std::span<const EntryPlace> places = {});
//! Position of a keyword in the keyword table (1..31), or 0 when it is not there.
int keyword_index(std::string_view word);

//! The keywords of the value-conversion table, numbered by their position in
//! the keyword table (the order in which they are compared and listed).
enum class Keyword : int {
    Unknown = 0,
    CPGE, GWNB, GWVX, GWVY, GWVZ, HTOT, IFLG, JFLG, LEAK, PHIG, PHIN, QUEL, RHOG, RNZF, SPEI, SOUC,
    TRSX, TRSY, TRSZ, TTOT, TXYZ, TEMP, WATT, WPXM, WPYM, WPZM, WPXY, WPXZ, WPYZ, WLKG, WPOT,
};
//! The keyword of a four-character word (Unknown when it is not in the table).
Keyword keyword_of(const Word4& word);
//! The four characters of a keyword of the table.
std::string_view keyword_text(Keyword key);

//! A block of nodes: I = i0..i1, J = j0..j1, K = k0..k1.
struct NodeRange {
    int32_t i0, i1, j0, j1, k0, k1;
};
//! The nodes that range selector `selector` addresses with the node indices
//! of entry N: 1 row along X, 2 column along Y, 3 vertical line, 4 plane K,
//! 5 plane J, 6 plane I, 7 whole grid, anything else the single node.
NodeRange selector_range(const Model& m, int32_t N, int32_t selector);
//! Rejects entries of the value-conversion table whose node indices lie
//! outside the grid for their selector, and LEAK entries without a layer
//! below: MODE 1 the entries of the main input, MODE 0 those of the
//! additional data file. Lists each such entry, then ends the run.
void check_entry_nodes(Model& m, int32_t MODE, std::span<const EntryPlace> places = {});
//! DATAUS: echo of every input field, layer by layer, and the node distances.
void DATAUS(Model& m);

}  // namespace gruv
