// The flow equation of every node: interface conductivities (KONDUK), the six
// neighbour coefficients (KONKOF, KOEFFH), storage, diagonal and right-hand
// side (QKOEFH), and the local refresh of a node whose head crosses the top of
// its cell during a solve (DELTAH).
//
// Node equation for the head H of the new time level:
//   KDIA*H(P) - KOXM*H(I-1) - KOXP*H(I+1) - KOYM*H(J-1) - ... = RSEI,
//   KDIA = KOXM + KOXP + KOYM + KOYP + KOZM + KOZP + KSPE,  RSEI = KSPE*WPOTA + QUEL.
#include <cmath>

#include "flow/face_conductance.hpp"
#include "flow/flow.hpp"
#include "flow/layer_faces.hpp"
#include "flow/properties.hpp"
#include "heat/heat.hpp"
#include "parallel/work_team.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! Small leakage [m/s] that keeps a dry cell connected to a wet neighbour.
constexpr float kDryLeakage = 1.0E-5f;

//! Conductance of a horizontal face between a node with head H1 and its
//! neighbour with head H2, from the interface conductivity C of the saturated
//! cells: full when both cells are saturated, the leakage when this node is
//! dry, otherwise C times the weighted geometric mean of the two saturated
//! thicknesses over the cell thickness D. A face with C = 0 (impermeable or
//! inactive neighbour) stays closed even from a dry cell.
inline float saturated_face(float C, float H1, float H2, float Zu, float Zo, float D, float w) {
    if (H1 >= Zo && H2 >= Zo) return C;
    if (H1 <= Zu) return C == 0.0f ? 0.0f : kDryLeakage;
    const float b1 = H1 - Zu;
    const float b2 = std::fmin(std::fabs(H2 - Zu), D);
    return C * std::pow(b1, 1.0f - w) * std::pow(b2, w) / D;
}

//! KONDUK for node (I,J,K); the body of the whole-grid loop and of DELTAH.
inline void interface_conductivities(Model& m, int32_t I, int32_t J, int32_t K, ViscosityMemo* memo = nullptr) {
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& t = m.trns;
    const auto& H = m.wpot.WPOT;
    const auto& IFLU = m.ifld.IFLU;
    auto& p = m.phys;
    const bool fluid_flags = m.inf4.IMODE <= 1;

    const float Zu = layer_bottom(m, K);
    const float Zo = Zu + g.ZBRZ(K);
    const float D = g.ZBRZ(K);

    float Kx = t.TRSX(I, J, K);
    float Ky = t.TRSY(I, J, K);
    float Kz = t.TRSZ(I, J, K);
    // Conductivity of the node below; a frozen node below closes the face.
    float Kz2 = 0.0f;
    if (K < d.NZ) {
        Kz2 = t.TRSZ(I, J, K + 1);
        if (fluid_flags && IFLU(I, J, K + 1) == 0) Kz2 = 0.0f;
    }
    // A node without mobile water conducts nothing toward its forward faces.
    if (fluid_flags && IFLU(I, J, K) == 0) Kx = Ky = Kz = 0.0f;

    float CX = 0.0f;
    if (I != d.NX) {
        const float C = HARMON(Kx, t.TRSX(I + 1, J, K), g.GEWX(I));
        CX = saturated_face(C, H(I, J, K), H(I + 1, J, K), Zu, Zo, D, g.GEWX(I));
    }
    float CY = 0.0f;
    if (J != d.NY) {
        const float C = HARMON(Ky, t.TRSY(I, J + 1, K), g.GEWY(J));
        CY = saturated_face(C, H(I, J, K), H(I, J + 1, K), Zu, Zo, D, g.GEWY(J));
    }
    const float CZ = HARMON(Kz, Kz2, g.GEWZ(K));

    float VX = 1.0f, VY = 1.0f, VZ = 1.0f;
    if (m.inf5.IVISK == 1) VISKOS(m, I, J, K, VX, VY, VZ, memo);
    p.KFMX(I, J, K) = CX / VX;
    p.KFMY(I, J, K) = CY / VY;
    p.KFMZ(I, J, K) = CZ / VZ;
}

//! KONKOF for node (I,J,K): the conductances of its six faces.
inline void neighbour_coefficients(Model& m, int32_t I, int32_t J, int32_t K) {
    for (int32_t l = 1; l <= 6; ++l) m.koef.AKO(l) = face_conductance(m, I, J, K, l);
}

//! Copies AKO(1..6) into the coefficient arrays at (I,J,K).
inline void store_coefficients(Model& m, int32_t I, int32_t J, int32_t K) {
    auto& c = m.koef;
    c.KOXM(I, J, K) = c.AKO(1);
    c.KOXP(I, J, K) = c.AKO(2);
    c.KOYM(I, J, K) = c.AKO(3);
    c.KOYP(I, J, K) = c.AKO(4);
    c.KOZM(I, J, K) = c.AKO(5);
    c.KOZP(I, J, K) = c.AKO(6);
}

}  // namespace

