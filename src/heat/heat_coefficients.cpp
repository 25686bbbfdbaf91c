// The heat equation of every node: effective thermal conductivities from
// rock, water, ice and pore air, the convective mass flows, the weighting of
// the convection-diffusion schemes, the storage term and the right-hand side.
//
// Two forms of the equation share the coefficient store. With KONVEK = 0 the
// node balance is written in W (conductances in W/K, storage rho*c*V/dt).
// With KONVEK = 1 it is divided by a node-mean specific heat capacity, so
// that conductances are lambda/c*A/d and the convective terms are plain mass
// flows, both in kg/s.
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "flow/face_conductance.hpp"
#include "flow/flow.hpp"
#include "flow/properties.hpp"
#include "heat/heat.hpp"
#include "parallel/work_team.hpp"
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
inline float face_conductivity(float l1, float l2, float c1, float c2, float aniso, float W, bool konvek) {
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

//! What the convective flows of a node depend on: the density of its pore
//! water and the directions in which the water moves.
struct NodeFlow {
    float rho;
    bool horizontal;
    bool vertical;
};

template <bool Trace>
NodeFlow node_flow(Model& m, int32_t I, int32_t J, int32_t K) {
    const float Tc = static_cast<float>(CELS(m.temp.TEMP(I, J, K)));
    const float TG = static_cast<float>(m.temp.TGEF(K) - 273.15);
    NodeFlow f{m.par3.RHOW, true, true};
    if (Tc < TG) {
        const float X = WASEIS<Trace>(m, Tc - TG, K);
        f.rho = X * m.par3.RHOW + (1.0f - X) * m.par3.RHOE;
    }
    if (m.inf4.IMODE == 0) {
        const int32_t iflu = m.ifld.IFLU(I, J, K);
        f.horizontal = iflu > 0;
        f.vertical = iflu < 0;
    }
    return f;
}

//! Convective mass flow through face L (1..6) of node (I,J,K): FLUKOF for one
//! face. The outer faces of the grid are closed to convection, like the first
//! node of each direction: no neighbour takes up or delivers the flow. So are
//! the faces toward a node taken out of the heat transport (marker capacity
//! SPKONS): its marker temperature is no water temperature.
template <int L>
[[gnu::always_inline]] inline float face_flow(const Model& m, int32_t I, int32_t J, int32_t K, const NodeFlow& f) {
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& ph = m.phys;
    const float spkons = m.par2.SPKONS;
    auto active = [&](int32_t i, int32_t j, int32_t k) { return ph.CPGE(i, j, k) < spkons; };
    if constexpr (L == 1)
        return f.horizontal && I > 1 && active(I - 1, J, K) ? f.rho * ph.GWVX(I - 1, J, K) * g.ZBRY(J) * g.ZBRZ(K)
                                                            : 0.0f;
    if constexpr (L == 2)
        return f.horizontal && I < d.NX && active(I + 1, J, K) ? f.rho * ph.GWVX(I, J, K) * g.ZBRY(J) * g.ZBRZ(K)
                                                               : 0.0f;
    if constexpr (L == 3)
        return f.horizontal && J > 1 && active(I, J - 1, K) ? f.rho * ph.GWVY(I, J - 1, K) * g.ZBRX(I) * g.ZBRZ(K)
                                                            : 0.0f;
    if constexpr (L == 4)
        return f.horizontal && J < d.NY && active(I, J + 1, K) ? f.rho * ph.GWVY(I, J, K) * g.ZBRX(I) * g.ZBRZ(K)
                                                               : 0.0f;
    if constexpr (L == 5)
        return f.vertical && K > 1 && active(I, J, K - 1) ? f.rho * ph.GWVZ(I, J, K - 1) * g.ZBRX(I) * g.ZBRY(J)
                                                          : 0.0f;
    if constexpr (L == 6)
        return f.vertical && K < d.NZ && active(I, J, K + 1) ? f.rho * ph.GWVZ(I, J, K) * g.ZBRX(I) * g.ZBRY(J)
                                                             : 0.0f;
}

//! face_flow for a face number known only at run time.
inline float face_flow(const Model& m, int32_t I, int32_t J, int32_t K, int32_t l, const NodeFlow& f) {
    switch (l) {
        case 1: return face_flow<1>(m, I, J, K, f);
        case 2: return face_flow<2>(m, I, J, K, f);
        case 3: return face_flow<3>(m, I, J, K, f);
        case 4: return face_flow<4>(m, I, J, K, f);
        case 5: return face_flow<5>(m, I, J, K, f);
        default: return face_flow<6>(m, I, J, K, f);
    }
}

template <bool Trace>
void flukof_impl(Model& m, int32_t I, int32_t J, int32_t K) {
    const NodeFlow f = node_flow<Trace>(m, I, J, K);
    for (int32_t l = 1; l <= 6; ++l) m.koef.FKO(l) = face_flow(m, I, J, K, l, f);
}

//! Scheme weight A(|P|) of a face with mass flow F and conductance D: PECLET
//! for one face.
float peclet_weight(int32_t scheme, float F, float D) {
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
    return w;
}

//! Coefficient of face l of a node in the convective form: the mass flow
//! into the node through that face (the lower faces, odd l, take a positive
//! flow, the upper ones a negative), plus the conductance D times the weight.
inline float convective_coefficient(int32_t l, float F, float D, float w) {
    float inflow = l % 2 == 1 ? F : -F;
    if (inflow < 0.0f) inflow = 0.0f;
    return inflow + D * w;
}

//! Mobile water of node (i,j,k): drainable pores and unfrozen. A saturated
//! layer moves it horizontally, a partly saturated one only vertically
//! (seepage); a heat exchanger moves none.
inline int32_t fluid_flag(const Model& m, int32_t i, int32_t j, int32_t k) {
    int32_t flag = 0;
    const float S = m.phys.SAETT(k);
    if (m.phys.PHIN(i, j, k) > 0.0f && m.temp.TEMP(i, j, k) >= m.temp.TGEF(k)) flag = S < 1.0f ? -1 : 1;
    if (m.ifld.IFLG(i, j, k) == 5) flag = 0;
    return flag;
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
    if constexpr (Trace) {  // the trace lines in the order of the nodes
        for (int32_t k = 1; k <= d.NZ; ++k)
            for (int32_t j = 1; j <= d.NY; ++j)
                for (int32_t i = 1; i <= d.NX; ++i) node_rhs<Trace>(m, i, j, k);
    } else {  // independent nodes: the rows go to the members of the work team
        for_each_row(d.NX, d.NY, d.NZ, [&](int32_t j, int32_t k) {
            for (int32_t i = 1; i <= d.NX; ++i) node_rhs<Trace>(m, i, j, k);
        });
    }
}

//! The six neighbour coefficient arrays in face order.
std::array<NodeArray<float>*, 6> coefficient_arrays(KOEF& c) {
    return {&c.KOXM, &c.KOXP, &c.KOYM, &c.KOYP, &c.KOZM, &c.KOZP};
}

//! The nf neighbour coefficients of node (i,j,k) from the conductances AKO
//! (and, with convection, the mass flows FKO and the weights PKO).
void store_node_coefficients(Model& m, int32_t i, int32_t j, int32_t k, int32_t nf, bool konvek) {
    auto& c = m.koef;
    const auto coef = coefficient_arrays(c);
    for (int32_t l = 1; l <= nf; ++l)
        (*coef[static_cast<std::size_t>(l - 1)])(i, j, k) =
            konvek ? convective_coefficient(l, c.FKO(l), c.AKO(l), c.PKO(l)) : c.AKO(l);
}

//! Storage term of node (i,j,k): SPKONS for a held node (which pins it to
//! TEMPA through RSEI), else the heat capacity of rock and pore filling over
//! the time step (divided by the mean specific heat in the convective form).
template <bool Trace>
float storage_term(Model& m, int32_t i, int32_t j, int32_t k) {
    const int32_t iflg = m.ifld.IFLG(i, j, k);
    if (iflg == 2 || iflg == 5) return m.par2.SPKONS;
    const auto& p3 = m.par3;
    const auto& ph = m.phys;
    const float TG = static_cast<float>(m.temp.TGEF(k) - 273.15);
    const float S = ph.SAETT(k);
    const float Tc = static_cast<float>(CELS(m.temp.TEMP(i, j, k)));
    const float phi = ph.PHIG(i, j, k);
    const float rhow = RHOH2O<Trace>(m, Tc, TG, k);
    const float rhom = S * rhow + (1.0f - S) * p3.RHOL;
    if (m.inf2.KONVEK != 1) {
        float cm;
        if (Tc >= TG) {
            cm = S * p3.CPW + (1.0f - S) * p3.CPL;
        } else {
            cm = S * WCPH2O<Trace>(m, Tc - TG, k) + (1.0f - S) * p3.CPL;
        }
        return (ph.RHOG(i, j, k) * ph.CPGE(i, j, k) * (1.0f - phi) + cm * rhom * phi) * m.gitt.ZVOL(i, j, k) /
               m.par1.DELT;
    }
    return (ph.RHOG(i, j, k) * (1.0f - phi) + rhom * phi) * m.gitt.ZVOL(i, j, k) / m.par1.DELT;
}

//! Storage term and diagonal of node (i,j,k). Inside a solve (in_solve) the
//! right-hand side of a node whose storage term changes is rebuilt with it:
//! RSEI = KSPE*TEMPA against a new KSPE would act as a heat source
//! (KSPE_new - KSPE_old)*TEMPA, with TEMPA in kelvin. Nodes whose storage
//! term stays keep their RSEI.
template <bool Trace>
void store_storage(Model& m, int32_t i, int32_t j, int32_t k, bool in_solve) {
    auto& c = m.koef;
    const float kspe = storage_term<Trace>(m, i, j, k);
    const bool changed = kspe != c.KSPE(i, j, k);
    c.KSPE(i, j, k) = kspe;
    if (in_solve && changed) node_rhs<Trace>(m, i, j, k);
}

//! KDIA of node (i,j,k): its nf neighbour coefficients summed in double from
//! zero, plus KSPE.
void store_diagonal(Model& m, int32_t i, int32_t j, int32_t k, int32_t nf) {
    auto& c = m.koef;
    const auto coef = coefficient_arrays(c);
    double sum = 0.0;
    for (int32_t l = 0; l < nf; ++l) sum += static_cast<double>((*coef[static_cast<std::size_t>(l)])(i, j, k));
    c.KDIA(i, j, k) = static_cast<float>(sum + static_cast<double>(c.KSPE(i, j, k)));
}

//! Assembles the box node by node, as the routines are written: all
//! interface conductivities of the box first (KONINF evaluates a node and
//! its three forward neighbours), then the fluid flags, the coefficients
//! (KONKOF, FLUKOF, PECLET) and the storage terms with the diagonal.
template <bool Trace>
void koefft_impl(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2, bool in_solve) {
    const auto& d = m.ndim;
    const int32_t nf = heat_face_count(d);
    const int32_t ibild = m.inf2.IBILD;
    const bool konvek = m.inf2.KONVEK == 1;

    for (int32_t k = K1; k <= K2; ++k)
        for (int32_t j = J1; j <= J2; ++j)
            for (int32_t i = I1; i <= I2; ++i) koninf_impl<Trace>(m, i, j, k);

    if (konvek && m.inf4.IMODE == 0) FLUSFL(m, I1, J1, K1, I2, J2, K2);
    if (ibild >= 2) m.io.console().put_record("");
    for (int32_t k = K1; k <= K2; ++k) {
        if (ibild >= 2) layer_progress_line(m, k);
        for (int32_t j = J1; j <= J2; ++j)
            for (int32_t i = I1; i <= I2; ++i) {
                KONKOF(m, i, j, k);
                if (konvek) {
                    flukof_impl<Trace>(m, i, j, k);
                    PECLET(m, nf);
                }
                store_node_coefficients(m, i, j, k, nf, konvek);
            }
    }

    for (int32_t k = K1; k <= K2; ++k)
        for (int32_t j = J1; j <= J2; ++j)
            for (int32_t i = I1; i <= I2; ++i) {
                store_storage<Trace>(m, i, j, k, in_solve);
                store_diagonal(m, i, j, k, nf);
            }
}

// ------------------------------------------------- whole-grid assemblies
//
// The same values as koefft_impl over the whole grid, each computed once:
// the conductivity of a node once instead of once for itself and once as the
// forward neighbour of each of three nodes, the conductance of a face once,
// and the scheme weight of a face once when both of its nodes see the same
// mass flow. The scratch items AKO, FKO and PKO are not filled.

using Offset = std::ptrdiff_t;

//! Node indices of an offset.
struct NodeIndex {
    int32_t i, j, k;
};
inline NodeIndex node_index(Offset o) {
    return {static_cast<int32_t>(o % IX) + 1, static_cast<int32_t>(o / IX % IY) + 1,
            static_cast<int32_t>(o / (Offset{IX} * IY)) + 1};
}

//! The temperature of node (i,j,k) as the assembly sees it; true when it
//! differs from the one recorded, which it replaces.
bool record_temperature(const Model& m, HeatAssembly& a, Offset o, int32_t k) {
    const double T = m.temp.TEMP.data()[o];
    const float Tc = static_cast<float>(T - 273.15);
    const float dT = static_cast<float>(T - m.temp.TGEF(k));
    const uint8_t liquid = T >= m.temp.TGEF(k) ? 1 : 0;
    const auto u = static_cast<std::size_t>(o);
    const bool same = std::bit_cast<uint32_t>(Tc) == std::bit_cast<uint32_t>(a.Tc[u]) &&
                      std::bit_cast<uint32_t>(dT) == std::bit_cast<uint32_t>(a.dT[u]) && liquid == a.liquid[u];
    a.Tc[u] = Tc;
    a.dT[u] = dT;
    a.liquid[u] = liquid;
    return !same;
}

//! Interface conductivity (KFMX, KFMY or KFMZ for axis 0, 1, 2) of node
//! (i,j,k) toward its forward neighbour, from the recorded conductivities
//! and mean specific heats of the two nodes.
inline void store_face(Model& m, const HeatAssembly& a, int32_t i, int32_t j, int32_t k, int32_t axis,
                       bool konvek) {
    constexpr Offset step[3] = {1, NodeArray<float>::stride_j, NodeArray<float>::stride_k};
    const Offset o = NodeArray<float>::offset(i, j, k);
    const auto u = static_cast<std::size_t>(o), v = static_cast<std::size_t>(o + step[axis]);
    auto& ph = m.phys;
    const auto& g = m.gitt;
    auto face = [&](float aniso, float W) {
        return face_conductivity(a.lambda[u], a.lambda[v], a.cmean[u], a.cmean[v], aniso, W, konvek);
    };
    if (axis == 0) {
        ph.KFMX(i, j, k) = face(ph.ANISX, g.GEWX(i));
    } else if (axis == 1) {
        ph.KFMY(i, j, k) = face(ph.ANISY, g.GEWY(j));
    } else {
        ph.KFMZ(i, j, k) = face(ph.ANISZ, g.GEWZ(k));
    }
}

//! A face as its lower node assembled it: mass flow, conductance, weight.
struct FaceWeight {
    float F = 0.0f, D = 0.0f, w = 0.0f;
    bool set = false;
};

//! Coefficients of node (i,j,k) (faces 1..nf), their sum in double from 0
//! in face order returned. xm, ym and zm are the upper faces of the nodes
//! before, where set: the same faces, whose conductance (the same product)
//! and weight (for the same mass flow) are taken over; the node's own upper
//! faces are left in up.
template <int L>
[[gnu::always_inline]] inline void one_face_once(Model& m, int32_t i, int32_t j, int32_t k, Offset o, bool konvek,
                                                 int32_t scheme, const NodeFlow& f, const FaceWeight* lower,
                                                 FaceWeight (&up)[3], double& sum) {
    constexpr std::size_t axis = (L - 1) / 2;
    const FaceWeight* other = L % 2 == 1 && lower->set ? lower : nullptr;
    const float D = other != nullptr ? other->D : face_conductance<L>(m, i, j, k);
    float c = D;
    if (konvek) {
        const float F = face_flow<L>(m, i, j, k, f);
        const float w = other != nullptr && other->F == F ? other->w : peclet_weight(scheme, F, D);
        if constexpr (L % 2 == 0) up[axis] = FaceWeight{F, D, w, true};
        c = convective_coefficient(L, F, D, w);
    } else if constexpr (L % 2 == 0) {
        up[axis] = FaceWeight{0.0f, D, 0.0f, true};
    }
    coefficient_arrays(m.koef)[L - 1]->data()[o] = c;
    sum += static_cast<double>(c);
}

double store_coefficients_once(Model& m, int32_t i, int32_t j, int32_t k, int32_t nf, bool konvek,
                               const FaceWeight& xm, const FaceWeight& ym, const FaceWeight& zm, FaceWeight (&up)[3]) {
    const Offset o = NodeArray<float>::offset(i, j, k);
    const int32_t scheme = m.inf1.ISCHEM;
    const NodeFlow f = konvek ? node_flow<false>(m, i, j, k) : NodeFlow{};
    double sum = 0.0;
    one_face_once<1>(m, i, j, k, o, konvek, scheme, f, &xm, up, sum);
    one_face_once<2>(m, i, j, k, o, konvek, scheme, f, &xm, up, sum);
    if (nf > 2) {
        one_face_once<3>(m, i, j, k, o, konvek, scheme, f, &ym, up, sum);
        one_face_once<4>(m, i, j, k, o, konvek, scheme, f, &ym, up, sum);
    }
    if (nf > 4) {
        one_face_once<5>(m, i, j, k, o, konvek, scheme, f, &zm, up, sum);
        one_face_once<6>(m, i, j, k, o, konvek, scheme, f, &zm, up, sum);
    }
    return sum;
}

//! The coefficient of face l of node (i,j,k) alone.
void store_face_coefficient(Model& m, int32_t i, int32_t j, int32_t k, int32_t l, bool konvek) {
    const float D = face_conductance(m, i, j, k, l);
    float c = D;
    if (konvek) {
        const float F = face_flow(m, i, j, k, l, node_flow<false>(m, i, j, k));
        c = convective_coefficient(l, F, D, peclet_weight(m.inf1.ISCHEM, F, D));
    }
    (*coefficient_arrays(m.koef)[static_cast<std::size_t>(l - 1)])(i, j, k) = c;
}

//! KOEFFT over the whole grid, every value computed once (see above); the
//! solve's record, if any, holds the temperatures and node conductivities
//! afterwards.
void assemble_whole_grid(Model& m, bool in_solve, HeatAssembly& a) {
    const auto& d = m.ndim;
    const int32_t nf = heat_face_count(d);
    const bool konvek = m.inf2.KONVEK == 1;
    constexpr std::size_t nodes = std::size_t{IX} * IY * IZ;
    // The first pass below writes these for every node of the grid, and no
    // other node is read: a record kept from an earlier solve need not be
    // cleared first.
    a.Tc.resize(nodes);
    a.dT.resize(nodes);
    a.liquid.resize(nodes);
    a.lambda.resize(nodes);
    a.cmean.resize(nodes);
    a.marked.assign(nodes, 0);
    a.touched.assign(nodes, 0);
    a.nodes.clear();
    a.diagonal.clear();

    // Each pass reads only what the passes before wrote, so the rows of a
    // pass are independent and go to the members of the work team.
    for_each_row(d.NX, d.NY, d.NZ, [&](int32_t j, int32_t k) {
        for (int32_t i = 1; i <= d.NX; ++i) {
            const Offset o = NodeArray<float>::offset(i, j, k);
            const auto u = static_cast<std::size_t>(o);
            record_temperature(m, a, o, k);
            a.cmean[u] = 0.0f;
            node_conductivity<false>(m, i, j, k, konvek, a.lambda[u], a.cmean[u]);
        }
    });
    for_each_row(d.NX, d.NY, d.NZ, [&](int32_t j, int32_t k) {
        for (int32_t i = 1; i <= d.NX; ++i) {
            if (i < d.NX) store_face(m, a, i, j, k, 0, konvek);
            if (j < d.NY) store_face(m, a, i, j, k, 1, konvek);
            if (k < d.NZ) store_face(m, a, i, j, k, 2, konvek);
        }
    });
    if (konvek && m.inf4.IMODE == 0) FLUSFL(m, 1, 1, 1, d.NX, d.NY, d.NZ);

    // Coefficients, storage term and diagonal node by node (a node's storage
    // term reads nothing the coefficients write). The upper faces of the row
    // before and of the layer before, when the same run made them, lend
    // their conductance and weight to the nodes above them.
    for_row_runs(d.NX, d.NY, d.NZ, [&](int32_t first, int32_t last) {
        std::vector<FaceWeight> row_up(static_cast<std::size_t>(d.NX) + 1);
        std::vector<FaceWeight> layer_up(static_cast<std::size_t>(d.NX + 1) * static_cast<std::size_t>(d.NY + 1));
        const FaceWeight none;
        for (int32_t r = first; r < last; ++r) {
            const int32_t j = r % d.NY + 1, k = r / d.NY + 1;
            const bool ym = j > 1 && r - 1 >= first, zm = k > 1 && r - d.NY >= first;
            FaceWeight xm;
            for (int32_t i = 1; i <= d.NX; ++i) {
                auto& y = row_up[static_cast<std::size_t>(i)];
                auto& z = layer_up[static_cast<std::size_t>(i + d.NX * j)];
                FaceWeight up[3];
                const double sum =
                    store_coefficients_once(m, i, j, k, nf, konvek, xm, ym ? y : none, zm ? z : none, up);
                xm = up[0];
                y = up[1];
                z = up[2];
                store_storage<false>(m, i, j, k, in_solve);
                m.koef.KDIA(i, j, k) = static_cast<float>(sum + static_cast<double>(m.koef.KSPE(i, j, k)));
            }
        }
    });
    a.valid = true;
}

//! Marks node o for recomputation at the next re-assembly.
void mark(HeatAssembly& a, Offset o) {
    const auto u = static_cast<std::size_t>(o);
    if (a.marked[u]) return;
    a.marked[u] = 1;
    a.nodes.push_back(static_cast<int32_t>(o));
}

//! Notes that the diagonal of node o is to be summed again.
void touch(HeatAssembly& a, Offset o) {
    const auto u = static_cast<std::size_t>(o);
    if (a.touched[u]) return;
    a.touched[u] = 1;
    a.diagonal.push_back(static_cast<int32_t>(o));
}

//! The whole-grid re-assembly inside a solve, after the first: what a full
//! KOEFFT would compute, recomputed only where it can differ. A node is
//! recomputed when its temperature as the assembly sees it changed or a box
//! assembly since touched it: its conductivity, the faces it shares, its
//! fluid flag, all its coefficients, its storage term (and RSEI when that
//! changed); a neighbour across such a face gets the coefficient of that
//! face; the diagonals of all of them are summed again. Every other value
//! already is what a full assembly would give.
void reassemble_changes(Model& m, HeatAssembly& a) {
    const auto& d = m.ndim;
    const int32_t nf = heat_face_count(d);
    const bool konvek = m.inf2.KONVEK == 1;

    for (int32_t k = 1; k <= d.NZ; ++k)
        for (int32_t j = 1; j <= d.NY; ++j)
            for (int32_t i = 1; i <= d.NX; ++i) {
                const Offset o = NodeArray<float>::offset(i, j, k);
                if (record_temperature(m, a, o, k)) mark(a, o);
            }
    // Recomputing a node and its surroundings costs about four times its
    // share of a whole-grid assembly: above a quarter of the grid, that is
    // the cheaper way to the same values.
    if (a.nodes.size() * 4 > static_cast<std::size_t>(d.NX) * static_cast<std::size_t>(d.NY) * d.NZ) {
        assemble_whole_grid(m, true, a);
        return;
    }
    for (const int32_t o : a.nodes) {
        const auto [i, j, k] = node_index(o);
        const auto u = static_cast<std::size_t>(o);
        a.cmean[u] = 0.0f;
        node_conductivity<false>(m, i, j, k, konvek, a.lambda[u], a.cmean[u]);
    }
    // The fluid flags of the whole grid, of which only these can change.
    if (konvek && m.inf4.IMODE == 0) {
        if (m.inf2.IBILD >= 1) ROUTIN(m, "FLUSFL");
        for (const int32_t o : a.nodes) {
            const auto [i, j, k] = node_index(o);
            m.ifld.IFLU(i, j, k) = fluid_flag(m, i, j, k);
        }
    }
    for (const int32_t o : a.nodes) {
        const auto [i, j, k] = node_index(o);
        if (i < d.NX) store_face(m, a, i, j, k, 0, konvek);
        if (j < d.NY) store_face(m, a, i, j, k, 1, konvek);
        if (k < d.NZ) store_face(m, a, i, j, k, 2, konvek);
        if (i > 1) store_face(m, a, i - 1, j, k, 0, konvek);
        if (j > 1) store_face(m, a, i, j - 1, k, 1, konvek);
        if (k > 1) store_face(m, a, i, j, k - 1, 2, konvek);
    }
    constexpr Offset step[6] = {-1, 1, -NodeArray<float>::stride_j, NodeArray<float>::stride_j,
                                -NodeArray<float>::stride_k, NodeArray<float>::stride_k};
    for (const int32_t o : a.nodes) {
        const auto [i, j, k] = node_index(o);
        const FaceWeight none;
        FaceWeight up[3];
        store_coefficients_once(m, i, j, k, nf, konvek, none, none, none, up);
        touch(a, o);
        const bool exists[6] = {i > 1, i < d.NX, j > 1, j < d.NY, k > 1, k < d.NZ};
        for (int32_t l = 1; l <= nf; ++l) {
            if (!exists[l - 1]) continue;
            const Offset q = o + step[l - 1];
            if (a.marked[static_cast<std::size_t>(q)]) continue;
            const auto [qi, qj, qk] = node_index(q);
            store_face_coefficient(m, qi, qj, qk, l % 2 == 1 ? l + 1 : l - 1, konvek);  // the face toward o
            touch(a, q);
        }
    }
    for (const int32_t o : a.nodes) {
        const auto [i, j, k] = node_index(o);
        store_storage<false>(m, i, j, k, true);
    }
    for (const int32_t o : a.diagonal) {
        const auto [i, j, k] = node_index(o);
        store_diagonal(m, i, j, k, nf);
        a.touched[static_cast<std::size_t>(o)] = 0;
    }
    for (const int32_t o : a.nodes) a.marked[static_cast<std::size_t>(o)] = 0;
    a.nodes.clear();
    a.diagonal.clear();
}

//! KOEFFT with its trace line, for a set-up or a re-assembly inside a solve.
//! The whole grid without the detailed trace takes the whole-grid assembly,
//! or, inside a solve whose record holds an earlier one, the re-assembly of
//! what changed; a box assembled inside such a solve marks its nodes.
void koefft_traced(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2, bool in_solve,
                   HeatAssembly* record) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "KOEFFT");
    if (m.inf2.IBILD >= 2) {
        koefft_impl<true>(m, I1, J1, K1, I2, J2, K2, in_solve);
        return;
    }
    const auto& d = m.ndim;
    const bool whole = I1 == 1 && J1 == 1 && K1 == 1 && I2 == d.NX && J2 == d.NY && K2 == d.NZ;
    if (whole) {
        // The flag tables of the control print come with a full FLUSFL.
        if (record != nullptr && record->valid && m.inf1.KONTRL != 3) {
            reassemble_changes(m, *record);
        } else if (record != nullptr) {
            assemble_whole_grid(m, in_solve, *record);
        } else {
            static HeatAssembly scratch;  // its arrays kept from call to call (one per process)
            scratch.valid = false;
            assemble_whole_grid(m, in_solve, scratch);
        }
        return;
    }
    koefft_impl<false>(m, I1, J1, K1, I2, J2, K2, in_solve);
    if (record != nullptr && record->valid) {
        for (int32_t k = K1; k <= K2; ++k)
            for (int32_t j = J1; j <= J2; ++j)
                for (int32_t i = I1; i <= I2; ++i) mark(*record, NodeArray<float>::offset(i, j, k));
    }
}

}  // namespace

HeatAssembly& reused_heat_assembly() {
    static HeatAssembly a;  // one per process, as reused_ascending_sweeps
    a.valid = false;
    return a;
}

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
    for (int32_t k = K1; k <= K2; ++k)
        for (int32_t j = J1; j <= J2; ++j)
            for (int32_t i = I1; i <= I2; ++i) F(i, j, k) = fluid_flag(m, i, j, k);

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
    for (int32_t l = 1; l <= N; ++l) c.PKO(l) = peclet_weight(m.inf1.ISCHEM, c.FKO(l), c.AKO(l));
}

void KOEFFT(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2) {
    koefft_traced(m, I1, J1, K1, I2, J2, K2, false, nullptr);
}

void reassemble_heat_box(Model& m, int32_t I1, int32_t J1, int32_t K1, int32_t I2, int32_t J2, int32_t K2,
                         HeatAssembly* record) {
    koefft_traced(m, I1, J1, K1, I2, J2, K2, true, record);
}

void QKOEFT(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "QKOEFT");
    m.inf2.IBILD >= 2 ? qkoeft_impl<true>(m) : qkoeft_impl<false>(m);
}

}  // namespace gruv
