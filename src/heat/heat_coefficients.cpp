// The heat equation of every node: effective thermal conductivities from
// rock, water, ice and pore air, the convective mass flows, the weighting of
// the convection-diffusion schemes, the storage term and the right-hand side.
//
// Two forms of the equation share the coefficient store. With KONVEK = 0 the
// node balance is written in W (conductances in W/K, storage rho*c*V/dt).
// With KONVEK = 1 it is divided by a node-mean specific heat capacity, so
// that conductances are lambda/c*A/d and the convective terms are plain mass
// flows, both in kg/s.
#include <cmath>
#include <cstdint>

#include "flow/flow.hpp"
#include "flow/properties.hpp"
#include "heat/heat.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! Effective thermal conductivity [W/m*K] of one node and, with convection,
//! its porosity-weighted mean specific heat [J/kg*K].
template <bool Trace>
void node_conductivity(Model& m, int32_t I, int32_t J, int32_t K, bool konvek, float& lambda, float& cmean) {
    const auto& p3 = m.par3;
    const float dT = static_cast<float>(m.temp.TEMP(I, J, K) - m.temp.TGEF(K));
    const float S = m.phys.SAETT(K);
    const float phi = m.phys.PHIG(I, J, K);

    float lf;      // conductivity of the pore filling
    float cf = 0;  // specific heat of the pore filling
    if (dT > 0.0f) {
        lf = S * p3.LAMW + (1.0f - S) * p3.LAML;
        if (konvek) cf = S * p3.CPW + (1.0f - S) * p3.CPL;
    } else {
        const float X = WASEIS<Trace>(m, dT, K);
        lf = (X * p3.LAMW + (1.0f - X) * p3.LAME) * S + (1.0f - S) * p3.LAML;
        if (konvek) cf = S * WCPH2O<Trace>(m, dT, K) + (1.0f - S) * p3.CPL;
    }

    // Rock conductivity, optionally temperature and depth dependent.
    const float l0 = m.phys.WLKG(I, J, K);
    const auto& p4 = m.par4;
    float lr = l0;
    const int32_t istoff = m.inf2.ISTOFF;
    if (istoff >= 3 && istoff <= 5) {
        const float Tc = static_cast<float>(m.temp.TEMP(I, J, K) - 273.15);
        if (istoff == 3) {
            lr = l0 + Tc * l0 * ((Tc * p4.WLKC + p4.WLKB) * Tc + p4.WLKA);
        } else if (istoff == 4) {
            lr = l0 * p4.WLKA * std::exp(p4.WLKB * Tc) + l0 * p4.WLKC;
        } else {
            lr = l0 / (1.0f + (Tc - 20.0f) * l0 * p4.WLKA) + 0.027f * p4.WLKB * (m.gitt.KORZ(K) - 400.0f);
        }
    }

    // Mixing of rock and pore filling.
    float lam;
    const int32_t imisch = m.inf2.IMISCH;
    if (imisch == 1) {
        if (phi == 0.0f) {
            lam = lr;  // no pores: the rock alone
        } else if (lr == 0.0f) {
            // Limit of the bound formula for a non-conducting rock matrix.
            lam = 2.0f * phi * lf / (3.0f - phi);
        } else {
            const float r = lf / lr;
            lam = lr * (1.0f - phi * (1.0f + 2.0f * r) * (1.0f - r) / (3.0f * r + phi * (1.0f - r)));
        }
        if (lam < 1.0E-20f) lam = 0.0f;
    } else if (imisch == 2) {
        if (lr == 0.0f) lr = 1.0f / m.par2.SPKONS;
        const float r = lf / lr;
        lam = lr * (1.0f - 3.0f * phi * (1.0f - r) / (2.0f + r + phi));
        if (lam < 1.0E-20f) lam = 0.0f;
    } else {
        lam = (1.0f - phi) * lr + phi * lf;
    }
    lambda = lam;
    if (konvek) cmean = phi * cf + (1.0f - phi) * m.phys.CPGE(I, J, K);
}