void KONDUK(Model& m, int32_t I, int32_t J, int32_t K) { interface_conductivities(m, I, J, K); }

void KONKOF(Model& m, int32_t I, int32_t J, int32_t K) { neighbour_coefficients(m, I, J, K); }

void KOEFFH(Model& m) {
    static const FormatProgram& layer_line = fixed_format("('+',T17,'***** Schicht ',I4,' wird berechnet ****')");
    if (m.inf2.IBILD >= 1) ROUTIN(m, "KOEFFH");
    const auto& d = m.ndim;
    if (m.inf4.IMODE < 2) FLUSFL(m, 1, 1, 1, d.NX, d.NY, d.NZ);

    // Every interface conductivity is complete before any coefficient is
    // formed; a node's own values depend on no other node's in either pass,
    // so the rows go to the members of the work team.
    for_each_row(d.NX, d.NY, d.NZ, [&](int32_t J, int32_t K) {
        ViscosityMemo memo;  // neighbouring faces often share their temperature
        for (int32_t I = 1; I <= d.NX; ++I) interface_conductivities(m, I, J, K, &memo);
    });

    if (m.inf2.IBILD >= 2) m.io.console().put_record("");
    auto coefficients = [&](int32_t J, int32_t K) {
        auto& c = m.koef;
        for (int32_t I = 1; I <= d.NX; ++I) {
            c.KOXM(I, J, K) = face_conductance(m, I, J, K, 1);
            c.KOXP(I, J, K) = face_conductance(m, I, J, K, 2);
            c.KOYM(I, J, K) = face_conductance(m, I, J, K, 3);
            c.KOYP(I, J, K) = face_conductance(m, I, J, K, 4);
            c.KOZM(I, J, K) = face_conductance(m, I, J, K, 5);
            c.KOZP(I, J, K) = face_conductance(m, I, J, K, 6);
        }
    };
    if (m.inf2.IBILD == 1) {  // the layer progress line comes before the layer's coefficients
        for (int32_t K = 1; K <= d.NZ; ++K) {
            write(m.io.console(), layer_line, K);
            for (int32_t J = 1; J <= d.NY; ++J) coefficients(J, K);
        }
    } else {
        for_each_row(d.NX, d.NY, d.NZ, coefficients);
    }
    // The scratch AKO holds the conductances of the last node, as KONKOF
    // node by node leaves it.
    neighbour_coefficients(m, d.NX, d.NY, d.NZ);
}

void QKOEFH(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "QKOEFH");
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& H = m.wpot.WPOT;
    const auto& HA = m.wpot.WPOTA;
    const auto& t = m.trns;
    const auto& PHIN = m.phys.PHIN;
    const auto& JFLG = m.ifld.JFLG;
    auto& c = m.koef;
    const float SPKONS = m.par2.SPKONS;
    const float DELT = m.par1.DELT;
    for_each_row(d.NX, d.NY, d.NZ, [&](int32_t J, int32_t K) {
        const float Zo = layer_top(m, K);
        for (int32_t I = 1; I <= d.NX; ++I) {
            // Confined storage; the drainable porosity in a partly saturated
            // cell; an overwhelming storage holds a constant head.
            float S = t.SPEI(I, J, K);
            if (H(I, J, K) < Zo) S = PHIN(I, J, K);
            if (JFLG(I, J, K) == 2) S = SPKONS;
            const float KSPE = g.ZBRX(I) * g.ZBRY(J) * S / DELT;
            c.KSPE(I, J, K) = KSPE;
            c.KDIA(I, J, K) = 0.0f + c.KOXM(I, J, K) + c.KOXP(I, J, K) + c.KOYM(I, J, K) + c.KOYP(I, J, K) +
                              c.KOZM(I, J, K) + c.KOZP(I, J, K) + KSPE;
            c.RSEI(I, J, K) = KSPE * HA(I, J, K) + t.QUEL(I, J, K);
        }
    });
}

void DELTAH(Model& m, int32_t I, int32_t J, int32_t K) {
    // No trace line: DELTAH runs inside the node updates of the solvers.
    const auto& d = m.ndim;
    // The node and its two backward neighbours, whose forward faces touch it;
    // a node of the last column or row is left as it is.
    const int32_t ni[3] = {I, I - 1, I};
    const int32_t nj[3] = {J, J, J - 1};
    for (int n = 0; n < 3; ++n) {
        if (ni[n] >= 1 && ni[n] <= d.NX - 1 && nj[n] >= 1 && nj[n] <= d.NY - 1)
            interface_conductivities(m, ni[n], nj[n], K);
    }
    neighbour_coefficients(m, I, J, K);
    store_coefficients(m, I, J, K);
    auto& c = m.koef;
    c.KDIA(I, J, K) =
        0.0f + c.AKO(1) + c.AKO(2) + c.AKO(3) + c.AKO(4) + c.AKO(5) + c.AKO(6) + c.KSPE(I, J, K);
}

}  // namespace gruv
