// Model input: grid geometry, node-by-node field input, the layer-wise short
// input with its keyword table, and the echo of the input.
#pragma once
#include <cstdint>
#include <string_view>

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
//! CHECKU: validates the keywords of the main input (MODE 1) or of the additional data file (MODE 0).
void CHECKU(Model& m, int32_t MODE);
//! Position of a keyword in the keyword table (1..31), or 0 when it is not there.
int keyword_index(std::string_view word);
//! DATAUS: echo of every input field, layer by layer, and the node distances.
void DATAUS(Model& m);

}  // namespace gruv