//! Interface value of one face: harmonic mean of the two conductivities,
//! divided by the mean specific heat in the convective form.
float face_conductivity(float l1, float l2, float c1, float c2, float aniso, float W, bool konvek) {
    float k = HARMON(l1 * aniso, l2 * aniso, W);
    if (konvek) {
        float cm = HARMON(c1, c2, W);
        if (cm == 0.0f) cm = 1.0f;
        k = k / cm;
    }
    return k;
}

template <bool Trace>
void koninf_impl(Model& m, int32_t I, int32_t J, int32_t K) {
    const auto& d = m.ndim;
    const bool konvek = m.inf2.KONVEK == 1;
    auto& ph = m.phys;
    float lp = 0, cp = 0;
    node_conductivity<Trace>(m, I, J, K, konvek, lp, cp);
    // The three forward neighbours, each evaluated only when it exists.
    float lx = 0, cx = 0, ly = 0, cy = 0, lz = 0, cz = 0;
    if (I + 1 <= d.NX) node_conductivity<Trace>(m, I + 1, J, K, konvek, lx, cx);
    if (J + 1 <= d.NY) node_conductivity<Trace>(m, I, J + 1, K, konvek, ly, cy);
    if (K + 1 <= d.NZ) node_conductivity<Trace>(m, I, J, K + 1, konvek, lz, cz);
    if (I < d.NX) ph.KFMX(I, J, K) = face_conductivity(lp, lx, cp, cx, ph.ANISX, m.gitt.GEWX(I), konvek);
    if (J < d.NY) ph.KFMY(I, J, K) = face_conductivity(lp, ly, cp, cy, ph.ANISY, m.gitt.GEWY(J), konvek);
    if (K < d.NZ) ph.KFMZ(I, J, K) = face_conductivity(lp, lz, cp, cz, ph.ANISZ, m.gitt.GEWZ(K), konvek);
}

template <bool Trace>
void flukof_impl(Model& m, int32_t I, int32_t J, int32_t K) {
    auto& F = m.koef.FKO;
    for (int32_t n = 1; n <= 6; ++n) F(n) = 0.0f;
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& ph = m.phys;
    const float Tc = static_cast<float>(CELS(m.temp.TEMP(I, J, K)));
    const float TG = static_cast<float>(m.temp.TGEF(K) - 273.15);
    float rho = m.par3.RHOW;
    if (Tc < TG) {
        const float X = WASEIS<Trace>(m, Tc - TG, K);
        rho = X * m.par3.RHOW + (1.0f - X) * m.par3.RHOE;
    }
    bool horizontal = true;
    bool vertical = true;
    if (m.inf4.IMODE == 0) {
        const int32_t iflu = m.ifld.IFLU(I, J, K);
        if (iflu == 0) return;
        horizontal = iflu > 0;
        vertical = iflu < 0;
    }
    // The outer faces of the grid are closed to convection, like the first
    // node of each direction: no neighbour takes up or delivers the flow. So
    // are the faces toward a node taken out of the heat transport (marker
    // capacity SPKONS): its marker temperature is no water temperature.
    const float spkons = m.par2.SPKONS;
    auto active = [&](int32_t i, int32_t j, int32_t k) { return ph.CPGE(i, j, k) < spkons; };
    if (horizontal) {
        if (I > 1 && active(I - 1, J, K)) F(1) = rho * ph.GWVX(I - 1, J, K) * g.ZBRY(J) * g.ZBRZ(K);
        if (I < d.NX && active(I + 1, J, K)) F(2) = rho * ph.GWVX(I, J, K) * g.ZBRY(J) * g.ZBRZ(K);
        if (J > 1 && active(I, J - 1, K)) F(3) = rho * ph.GWVY(I, J - 1, K) * g.ZBRX(I) * g.ZBRZ(K);
        if (J < d.NY && active(I, J + 1, K)) F(4) = rho * ph.GWVY(I, J, K) * g.ZBRX(I) * g.ZBRZ(K);
    }
    if (vertical) {
        if (K > 1 && active(I, J, K - 1)) F(5) = rho * ph.GWVZ(I, J, K - 1) * g.ZBRX(I) * g.ZBRY(J);
        if (K < d.NZ && active(I, J, K + 1)) F(6) = rho * ph.GWVZ(I, J, K) * g.ZBRX(I) * g.ZBRY(J);
    }
}

