// Groundwater flow: the flow equation, its point and line solvers, the
// interactive change of the solver factors, the pore velocities, and the
// discretisation and time-step tests run before the time loop.
#pragma once
#include <cstdint>

#include "state/model.hpp"

namespace gruv {

// Flow coefficients ----------------------------------------------------------
//! KOEFFH: interface conductivities and neighbour coefficients of every node.
void KOEFFH(Model& m);
//! KONDUK: interface hydraulic conductivities of node (I,J,K) toward I+1, J+1, K+1.
void KONDUK(Model& m, int32_t I, int32_t J, int32_t K);
//! KONKOF: the six neighbour conductances AKO of node (I,J,K) from KFMX..KFMZ.
void KONKOF(Model& m, int32_t I, int32_t J, int32_t K);
//! QKOEFH: storage term, diagonal and right-hand side of every node.
void QKOEFH(Model& m);
//! DELTAH: local refresh of the coefficients around a node whose head crossed its cell top.
void DELTAH(Model& m, int32_t I, int32_t J, int32_t K);

// Flow solvers ---------------------------------------------------------------
//! ITERAH: point iteration of the heads (Gauss-Seidel / SOR).
void ITERAH(Model& m);
//! IADIST: alternating-direction line iteration of the heads.
void IADIST(Model& m);
//! WICHHY: time-weighted head ALFA*WPOT + (1-ALFA)*WPOTA of a node.
float WICHHY(const Model& m, int32_t I, int32_t J, int32_t K);
//! OMEGAT: reports a solve and lets the user enter new relaxation and
//! weighting factors (IAENDR 2 flow, 1 heat); lowers IAENDR when declined.
void OMEGAT(Model& m, double ERR, float& OM, float& AL);

// Velocities -----------------------------------------------------------------
//! FLIESS: pore velocities through the forward faces of every node.
void FLIESS(Model& m);

// Tests before the time loop ---------------------------------------------------
//! DKTEST: grid Peclet test of the prescribed velocities; may stop the run.
void DKTEST(Model& m);
//! DZTEST: prints the largest stable explicit conduction time step.
void DZTEST(Model& m, int32_t N);

//! The largest grid Peclet number of the prescribed velocities and the node
//! where it was found first (I, J, K below NX, NY, NZ).
struct PecletMaximum {
    bool testable = false;  //!< the water has a thermal diffusivity (its properties are not 0)
    float P = 0.0f;         //!< largest Peclet number
    int32_t I = 0, J = 0, K = 0;
};
//! The figures DKTEST judges.
PecletMaximum grid_peclet_maximum(const Model& m);
//! DKTEST's two-line warning: node I, J, K (3I3) and the Peclet number.
const FormatProgram& peclet_warning();
//! DKTEST's line when IDSTOP = 2 stops the run.
const FormatProgram& peclet_stop();
//! The largest stable explicit conduction time step [s] that DZTEST prints
//! (1.0E10 when no node limits it).
float stable_step_limit(const Model& m);

}  // namespace gruv
