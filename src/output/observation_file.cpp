// Observation file: one record per call with the simulated time and the
// temperatures and/or heads of up to ten observation nodes, so that the file
// becomes a time series per node.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "output/output.hpp"
#include "output/time_stamp.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

void OBSDAT(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "OBSDAT");
    // Heat only: all values on one line. With heads: ten values on the first
    // line, the rest on a second one indented past the time column.
    static const FormatProgram& f_heat = fixed_format("(A12,10F8.3)");
    static const FormatProgram& f_pairs = fixed_format("(A12,10F8.3/9X,10F8.3)");
    static const FormatProgram& f_time = fixed_format("(F12.3)");
    static const FormatProgram& f_time_scaled = fixed_format("(1PE12.5)");

    const auto& b = m.inf4;
    const auto& T = m.temp.TEMP;
    const auto& H = m.wpot.WPOT;

    // Simulated time in the time unit of the time-step card, rounded to REAL*4.
    const float t = m.par1.ZEIT / m.par1.FZEIT;
    const std::string stamp = time_stamp(t, f_time, f_time_scaled);

    std::array<OutItem, 1 + 2 * MAXBEO> items{};
    int32_t n_items = 0;
    items[static_cast<std::size_t>(n_items++)] = out(std::string_view(stamp));
    const int32_t nodes = std::min(b.NBEOB, MAXBEO);
    for (int32_t n = 1; n <= nodes; ++n) {
        const int i = b.IBEOB(n), j = b.JBEOB(n), k = b.KBEOB(n);
        if (b.IMODE <= 1) items[static_cast<std::size_t>(n_items++)] = out(T(i, j, k) - 273.15);
        if (b.IMODE >= 1) items[static_cast<std::size_t>(n_items++)] = out(H(i, j, k));
    }
    const std::span<const OutItem> list(items.data(), static_cast<std::size_t>(n_items));
    write_records(m.io.unit(7), b.IMODE == 0 ? f_heat : f_pairs, list);
}

}  // namespace gruv
