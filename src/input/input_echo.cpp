// Echo of the model input: every node field the run starts with, layer by
// layer as tables over the grid, then the node distances of each direction.
#include <array>

#include "input/input.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! Empty line, heading text, layer number and depth.
void layer_heading(Model& m, OutputUnit& u, std::string_view title, int32_t k) {
    static const FormatProgram& f = fixed_format("(/,A,I2,' - ',F6.2,' m u. GOK')");
    write(u, f, title, k, m.gitt.KORZ(k));
}

//! One table: heading, the column coordinates, then one row per J with its
//! Y coordinate and the NX values. Rows of more than 10 values continue on
//! indented lines; a full last line of 10 is followed by an empty line.
template <class T, class ValueAt>
void field_table(Model& m, OutputUnit& u, std::string_view title, int32_t k, const FormatProgram& row,
                 ValueAt value_at) {
    static const FormatProgram& columns = fixed_format("('    Y\\X ',10F8.2,/,50(8X,10F8.2,/))");
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    layer_heading(m, u, title, k);
    write(u, columns, out_array(g.KORX.data(), d.NX));
    std::array<T, IX> values{};
    for (int32_t j = 1; j <= d.NY; ++j) {
        for (int32_t i = 1; i <= d.NX; ++i) values[static_cast<std::size_t>(i - 1)] = value_at(i, j);
        write(u, row, g.KORY(j), out_array(values.data(), d.NX));
    }
}

//! Title and the node distances of one direction, 10 to a line.
void distances(OutputUnit& u, std::string_view title, const float* kab, int32_t n) {
    static const FormatProgram& head = fixed_format("(/,1X,A40)");
    static const FormatProgram& list = fixed_format("(50(10F8.2,/))");
    write(u, head, title);
    write(u, list, out_array(kab, n));
}

}  // namespace

void DATAUS(Model& m) {
    static const FormatProgram& f82 = fixed_format("(F8.2,10F8.2,/,50(8X,10F8.2,/))");
    static const FormatProgram& f80 = fixed_format("(F8.2,10F8.0,/,50(8X,10F8.0,/))");
    static const FormatProgram& f85 = fixed_format("(F8.2,10F8.5,/,50(8X,10F8.5,/))");
    static const FormatProgram& i8 = fixed_format("(F8.2,10I8,/,50(8X,10I8,/))");
    if (m.inf2.IBILD >= 1) ROUTIN(m, "DATAUS");
    OutputUnit& u = m.io.unit(m.inf2.IOUT);
    const auto& d = m.ndim;
    const auto& p = m.phys;
    const auto& t = m.trns;
    const auto& T = m.temp.TEMP;
    const auto& fl = m.ifld;
    const auto& SOUC = m.ener.SOUC;
    const auto& WPOT = m.wpot.WPOT;
    const int32_t IMODE = m.inf4.IMODE;

    for (int32_t k = 1; k <= d.NZ; ++k) {
        if (IMODE != 2) {
            layer_heading(m, u, " Eingangsparameter von Schicht ", k);
            field_table<double>(m, u, " Ausgangstemperatur in Grad Celsius - Schicht ", k, f82,
                                [&](int i, int j) { return T(i, j, k) - 273.15; });
            field_table<float>(m, u, " Waermekapazitaet in J/kg*K - Schicht ", k, f80,
                               [&](int i, int j) { return p.CPGE(i, j, k); });
            field_table<float>(m, u, " Dichte des Gesteins in g/cbcm - Schicht ", k, f82,
                               [&](int i, int j) { return p.RHOG(i, j, k) / 1000.0f; });
            field_table<float>(m, u, " thermische Leitfaehigkeit in W/m*K - Schicht ", k, f82,
                               [&](int i, int j) { return p.WLKG(i, j, k); });
            field_table<int32_t>(m, u,
                                 " T-Flags: 1=var.Tmp. 2=konst.Tmp. 3=Wrmf. 4=Wkof. 5=Wtausch. - Schicht ", k, i8,
                                 [&](int i, int j) { return fl.IFLG(i, j, k); });
            field_table<float>(m, u, " Ges.Porositaet in den Zellen (0 - 1)    - Schicht ", k, f82,
                               [&](int i, int j) { return p.PHIG(i, j, k); });
            field_table<float>(m, u, " Nutzporositaet in den Zellen (0 - 1)    - Schicht ", k, f82,
                               [&](int i, int j) { return p.PHIN(i, j, k); });
            field_table<float>(m, u, " interne Waermeproduktion in Watt/cbm - Schicht ", k, f82,
                               [&](int i, int j) { return SOUC(i, j, k); });
        }
        if (IMODE > 0) {
            field_table<float>(m, u, " Ausgangspiezometerhoehe in Meter     - Schicht ", k, f82,
                               [&](int i, int j) { return WPOT(i, j, k); });
            field_table<float>(m, u, " Speicherkoeffizient (-)              - Schicht ", k, f85,
                               [&](int i, int j) { return t.SPEI(i, j, k); });
            field_table<float>(m, u, " Quellen und Senken in cbm/s          - Schicht ", k, f85,
                               [&](int i, int j) { return t.QUEL(i, j, k); });
            field_table<int32_t>(m, u, " H-Flags: 1=var.Wsp. 2=konst.Wsp.               - Schicht           ", k,
                                 i8, [&](int i, int j) { return fl.JFLG(i, j, k); });
            field_table<float>(m, u, " hydraulische Leitfaehigkeit in X-Ri. - Schicht ", k, f85,
                               [&](int i, int j) { return t.TRSX(i, j, k); });
            field_table<float>(m, u, " hydraulische Leitfaehigkeit in Y-Ri. - Schicht ", k, f85,
                               [&](int i, int j) { return t.TRSY(i, j, k); });
            field_table<float>(m, u, " hydraulische Leitfaehigkeit in Z-Ri. - Schicht ", k, f85,
                               [&](int i, int j) { return t.TRSZ(i, j, k); });
        }
    }

    const auto& g = m.gitt;
    distances(u, " Knotenabstaende in X-Richtung  (Meter):", g.KABX.data(), d.NX1);
    distances(u, " Knotenabstaende in Y-Richtung  (Meter):", g.KABY.data(), d.NY1);
    distances(u, " Knotenabstaende in Z-Richtung  (Meter):", g.KABZ.data(), d.NZ1);
}

}  // namespace gruv