//! Console line that overprints itself while the layers are assembled.
void layer_progress_line(Model& m, int32_t K) {
    static const FormatProgram& f = fixed_format("('+',T17,'***** Schicht ',I4,' wird berechnet ****')");
    write(m.io.console(), f, K);
}

//! Right-hand side KSPE*TEMPA + heat production of node (i,j,k).
template <bool Trace>
void node_rhs(Model& m, int32_t i, int32_t j, int32_t k) {
    const auto& p3 = m.par3;
    const auto& ph = m.phys;
    auto& c = m.koef;
    const double stored = static_cast<double>(c.KSPE(i, j, k)) * m.temp.TEMPA(i, j, k);
    const int32_t iflg = m.ifld.IFLG(i, j, k);
    if (iflg == 2 || iflg == 5) {
        c.RSEI(i, j, k) = static_cast<float>(stored);
    } else if (m.inf2.KONVEK != 1) {
        const float source = m.ener.SOUC(i, j, k) * m.gitt.ZVOL(i, j, k);
        c.RSEI(i, j, k) = static_cast<float>(stored + static_cast<double>(source));
    } else {
        const float S = ph.SAETT(k);
        const float dT = static_cast<float>(m.temp.TEMP(i, j, k) - m.temp.TGEF(k));
        float cf;
        if (dT > 0.0f) {
            cf = S * p3.CPW + (1.0f - S) * p3.CPL;
        } else {
            cf = S * WCPH2O<Trace>(m, dT, k) + (1.0f - S) * p3.CPL;
        }
        const float phi = ph.PHIG(i, j, k);
        float C = (1.0f - phi) * ph.CPGE(i, j, k) + phi * cf;
        if (C == 0.0f) C = 1.0f;
        const float source = m.ener.SOUC(i, j, k) / C * m.gitt.ZVOL(i, j, k);
        c.RSEI(i, j, k) = static_cast<float>(stored + static_cast<double>(source));
    }
}

template <bool Trace>
void qkoeft_impl(Model& m) {
    const auto& d = m.ndim;
    for (int32_t k = 1; k <= d.NZ; ++k)
        for (int32_t j = 1; j <= d.NY; ++j)
            for (int32_t i = 1; i <= d.NX; ++i) node_rhs<Trace>(m, i, j, k);
}

