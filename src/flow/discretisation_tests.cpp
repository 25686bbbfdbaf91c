// Checks made once before the time loop: the grid Peclet number of the
// prescribed velocities, and the largest time step for which an explicit
// conduction step would stay stable.
#include <cmath>
#include <cstdint>

#include "control/control.hpp"
#include "flow/flow.hpp"
#include "records/records.hpp"
#include "state/stop.hpp"
#include "state/trace.hpp"

namespace gruv {

const FormatProgram& peclet_warning() {
    static const FormatProgram& f =
        fixed_format("(' Achtung!!!     Gitter-Peclet-Zahl an Knoten (',3I3,') mit ',F10.3,' zu gross',/,"
                     "' Abhilfe:  -->  Knotenabstaende verkleinern')");
    return f;
}

const FormatProgram& peclet_stop() {
    static const FormatProgram& f = fixed_format("(T17,'IDSTOP aktiv  -  Simulation vorzeitig abgebrochen')");
    return f;
}

PecletMaximum grid_peclet_maximum(const Model& m) {
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& ph = m.phys;
    const auto& p3 = m.par3;

    // Thermal diffusivity of the water. Without water properties (all zero
    // when the material data are switched off) the water carries no heat by
    // convection, and there is no Peclet number to test.
    const float a = p3.LAMW / p3.RHOW / p3.CPW;
    PecletMaximum r;
    if (!(a > 0.0f) || std::isinf(a)) return r;
    r.testable = true;
    auto consider = [&r](float P, int32_t i, int32_t j, int32_t k) {
        if (P > r.P) {
            r.P = P;
            r.I = i;
            r.J = j;
            r.K = k;
        }
    };
    for (int32_t k = 1; k <= d.NZ - 1; ++k)
        for (int32_t j = 1; j <= d.NY - 1; ++j)
            for (int32_t i = 1; i <= d.NX - 1; ++i) {
                consider(std::fabs(ph.GWVX(i, j, k)) * g.KABX(i) / a, i, j, k);
                consider(std::fabs(ph.GWVY(i, j, k)) * g.KABY(j) / a, i, j, k);
                consider(std::fabs(ph.GWVZ(i, j, k)) * g.KABZ(k) / a, i, j, k);
            }
    return r;
}

void DKTEST(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "DKTEST");
    auto& out = m.io.unit(m.inf2.IOUT);

    const PecletMaximum r = grid_peclet_maximum(m);
    if (!r.testable) {
        static const FormatProgram& none =
            fixed_format("(/,' Gitter-Peclet-Test nicht moeglich: Waermeleitfaehigkeit, Dichte oder',"
                         "' Waermekapazitaet des Wassers ist 0')");
        write(out, none);
        if (m.inf2.IBILD >= 1) write(m.io.console(), none);
        return;
    }

    if (r.P <= 2.0f) {
        static const FormatProgram& ok = fixed_format("(T17,'Diskretisierungsvorschriften wurden eingehalten')");
        if (m.inf2.IBILD >= 1) write(m.io.console(), ok);
        return;
    }
    if (m.inf2.IBILD >= 1) write(m.io.console(), peclet_warning(), r.I, r.J, r.K, r.P);
    out.put_record("");  // two empty lines before the listing's copy
    out.put_record("");
    write(out, peclet_warning(), r.I, r.J, r.K, r.P);
    if (m.inf4.IDSTOP == 2) {
        write(m.io.console(), peclet_stop());
        write(out, peclet_stop());
        ZEITCL(m);
        stop_run(m, kExitAborted);
    }
}

float stable_step_limit(const Model& m) {
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& ph = m.phys;
    const auto& p3 = m.par3;

    // Pore water as liquid, or as ice when freezing is modelled.
    float ll = p3.LAMW, cl = p3.CPW, rl = p3.RHOW;
    if (m.inf2.IPHASE > 0) {
        ll = p3.LAME;
        cl = p3.CPE;
        rl = p3.RHOE;
    }
    float dtmax = 1.0E10f;
    for (int32_t k = 1; k <= d.NZ; ++k) {
        const float S = ph.SAETT(k);
        const float cf = p3.CPL * (1.0f - S) + cl * S;
        const float rf = rl * S + p3.RHOL * (1.0f - S);
        const float lf = ll * S + p3.LAML * (1.0f - S);
        for (int32_t j = 1; j <= d.NY; ++j)
            for (int32_t i = 1; i <= d.NX; ++i) {
                const float n = ph.PHIG(i, j, k);
                const float wlkg = ph.WLKG(i, j, k);
                if (!(wlkg != 0.0f || (S != 0.0f && n != 0.0f))) continue;
                const float cond = n * lf + (1.0f - n) * wlkg;
                if (cond == 0.0f) continue;  // nothing conducts: no explicit limit
                const float D = ((1.0f - n) * ph.CPGE(i, j, k) + n * cf) * (n * rf + (1.0f - n) * ph.RHOG(i, j, k)) /
                                (2.0f * cond);
                for (const float w : {g.ZBRX(i), g.ZBRY(j), g.ZBRZ(k)}) {
                    const float dt = D * (w * w);
                    if (dt != 0.0f && dt < dtmax) dtmax = dt;
                }
            }
    }
    return dtmax;
}

void DZTEST(Model& m, int32_t /*N: the printed limit does not depend on it*/) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "DZTEST");
    static const FormatProgram& f = fixed_format("(' Zeitschrittlaenge darf max. ',F8.1,' Minuten betragen')");
    write(m.io.console(), f, stable_step_limit(m) / 60.0f);
}

}  // namespace gruv
