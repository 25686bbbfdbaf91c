// Heat transport: the heat equation with its convection schemes, its point
// and line solvers, the water/ice phase change, and the energy balance.
#pragma once
#include <cstdint>
#include <vector>

#include "state/model.hpp"

namespace gruv {

// Heat coefficients ----------------------------------------------------------
//! Faces assembled per node, and neighbours of the node equation: 2 per
//! space dimension of the grid (one row: 2, one layer: 4, else 6).
inline int32_t heat_face_count(const NDIM& d) {
    if (d.NY == 1 && d.NZ == 1) return 2;
    if (d.NZ == 1) return 4;
    return 6;
}
//! KOEFFT: assembles the heat equation over the box I1..I2, J1..J2, K1..K2.
void KOEFFT(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2);
//! KONINF: thermal interface conductivities of node (I,J,K) toward I+1, J+1, K+1.
void KONINF(Model& m, int32_t I, int32_t J, int32_t K);
//! FLUKOF: convective mass flows FKO through the six faces of node (I,J,K).
void FLUKOF(Model& m, int32_t I, int32_t J, int32_t K);
//! FLUSFL: fluid flags IFLU over a box; prints them when KONTRL = 3.
void FLUSFL(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2);
//! PECLET: scheme weights PKO(1..N) from FKO and AKO.
void PECLET(Model& m, int32_t N);
//! QKOEFT: right-hand side of every node.
void QKOEFT(Model& m);
//! What a heat solve keeps of the assemblies it makes, so that the
//! re-assembly after a sweep recomputes only the nodes whose temperature
//! changed as the assembly sees it (Tc and dT rounded to REAL*4, and whether
//! the node is at or above freezing), the faces around them and the
//! neighbours across those faces. A box assembly of PHATST in between marks
//! its nodes for the next re-assembly. Holds for one solve; its arrays are
//! kept for the next (reused_heat_assembly).
struct HeatAssembly {
    bool valid = false;            //!< set by the first whole-grid assembly of the solve
    std::vector<float> Tc;         //!< CELS(TEMP) rounded to REAL*4, as last assembled [degC]
    std::vector<float> dT;         //!< TEMP - TGEF rounded to REAL*4, as last assembled [K]
    std::vector<uint8_t> liquid;   //!< 1 = TEMP >= TGEF, as last assembled
    std::vector<float> lambda;     //!< effective thermal conductivity of the node at that temperature [W/m*K]
    std::vector<float> cmean;      //!< its mean specific heat (convective form) [J/kg*K]
    std::vector<uint8_t> marked;   //!< 1 = to be recomputed at the next re-assembly
    std::vector<int32_t> nodes;    //!< offsets of the marked nodes
    std::vector<uint8_t> touched;  //!< 1 = diagonal to be summed again (scratch of a re-assembly)
    std::vector<int32_t> diagonal; //!< offsets of the touched nodes
};
//! The run's assembly record for a new heat solve (not valid); its arrays,
//! as large as the grid, are kept from solve to solve (one per process).
HeatAssembly& reused_heat_assembly();
//! KOEFFT inside a heat solve (sweeps at ISTOFF >= 3, the box of PHATST):
//! the right-hand side of every node whose storage term KSPE changes is
//! rebuilt with it; all other nodes keep their RSEI. With the solve's
//! assembly record a whole-grid re-assembly recomputes only what changed.
void reassemble_heat_box(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2,
                         HeatAssembly* record = nullptr);

// Heat solvers ---------------------------------------------------------------
//! ITERAT: point iteration of the temperatures.
void ITERAT(Model& m);
//! IADITP: alternating-direction line iteration of the temperatures.
void IADITP(Model& m);
//! WICHTP: time-weighted temperature ALFAT*TEMP + (1-ALFAT)*TEMPA, in double.
double WICHTP(const Model& m, int32_t I, int32_t J, int32_t K);

// Phase change ---------------------------------------------------------------
//! PHATST: limits a node update in the freezing range (T0 the old value; the
//! new one is TEMP(I,J,K)) and re-assembles the 3x3x3 box after a correction.
void PHATST(Model& m, int32_t I, int32_t J, int32_t K, double T0);
//! PHATST with the trace decision (IBILD >= 2) taken once by the calling sweep,
//! and the assembly record of the solve, if any.
template <bool Trace>
void phase_step(Model& m, int32_t I, int32_t J, int32_t K, double T0, HeatAssembly* record = nullptr);

// Energy balance and heat flux -------------------------------------------------
//! ENERGI: heat content of the model and its balances, printed.
void ENERGI(Model& m);
//! ZELLEN: heat content of cell (I,J,K) at temperature T into EZEL.
void ZELLEN(Model& m, int32_t I, int32_t J, int32_t K, double T, double TG);
//! WFLUSS: conductive heat flow into the heat-exchanger nodes, printed for N steps.
void WFLUSS(Model& m, int32_t N);
//! Heat content of the model [J] as ENERGI sums it, without trace lines and
//! without touching the balance items.
double heat_content(Model& m);
//! Heat flow into the heat-exchanger nodes [W] as WFLUSS sums it, without
//! trace lines; the interface conductivities are given back as they were.
float exchanger_heat_flow(Model& m);
//! TAUPKT: freezing temperature of every layer from the water-table depth.
void TAUPKT(Model& m, Array1<double, IZ>& TG, const Array1<float, IZ>& Z, int32_t I0, int32_t J0);

}  // namespace gruv
