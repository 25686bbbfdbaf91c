// Time stamps of the result files. A stamp goes into its fixed-point field as
// long as it fits; a time too large for that field (decades counted in
// seconds, years in minutes) is written in scaled exponent form of the same
// width instead of being lost as a field of asterisks.
#pragma once
#include <string>
#include <vector>

#include "records/records.hpp"

namespace gruv {

//! The one-record text of v under `fixed`, or under `scaled` when the fixed
//! form overflows its field. Both formats take one value and have the same width.
inline std::string time_stamp(float v, const FormatProgram& fixed, const FormatProgram& scaled) {
    const OutItem item[] = {out(v)};
    std::vector<std::string> text = format_records(fixed, item);
    if (text.empty() || text.front().find('*') != std::string::npos) text = format_records(scaled, item);
    return text.empty() ? std::string() : text.front();
}

}  // namespace gruv
