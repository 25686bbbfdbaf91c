// Step control in the freezing range. Density, conductivity and apparent heat
// capacity of the pore water change steeply while it freezes, so a solver
// update there may overshoot. PHATST limits the update of a node that lies
// below its freezing temperature before or after the update to at most the
// freezing-interval width DTGEF, shortened so that the liquid-water fraction
// changes by at most DWAN, and then re-assembles the coefficients around it.
#include <algorithm>
#include <cstdint>

#include "flow/properties.hpp"
#include "heat/heat.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! Temperature step allowed across a change of the water fraction by dX:
//! the full width, or the share of it that changes the fraction by DWAN.
inline float limited_step(float width, float dX, float dwan) {
    if (dX <= dwan) return width;
    return width * dwan / dX;
}

}  // namespace

template <bool Trace>
void phase_step(Model& m, int32_t I, int32_t J, int32_t K, double T0, HeatAssembly* record) {
    if constexpr (Trace) ROUTIN(m, "PHATST");
    if (m.ifld.IFLG(I, J, K) != 1) return;
    double& T = m.temp.TEMP(I, J, K);
    const double T1 = T;
    const double TG = m.temp.TGEF(K);
    if (T0 >= TG && T1 >= TG) return;
    const double D = T1 - T0;
    if (D == 0.0) return;
    const float h = m.par4.DTHALB;
    const float s = m.par4.DTGEF;
    const float dwan = m.par4.DWAN;

    if (D > 0.0) {
        // Warming: the interval from d - h to min(d + h, 0) below freezing.
        const float x1 = static_cast<float>((T0 - TG) - static_cast<double>(h));
        const float X1 = WASEIS<Trace>(m, x1, K);
        float x2 = x1 + s;
        if (x2 > 0.0f) x2 = 0.0f;
        const float X2 = WASEIS<Trace>(m, x2, K);
        const float dT = limited_step(x2 - x1, X2 - X1, dwan);
        // The step is a limit: a smaller update is kept as the solver made it.
        T = T0 + std::min(D, static_cast<double>(dT));
    } else if (T0 < TG) {
        // Cooling below freezing, over the same interval.
        float y1 = static_cast<float>((T0 - TG) + static_cast<double>(h));
        if (y1 > 0.0f) y1 = 0.0f;
        const float X1 = WASEIS<Trace>(m, y1, K);
        const float y2 = static_cast<float>((T0 - TG) - static_cast<double>(h));
        const float X2 = WASEIS<Trace>(m, y2, K);
        const float dT = limited_step(y1 - y2, X1 - X2, dwan);
        T = T0 - std::min(-D, static_cast<double>(dT));
    } else {
        // Onset of freezing: from at or above TG to below it.
        const float X1 = WASEIS<Trace>(m, -h, K);
        const float dT = limited_step(s, 1.0f - X1, dwan);
        T = std::max(T1, TG - static_cast<double>(dT));
    }

    // The properties around the node follow its new temperature; where the
    // storage term changes with them, so does the right-hand side.
    const auto& d = m.ndim;
    const int32_t I1 = std::max(I - 1, 1), J1 = std::max(J - 1, 1), K1 = std::max(K - 1, 1);
    const int32_t I2 = std::min(I + 1, d.NX), J2 = std::min(J + 1, d.NY), K2 = std::min(K + 1, d.NZ);
    reassemble_heat_box(m, I1, J1, K1, I2, J2, K2, record);
}

template void phase_step<true>(Model&, int32_t, int32_t, int32_t, double, HeatAssembly*);
template void phase_step<false>(Model&, int32_t, int32_t, int32_t, double, HeatAssembly*);

void PHATST(Model& m, int32_t I, int32_t J, int32_t K, double T0) {
    m.inf2.IBILD >= 2 ? phase_step<true>(m, I, J, K, T0) : phase_step<false>(m, I, J, K, T0);
}

}  // namespace gruv
