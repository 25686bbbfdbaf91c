// Vertical cell faces of a layer, shared by the flow set-up, the flow solvers
// and the velocities.
#pragma once
#include <cstdint>

#include "state/model.hpp"

namespace gruv {

//! Elevation of the lower face of layer K [m above datum]: HGOK - KORZ - ABZO.
inline float layer_bottom(const Model& m, int32_t K) {
    return m.par2.HGOK - m.gitt.KORZ(K) - m.gitt.ABZO(K);
}

//! Elevation of the upper face of layer K [m above datum]: the lower face plus
//! the layer thickness. A head below it leaves the cell partly saturated.
inline float layer_top(const Model& m, int32_t K) { return layer_bottom(m, K) + m.gitt.ZBRZ(K); }

}  // namespace gruv
