// Pore velocities through the three forward faces of every node: the Darcy
// flux over the node distance divided by the interface mean of the effective
// porosities.
#include "flow/flow.hpp"
#include "flow/properties.hpp"
#include "parallel/work_team.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! Pore velocity through one face. A face without drainable pore space on
//! either side (porosity mean 0) carries no flow: it is a closed face.
inline float pore_velocity(float H1, float H2, float KF, float distance, float porosity) {
    if (porosity == 0.0f) return 0.0f;
    return (H1 - H2) * KF / distance / porosity;
}

}  // namespace

void FLIESS(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "FLIESS");
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& H = m.wpot.WPOT;
    auto& p = m.phys;
    const auto& PHIN = p.PHIN;
    // Each node's velocities depend on no other node's: the rows go to the
    // members of the work team.
    for_each_row(d.NX, d.NY, d.NZ, [&](int32_t J, int32_t K) {
        for (int32_t I = 1; I <= d.NX; ++I) {
            p.GWVX(I, J, K) = 0.0f;
            p.GWVY(I, J, K) = 0.0f;
            p.GWVZ(I, J, K) = 0.0f;
            if (I != d.NX) {
                const float n = HARMON(PHIN(I, J, K), PHIN(I + 1, J, K), g.GEWX(I));
                p.GWVX(I, J, K) = pore_velocity(H(I, J, K), H(I + 1, J, K), p.KFMX(I, J, K), g.KABX(I), n);
            }
            if (J != d.NY) {
                const float n = HARMON(PHIN(I, J, K), PHIN(I, J + 1, K), g.GEWY(J));
                p.GWVY(I, J, K) = pore_velocity(H(I, J, K), H(I, J + 1, K), p.KFMY(I, J, K), g.KABY(J), n);
            }
            if (K != d.NZ) {
                const float n = HARMON(PHIN(I, J, K), PHIN(I, J, K + 1), g.GEWZ(K));
                p.GWVZ(I, J, K) = pore_velocity(H(I, J, K), H(I, J, K + 1), p.KFMZ(I, J, K), g.KABZ(K), n);
            }
        }
    });
}

}  // namespace gruv
