// Heat content of the model and its balances, the conductive heat flow into
// the heat-exchanger nodes, and the freezing temperature of every layer.
#include <array>
#include <cstdint>

#include "flow/properties.hpp"
#include "heat/heat.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! Heat content of one cell [J], counted from 0 K and including the latent
//! heat of its liquid pore water.
template <bool Trace>
double cell_heat(Model& m, int32_t I, int32_t J, int32_t K, double T, double TG) {
    const auto& p3 = m.par3;
    const auto& ph = m.phys;
    const float V = m.gitt.ZVOL(I, J, K);
    const float phi = ph.PHIG(I, J, K);
    const float S = ph.SAETT(K);
    const float Vw = V * phi * S;
    const float Va = (1.0f - S) * V * phi;
    const float Vr = (1.0f - phi) * V;
    const float rock = Vr * ph.RHOG(I, J, K) * ph.CPGE(I, J, K);
    const double dT = T - TG;
    if (dT <= 0.0) {
        const float X = WASEIS<Trace>(m, static_cast<float>(dT), K);
        const float cap = Va * p3.CPL * p3.RHOL + Vw * (X * p3.CPW * p3.RHOW + (1.0f - X) * p3.CPE * p3.RHOE) + rock;
        const float latent = X * p3.SCHMW * Vw * p3.RHOW;
        return static_cast<double>(cap) * T + static_cast<double>(latent);
    }
    const float cap = Vw * p3.RHOW * p3.CPW + Va * p3.RHOL * p3.CPL + rock;
    const float latent = Vw * p3.SCHMW * p3.RHOW;
    return static_cast<double>(cap) * T + static_cast<double>(latent);
}

//! Heat content of the model [J]; last receives the content of the last
//! cell summed (it keeps its value when no cell takes part).
template <bool Trace>
double model_heat(Model& m, double& last) {
    const auto& d = m.ndim;
    const float spkons = m.par2.SPKONS;
    double E = 0.0;
    for (int32_t k = 1; k <= d.NZ; ++k)
        for (int32_t j = 1; j <= d.NY; ++j)
            for (int32_t i = 1; i <= d.NX; ++i) {
                // Nodes taken out of the heat transport carry the marker
                // capacity SPKONS; they hold no heat of the model.
                if (m.phys.CPGE(i, j, k) >= spkons) continue;
                last = cell_heat<Trace>(m, i, j, k, m.temp.TEMP(i, j, k), m.temp.TGEF(k));
                E = E + last;
            }
    return E;
}

//! Conductive heat flow into the heat-exchanger nodes [W], the sum of WFLUSS.
float exchanger_flow(Model& m) {
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    auto& ph = m.phys;
    const auto& T = m.temp.TEMP;
    const auto& flag = m.ifld.IFLG;
    const int32_t konvek = m.inf2.KONVEK;
    float Q = 0.0f;

    // Interface values overwritten by the conduction-only recomputation
    // around one exchanger node; they are given back before the next node,
    // so the coefficient store stays as the last set-up left it.
    struct Saved {
        float* where;
        float value;
    };
    std::array<Saved, 12> saved{};

    for (int32_t k = 1; k <= d.NZ; ++k)
        for (int32_t j = 1; j <= d.NY; ++j)
            for (int32_t i = 1; i <= d.NX; ++i) {
                if (flag(i, j, k) != 5) continue;
                std::size_t nsaved = 0;
                if (konvek == 1) {
                    m.inf2.KONVEK = 0;
                    auto conduction_only = [&](int32_t a, int32_t b, int32_t c) {
                        for (NodeArray<float>* arr : {&ph.KFMX, &ph.KFMY, &ph.KFMZ})
                            saved[nsaved++] = Saved{&(*arr)(a, b, c), (*arr)(a, b, c)};
                        KONINF(m, a, b, c);
                    };
                    conduction_only(i, j, k);
                    if (i > 1) conduction_only(i - 1, j, k);
                    if (j > 1) conduction_only(i, j - 1, k);
                    if (k > 1) conduction_only(i, j, k - 1);
                }
                const double Tp = T(i, j, k);
                auto add = [&](float conductance, double Tn, float distance) {
                    Q = static_cast<float>(static_cast<double>(Q) +
                                           static_cast<double>(conductance) * (Tn - Tp) / static_cast<double>(distance));
                };
                if (i > 1 && flag(i - 1, j, k) == 1)
                    add(ph.KFMX(i - 1, j, k) * g.ZBRY(j) * g.ZBRZ(k), T(i - 1, j, k), g.KABX(i - 1));
                if (i < d.NX && flag(i + 1, j, k) == 1)
                    add(ph.KFMX(i, j, k) * g.ZBRY(j) * g.ZBRZ(k), T(i + 1, j, k), g.KABX(i));
                if (j > 1 && flag(i, j - 1, k) == 1)
                    add(ph.KFMY(i, j - 1, k) * g.ZBRX(i) * g.ZBRZ(k), T(i, j - 1, k), g.KABY(j - 1));
                if (j < d.NY && flag(i, j + 1, k) == 1)
                    add(ph.KFMY(i, j, k) * g.ZBRX(i) * g.ZBRZ(k), T(i, j + 1, k), g.KABY(j));
                if (k > 1 && flag(i, j, k - 1) == 1)
                    add(ph.KFMZ(i, j, k - 1) * g.ZBRX(i) * g.ZBRY(j), T(i, j, k - 1), g.KABZ(k - 1));
                if (k < d.NZ && flag(i, j, k + 1) == 1)
                    add(ph.KFMZ(i, j, k) * g.ZBRX(i) * g.ZBRY(j), T(i, j, k + 1), g.KABZ(k));
                // Give back in reverse order, so a value saved twice ends as the original.
                while (nsaved > 0) {
                    --nsaved;
                    *saved[nsaved].where = saved[nsaved].value;
                }
            }
    m.inf2.KONVEK = konvek;
    return Q;
}

}  // namespace

