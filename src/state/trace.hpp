// The routine trace: on entry many routines write their name to the console
// when the trace level IBILD asks for it. The check of IBILD is the caller's.
#pragma once
#include <string_view>

namespace gruv {

struct Model;

//! ROUTIN: writes "********* Subroutine NAME **********" from column 17 to the console.
void ROUTIN(Model& m, std::string_view name);

}  // namespace gruv
