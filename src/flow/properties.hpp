// Fluid and rock property functions, evaluated node by node by the flow and
// heat set-ups. Single precision unless a REAL*8 argument is named. The
// per-node functions that trace at IBILD >= 2 take the trace decision as a
// template argument, so that loops choose it once outside.
#pragma once
#include <bit>
#include <cmath>
#include <cstdint>

#include "state/model.hpp"
#include "state/trace.hpp"

namespace gruv {

//! CELS: kelvin to degrees Celsius, in double precision.
inline double CELS(double T) { return T - 273.15; }
//! CELV: degrees Celsius to kelvin, in double precision.
inline double CELV(double T) { return T + 273.15; }

//! HARMON: distance-weighted harmonic mean of A and B (W is the share of A's
//! side); zero when either value is zero, so an inactive node closes its faces.
inline float HARMON(float A, float B, float W) {
    if (A == 0.0f || B == 0.0f) return 0.0f;
    return A * B / (W * B + (1.0f - W) * A);
}

//! Kinematic viscosity of water [mm2/s] at Tc degrees Celsius.
inline float water_viscosity(float Tc) {
    return 0.88977f * (1.0f + 1.70623f * std::exp(-0.03406f * Tc)) - 0.635f;
}

//! WASEIS: liquid-water fraction of the pore water of layer K at DT kelvin
//! from the freezing temperature (not clamped to 0..1).
template <bool Trace = false>
float WASEIS(Model& m, float DT, int32_t K) {
    if constexpr (Trace) ROUTIN(m, "WASEIS");
    if (m.ifld.IEIS(K) != 1) return 1.0f;
    const auto& e = m.ener.EISK;
    return e(K, 1) * std::exp(e(K, 2) * DT) + e(K, 3);
}

//! RHOH2O: density of the pore water of layer K [kg/m3] at T against the
//! freezing temperature TG (same unit).
template <bool Trace = false>
float RHOH2O(Model& m, float T, float TG, int32_t K) {
    if (T >= TG) return m.par3.RHOW;
    const float X = WASEIS<Trace>(m, T - TG, K);
    return (1.0f - X) * m.par3.RHOE + X * m.par3.RHOW;
}

//! WCPH2O: apparent specific heat capacity of the pore water [J/kg*K] at DT
//! kelvin from freezing: the latent heat is spread over the freezing interval
//! as a difference of the water-fraction curve.
template <bool Trace = false>
float WCPH2O(Model& m, float DT, int32_t K) {
    if constexpr (Trace) ROUTIN(m, "WCPH2O");
    const float W = m.par4.DTHALB;
    float X1, X2, D;
    if (W + DT <= 0.0f) {
        X1 = WASEIS<Trace>(m, DT + W, K);
        X2 = WASEIS<Trace>(m, DT - W, K);
        D = m.par4.DTGEF;
    } else {
        X1 = 1.0f;
        X2 = WASEIS<Trace>(m, -W, K);
        D = W;
    }
    const float Xm = 0.5f * (X1 + X2);
    return Xm * m.par3.CPW + (1.0f - Xm) * m.par3.CPE + m.par3.SCHMW * (X1 - X2) / D;
}

//! The last water viscosity computed, kept to be taken again for the same
//! temperature (the formula depends on nothing else).
struct ViscosityMemo {
    float Tf = 0.0f;   //!< face temperature [K]
    float nu = 0.0f;   //!< kinematic viscosity at Tf [mm2/s]
    bool set = false;  //!< Tf and nu hold a pair
};

//! VISKOS: kinematic viscosity [mm2/s] at the faces of node (I,J,K) toward
//! I+1, J+1, K+1, at the upstream temperature (or the interface mean when the
//! face carries no flow); 1.0 on the last node of a direction. The memo, if
//! given, saves the formula for a temperature met just before.
inline void VISKOS(const Model& m, int32_t I, int32_t J, int32_t K, float& VX, float& VY, float& VZ,
                   ViscosityMemo* memo = nullptr) {
    VX = VY = VZ = 1.0f;
    const auto& T = m.temp.TEMP;
    const auto& p = m.phys;
    const auto& g = m.gitt;
    const float T1 = static_cast<float>(T(I, J, K));
    auto face = [&](float T2, float V, float W) {
        float Tf;
        if (V > 0.0f) {
            Tf = T1;
        } else if (V < 0.0f) {
            Tf = T2;
        } else {
            Tf = HARMON(T1, T2, W);
        }
        if (memo == nullptr) return water_viscosity(Tf - 273.15f);
        if (!memo->set || std::bit_cast<uint32_t>(memo->Tf) != std::bit_cast<uint32_t>(Tf)) {
            *memo = ViscosityMemo{Tf, water_viscosity(Tf - 273.15f), true};
        }
        return memo->nu;
    };
    if (I != m.ndim.NX) VX = face(static_cast<float>(T(I + 1, J, K)), p.GWVX(I, J, K), g.GEWX(I));
    if (J != m.ndim.NY) VY = face(static_cast<float>(T(I, J + 1, K)), p.GWVY(I, J, K), g.GEWY(J));
    if (K != m.ndim.NZ) VZ = face(static_cast<float>(T(I, J, K + 1)), p.GWVZ(I, J, K), g.GEWZ(K));
}

}  // namespace gruv
