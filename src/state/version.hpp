// The program's name and version, as --version and the result files state them.
#pragma once
#include <string_view>

namespace gruv {

inline constexpr std::string_view kProgramName = "GRUVELAN-3D";
inline constexpr std::string_view kProgramVersion = "Version 1.31 22/02/2006";

}  // namespace gruv