//! Assembles the box. Inside a solve (in_solve) the right-hand side of a
//! node whose storage term changes is rebuilt with it: RSEI = KSPE*TEMPA
//! against a new KSPE would act as a heat source (KSPE_new - KSPE_old)*TEMPA,
//! with TEMPA in kelvin. Nodes whose storage term stays keep their RSEI.
template <bool Trace>
void koefft_impl(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2, bool in_solve) {
    const auto& d = m.ndim;
    const int32_t nf = heat_face_count(d);
    const int32_t ndim = nf / 2;
    auto& c = m.koef;
    const int32_t ibild = m.inf2.IBILD;
    const bool konvek = m.inf2.KONVEK == 1;

    // All interface conductivities of the box first.
    for (int32_t k = K1; k <= K2; ++k)
        for (int32_t j = J1; j <= J2; ++j)
            for (int32_t i = I1; i <= I2; ++i) koninf_impl<Trace>(m, i, j, k);

    // Neighbour coefficients.
    if (konvek && m.inf4.IMODE == 0) FLUSFL(m, I1, J1, K1, I2, J2, K2);
    if (ibild >= 2) m.io.console().put_record("");
    NodeArray<float>* coef[6] = {&c.KOXM, &c.KOXP, &c.KOYM, &c.KOYP, &c.KOZM, &c.KOZP};
    for (int32_t k = K1; k <= K2; ++k) {
        if (ibild >= 2) layer_progress_line(m, k);
        for (int32_t j = J1; j <= J2; ++j)
            for (int32_t i = I1; i <= I2; ++i) {
                KONKOF(m, i, j, k);
                if (konvek) {
                    flukof_impl<Trace>(m, i, j, k);
                    PECLET(m, nf);
                    for (int32_t l = 1; l <= ndim; ++l) {
                        const int32_t lo = 2 * l - 1;
                        const int32_t hi = 2 * l;
                        float inflow_lo = c.FKO(lo);
                        if (inflow_lo < 0.0f) inflow_lo = 0.0f;
                        float inflow_hi = -c.FKO(hi);
                        if (inflow_hi < 0.0f) inflow_hi = 0.0f;
                        (*coef[lo - 1])(i, j, k) = inflow_lo + c.AKO(lo) * c.PKO(lo);
                        (*coef[hi - 1])(i, j, k) = inflow_hi + c.AKO(hi) * c.PKO(hi);
                    }
                } else {
                    for (int32_t l = 1; l <= nf; ++l) (*coef[l - 1])(i, j, k) = c.AKO(l);
                }
            }
    }

    // Storage term and diagonal.
    const auto& p3 = m.par3;
    const auto& ph = m.phys;
    const float delt = m.par1.DELT;
    for (int32_t k = K1; k <= K2; ++k) {
        const float TG = static_cast<float>(m.temp.TGEF(k) - 273.15);
        const float S = ph.SAETT(k);
        for (int32_t j = J1; j <= J2; ++j)
            for (int32_t i = I1; i <= I2; ++i) {
                const int32_t iflg = m.ifld.IFLG(i, j, k);
                float kspe;
                if (iflg == 2 || iflg == 5) {
                    kspe = m.par2.SPKONS;  // pins the node to TEMPA through RSEI
                } else {
                    const float Tc = static_cast<float>(CELS(m.temp.TEMP(i, j, k)));
                    const float phi = ph.PHIG(i, j, k);
                    const float rhow = RHOH2O<Trace>(m, Tc, TG, k);
                    const float rhom = S * rhow + (1.0f - S) * p3.RHOL;
                    if (!konvek) {
                        float cm;
                        if (Tc >= TG) {
                            cm = S * p3.CPW + (1.0f - S) * p3.CPL;
                        } else {
                            cm = S * WCPH2O<Trace>(m, Tc - TG, k) + (1.0f - S) * p3.CPL;
                        }
                        kspe = (ph.RHOG(i, j, k) * ph.CPGE(i, j, k) * (1.0f - phi) + cm * rhom * phi) *
                               m.gitt.ZVOL(i, j, k) / delt;
                    } else {
                        kspe = (ph.RHOG(i, j, k) * (1.0f - phi) + rhom * phi) * m.gitt.ZVOL(i, j, k) / delt;
                    }
                }
                const bool changed = kspe != c.KSPE(i, j, k);
                c.KSPE(i, j, k) = kspe;
                if (in_solve && changed) node_rhs<Trace>(m, i, j, k);
                double sum = 0.0;
                for (int32_t l = 0; l < nf; ++l) sum += static_cast<double>((*coef[l])(i, j, k));
                c.KDIA(i, j, k) = static_cast<float>(sum + static_cast<double>(kspe));
            }
    }
}

//! KOEFFT with its trace line, for a set-up or a re-assembly inside a solve.
void koefft_traced(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2, bool in_solve) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "KOEFFT");
    if (m.inf2.IBILD >= 2) {
        koefft_impl<true>(m, I1, J1, K1, I2, J2, K2, in_solve);
    } else {
        koefft_impl<false>(m, I1, J1, K1, I2, J2, K2, in_solve);
    }
}

}  // namespace

void KONINF(Model& m, int32_t I, int32_t J, int32_t K) {
    m.inf2.IBILD >= 2 ? koninf_impl<true>(m, I, J, K) : koninf_impl<false>(m, I, J, K);
}

