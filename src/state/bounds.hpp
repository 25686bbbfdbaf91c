// Fixed array bounds of the model. The grid of a run must fit inside them;
// the control-card reader rejects a larger grid before any array is touched.
#pragma once
#include <cstdint>

namespace gruv {

inline constexpr int32_t IX = 100;     //!< nodes along X (columns, index I)
inline constexpr int32_t IY = 100;     //!< nodes along Y (rows, index J)
inline constexpr int32_t IZ = 10;      //!< nodes along Z (layers, index K; K = 1 at the ground surface)
inline constexpr int32_t IWERT = 5000; //!< entries of the value-conversion table
inline constexpr int32_t MAXBEO = 10;  //!< observation nodes
inline constexpr int32_t MAXLIN = 100; //!< length of the tridiagonal line store (longest grid line)

}  // namespace gruv