void ZELLEN(Model& m, int32_t I, int32_t J, int32_t K, double T, double TG) {
    m.ekal.EZEL = m.inf2.IBILD >= 2 ? cell_heat<true>(m, I, J, K, T, TG) : cell_heat<false>(m, I, J, K, T, TG);
}

void ENERGI(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "ENERGI");
    double last = m.ekal.EZEL;
    const double E = m.inf2.IBILD >= 2 ? model_heat<true>(m, last) : model_heat<false>(m, last);
    m.ekal.EZEL = last;
    auto& e = m.ekal;
    double since_last = 0.0;
    double since_start = 0.0;  // 0 at the first report, which fixes the reference
    if (m.inf2.IERST == 1) {
        e.EANF = E;
    } else {
        since_last = E - e.EALT;
        since_start = E - e.EANF;
    }
    e.EALT = E;
    static const FormatProgram& f1 = fixed_format("(/,' Energieinhalt gesamt:                       ',1PE15.6,' Joule')");
    static const FormatProgram& f2 = fixed_format("(' Energiebilanz seit dem letzten Ausdruck:    ',1PE15.6,' Joule')");
    static const FormatProgram& f3 = fixed_format("(' Energiebilanz seit Beginn der Simulation:   ',1PE15.6,' Joule')");
    auto& out = m.io.unit(m.inf2.IOUT);
    write(out, f1, E);
    write(out, f2, since_last);
    write(out, f3, since_start);
    m.inf2.IERST = 0;
}

void WFLUSS(Model& m, int32_t N) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "WFLUSS");
    const float Q = exchanger_flow(m);

    static const FormatProgram& f1 = fixed_format("(' Waermefluss zum Waermetauscher              ',1PE15.6,' Watt')");
    static const FormatProgram& f2 = fixed_format("(' Waermefluss pro Zeiteinheit                 ',1PE15.6,' Watt/Stunde')");
    auto& out = m.io.unit(m.inf2.IOUT);
    write(out, f1, Q);
    const float rate = Q * 3600.0f / m.par1.DELT;
    write(out, f2, static_cast<float>(N) * rate);
}

double heat_content(Model& m) {
    double last = 0.0;
    return model_heat<false>(m, last);
}

float exchanger_heat_flow(Model& m) {
    // The routine trace belongs to the listing's own calls.
    const int32_t ibild = m.inf2.IBILD;
    m.inf2.IBILD = 0;
    const float Q = exchanger_flow(m);
    m.inf2.IBILD = ibild;
    return Q;
}

void TAUPKT(Model& m, Array1<double, IZ>& TG, const Array1<float, IZ>& Z, int32_t I0, int32_t J0) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "TAUPKT");
    float G = m.par1.FLURAB;
    for (int32_t k = 1; k <= m.ndim.NZ; ++k) {
        if (m.inf4.IMODE == 1) {
            // The computed water table of the reference column; a node taken
            // out of the flow holds only a marker head, so the layer keeps
            // the water-table depth of the input.
            if (m.trns.SPEI(I0, J0, k) >= m.par2.SPKONS) {
                G = m.par1.FLURAB;
            } else {
                G = m.par2.HGOK - m.wpot.WPOT(I0, J0, k);
            }
        }
        TG(k) = Z(k) <= G ? 273.15 : 272.15;
    }
}

}  // namespace gruv