void FLUKOF(Model& m, int32_t I, int32_t J, int32_t K) {
    m.inf2.IBILD >= 2 ? flukof_impl<true>(m, I, J, K) : flukof_impl<false>(m, I, J, K);
}

void FLUSFL(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "FLUSFL");
    const auto& d = m.ndim;
    auto& F = m.ifld.IFLU;
    for (int32_t k = K1; k <= K2; ++k) {
        const float S = m.phys.SAETT(k);
        const double TG = m.temp.TGEF(k);
        for (int32_t j = J1; j <= J2; ++j)
            for (int32_t i = I1; i <= I2; ++i) {
                int32_t flag = 0;
                // Mobile water: drainable pores and unfrozen. A saturated
                // layer moves it horizontally, a partly saturated one only
                // vertically (seepage).
                if (m.phys.PHIN(i, j, k) > 0.0f && m.temp.TEMP(i, j, k) >= TG) flag = S < 1.0f ? -1 : 1;
                if (m.ifld.IFLG(i, j, k) == 5) flag = 0;
                F(i, j, k) = flag;
            }
    }
    if (m.inf1.KONTRL != 3) return;

    static const FormatProgram& head =
        fixed_format("(/,' Fluss: -1 => nur VZ 0 => kein 1 => nur VX + VY',' - Schicht ',I2,' - ',F6.2,' m u. GOK')");
    static const FormatProgram& cols = fixed_format("('   Y\\X ',10F6.2,/,9(7X,10F6.2,/))");
    static const FormatProgram& row = fixed_format("(F7.2,10I6,/,9(7X,10I6,/))");
    auto& out = m.io.unit(m.inf2.IOUT);
    for (int32_t k = 1; k <= d.NZ; ++k) {
        write(out, head, k, m.gitt.KORZ(k));
        write(out, cols, out_array(m.gitt.KORX.data(), d.NX));
        for (int32_t j = 1; j <= d.NY; ++j) write(out, row, m.gitt.KORY(j), out_array(F.row(j, k), d.NX));
    }
}

void PECLET(Model& m, int32_t N) {
    auto& c = m.koef;
    const int32_t scheme = m.inf1.ISCHEM;
    for (int32_t l = 1; l <= N; ++l) {
        const float F = c.FKO(l);
        const float D = c.AKO(l);
        float w = 1.0f;
        switch (scheme) {
            case 2:  // upwind: the convective term alone carries the flow
                break;
            case 3:
                if (D != 0.0f) {
                    w = 1.0f - 0.5f * std::fabs(F / D);
                    if (w < 0.0f) w = 0.0f;
                }
                break;
            case 4:
                if (D != 0.0f) {
                    const float t = 1.0f - 0.1f * std::fabs(F / D);
                    w = t * t * t * t * t;
                    if (w < 0.0f) w = 0.0f;
                }
                break;
            case 5:
                if (D != 0.0f && F != 0.0f) {
                    // |P|/(exp|P| - 1) through expm1: exact down to the
                    // smallest |P|, where the weight tends to 1 (and is 1
                    // when F/D underflows to 0). A face whose Peclet number
                    // overflows carries pure upstream flow.
                    const float ap = std::fabs(F / D);
                    if (std::isinf(ap)) {
                        w = 0.0f;
                    } else if (ap != 0.0f) {
                        const double a = static_cast<double>(ap);
                        w = static_cast<float>(a / std::expm1(a));
                    }
                }
                break;
            default:  // central differences, not limited below
                if (D != 0.0f) w = 1.0f - 0.5f * std::fabs(F / D);
                break;
        }
        c.PKO(l) = w;
    }
}

void KOEFFT(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2) {
    koefft_traced(m, I1, J1, K1, I2, J2, K2, false);
}

void reassemble_heat_box(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2) {
    koefft_traced(m, I1, J1, K1, I2, J2, K2, true);
}

void QKOEFT(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "QKOEFT");
    m.inf2.IBILD >= 2 ? qkoeft_impl<true>(m) : qkoeft_impl<false>(m);
}

}  // namespace gruv
