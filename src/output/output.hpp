// Result output: printed section tables, isoline files, observation file.
#pragma once
#include <cstdint>

#include "state/model.hpp"

namespace gruv {

// Printed tables ---------------------------------------------------------------
//! TMPDRU: temperature sections (degrees Celsius) with time and convergence lines.
void TMPDRU(Model& m);
//! PIEDRU: head sections with time and convergence lines.
void PIEDRU(Model& m);
//! PROFIL: title N and the sections of A (N <= 6) or IA (N >= 7); N advances by one.
void PROFIL(Model& m, const NodeArray<float>& A, const NodeArray<int32_t>& IA, int32_t& N);
//! VDRUCK: per-layer table of the prescribed velocities.
void VDRUCK(Model& m);

// Isoline files ----------------------------------------------------------------
//! ISODRV: appends one time slice to every selected isoline file.
void ISODRV(Model& m);
//! ISOASC: one slice (and at the first print time the header) of a text isoline file.
void ISOASC(Model& m, int32_t LU, int32_t D1, int32_t D2, int32_t N1, int32_t N2, const float* C1, const float* C2);
//! ISOBIN: the same for a byte-stream isoline file.
void ISOBIN(Model& m, int32_t LU, int32_t D1, int32_t D2, int32_t N1, int32_t N2, const float* C1, const float* C2);

// Observation file -------------------------------------------------------------
//! OBSDAT: one record of time and observed temperatures/heads.
void OBSDAT(Model& m);

}  // namespace gruv
