#include "support/grid_model.hpp"

namespace gruv::test {

void set_uniform_grid(Model& m, int nx, int ny, int nz, float dx, float dy, float dz) {
    auto& d = m.ndim;
    d.NX = nx;
    d.NY = ny;
    d.NZ = nz;
    d.NX1 = nx - 1;
    d.NY1 = ny - 1;
    d.NZ1 = nz - 1;
    auto& g = m.gitt;
    auto axis = [](int n, float w, auto& width, auto& distance, auto& lower, auto& upper, auto& weight,
                   auto& coordinate) {
        for (int i = 1; i <= n; ++i) {
            width(i) = w;
            distance(i) = i < n ? w : 0.0f;
            lower(i) = upper(i) = 0.5f * w;
            weight(i) = i < n ? 0.5f : 0.0f;
            coordinate(i) = (static_cast<float>(i) - 0.5f) * w;
        }
    };
    axis(nx, dx, g.ZBRX, g.KABX, g.ABXU, g.ABXO, g.GEWX, g.KORX);
    axis(ny, dy, g.ZBRY, g.KABY, g.ABYU, g.ABYO, g.GEWY, g.KORY);
    axis(nz, dz, g.ZBRZ, g.KABZ, g.ABZU, g.ABZO, g.GEWZ, g.KORZ);
    for (int k = 1; k <= nz; ++k)
        for (int j = 1; j <= ny; ++j)
            for (int i = 1; i <= nx; ++i) g.ZVOL(i, j, k) = g.ZBRX(i) * g.ZBRY(j) * g.ZBRZ(k);
}

}  // namespace gruv::test
