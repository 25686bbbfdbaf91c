// Scheduled changes: the conversion of keyword entries into changes of the
// node fields, and the additional data file that supplies new values during
// the run.
#pragma once
#include <cstdint>

#include "state/model.hpp"

namespace gruv {

//! UMWAND: applies entry N of the value-conversion table in state M
//! (-1 start and additional data file, 1 switched on, 0 switched off).
void UMWAND(Model& m, int32_t N, int32_t M);
//! UMWREA: A = V*ZBRX^EX*ZBRY^EY*ZBRZ^EZ/ZVOL^EV + ADD'*A on the range of entry N.
void UMWREA(Model& m, NodeArray<float>& A, int32_t N, float V, int32_t ADD, int32_t EX, int32_t EY, int32_t EZ, int32_t EV);
//! UMWDBL: A = V on the range of entry N (REAL*8 arrays).
void UMWDBL(Model& m, NodeArray<double>& A, int32_t N, float V);
//! UMWINT: A = INT(V) on the range of entry N (flag arrays).
void UMWINT(Model& m, NodeArray<int32_t>& A, int32_t N, float V);
//! ZUSDAT: reads (at the first call the head and) the next value record of the
//! additional data file and applies it; ends the run at the end of the file.
void ZUSDAT(Model& m, int32_t& IZANF);

}  // namespace gruv
