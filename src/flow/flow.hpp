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

}  // namespace gruv
