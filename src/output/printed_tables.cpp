// Printed result tables on the listing: sections through the grid of the
// temperatures (TMPDRU) and heads (PIEDRU) at the print times, the sections of
// the input fields at the start (PROFIL), and the per-layer table of the
// prescribed groundwater velocities (VDRUCK).
#include <cstdint>
#include <string_view>

#include "control/control.hpp"
#include "flow/properties.hpp"
#include "output/output.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! One section through the grid: which one, where, and along which axes.
enum class Section { XZ, YZ, XY };

//! Row I,J,K of node n along the horizontal axis of a section row.
struct SectionRow {
    int32_t I0, J0, K0;  // first node of the row
    int32_t DI, DJ;      // step along the row
    int32_t count;       // values in the row
};

//! The selected index of a section, or 0 when the section is switched off.
int32_t section_index(const Model& m, Section s) {
    const auto& d = m.ndim;
    const auto& p = m.ipro;
    switch (s) {
        case Section::XZ: return (p.ISCHY >= 1 && p.ISCHY <= d.NY) ? p.ISCHY : 0;
        case Section::YZ: return (p.ISCHX >= 1 && p.ISCHX <= d.NX) ? p.ISCHX : 0;
        case Section::XY: return (p.ISCHZ >= 1 && p.ISCHZ <= d.NZ) ? p.ISCHZ : 0;
    }
    return 0;
}

//! Coordinate of the section plane: KORY(J), KORX(I) or KORZ(K).
float section_coordinate(const Model& m, Section s, int32_t index) {
    switch (s) {
        case Section::XZ: return m.gitt.KORY(index);
        case Section::YZ: return m.gitt.KORX(index);
        case Section::XY: return m.gitt.KORZ(index);
    }
    return 0.0f;
}

//! Coordinates along the horizontal axis of the section and their number.
const float* section_axis(const Model& m, Section s, int32_t& n) {
    if (s == Section::YZ) {
        n = m.ndim.NY;
        return m.gitt.KORY.data();
    }
    n = m.ndim.NX;
    return m.gitt.KORX.data();
}

//! Number of rows (grid lines along the vertical axis) of the section.
int32_t section_rows(const Model& m, Section s) { return s == Section::XY ? m.ndim.NY : m.ndim.NZ; }

//! Coordinate of row r: the layer depth, or KORY(J) in the X-Y section.
float row_coordinate(const Model& m, Section s, int32_t r) {
    return s == Section::XY ? m.gitt.KORY(r) : m.gitt.KORZ(r);
}

//! The nodes of row r of the section at the given index.
SectionRow section_row(const Model& m, Section s, int32_t index, int32_t r) {
    switch (s) {
        case Section::XZ: return {1, index, r, 1, 0, m.ndim.NX};
        case Section::YZ: return {index, 1, r, 0, 1, m.ndim.NY};
        case Section::XY: return {1, r, index, 1, 0, m.ndim.NX};
    }
    return {1, 1, 1, 1, 0, 0};
}

constexpr Section kSections[3] = {Section::XZ, Section::YZ, Section::XY};

//! The sections of a result field (temperatures or heads): heading, header
//! row with the coordinates, one row per grid line. value(I,J,K) gives the
//! printed value as double or float.
template <class Value>
void result_sections(Model& m, const FormatProgram* const headings[3], Value value) {
    static const FormatProgram& header = fixed_format("(A10,10F7.2,/,50(10X,10F7.2,/))");
    static const FormatProgram& row = fixed_format("(F10.2,10F7.2,/,50(10X,10F7.2,/))");
    static constexpr std::string_view labels[3] = {"  Z\\X     ", "  Z\\Y     ", "  Y\\X     "};
    OutputUnit& out = m.io.unit(m.inf2.IOUT);
    for (int s = 0; s < 3; ++s) {
        const Section sec = kSections[s];
        const int32_t index = section_index(m, sec);
        if (index == 0) continue;
        write(out, *headings[s], section_coordinate(m, sec, index), index);
        int32_t n = 0;
        const float* axis = section_axis(m, sec, n);
        write(out, header, labels[s], out_array(axis, n));
        for (int32_t r = 1; r <= section_rows(m, sec); ++r) {
            const SectionRow nodes = section_row(m, sec, index, r);
            decltype(value(1, 1, 1)) values[MAXLIN];
            for (int32_t v = 0; v < nodes.count; ++v)
                values[v] = value(nodes.I0 + v * nodes.DI, nodes.J0 + v * nodes.DJ, nodes.K0);
            write(out, row, row_coordinate(m, sec, r), out_array(values, nodes.count));
        }
    }
}

}  // namespace

void TMPDRU(Model& m) {
    static const FormatProgram& convergence =
        fixed_format("(/,' Konvergenz seit dem letzten Zeitschritt nach',I4,' Iterationen')");
    static const FormatProgram* const headings[3] = {
        &fixed_format("(/,T20,'X - Z Temperaturverteilung Y bei ',F7.2,' Meter - Spalte ',I2,/)"),
        &fixed_format("(/,T20,'Y - Z Temperaturverteilung X bei ',F7.2,' Meter - Reihe ',I2,/)"),
        &fixed_format("(/,T20,'X - Y Temperaturverteilung Z bei ',F7.2,' Meter - Schicht ',I2,/)"),
    };
    if (m.inf2.IBILD >= 1) ROUTIN(m, "TMPDRU");
    ZEITBE(m, m.inf2.IOUT);
    write(m.io.unit(m.inf2.IOUT), convergence, m.inf2.NIT);
    const auto& T = m.temp.TEMP;
    result_sections(m, headings, [&T](int32_t I, int32_t J, int32_t K) { return CELS(T(I, J, K)); });
}

void PIEDRU(Model& m) {
    static const FormatProgram& convergence =
        fixed_format("(/,' Konvergenz seit dem letzten Zeitschritt nach ',I2,' Iterationen')");
    static const FormatProgram* const headings[3] = {
        &fixed_format("(/,T20,'X - Z Piezometerhoehen Y bei ',F7.2,' Meter - Spalte ',I4,/)"),
        &fixed_format("(/,T20,'Y - Z Piezometerhoehen X bei ',F7.2,' Meter - Reihe ',I4,/)"),
        &fixed_format("(/,T20,'X - Y Piezometerhoehen Z bei ',F7.2,' Meter - Schicht ',I4,/)"),
    };
    if (m.inf2.IBILD >= 1) ROUTIN(m, "PIEDRU");
    ZEITBE(m, m.inf2.IOUT);
    write(m.io.unit(m.inf2.IOUT), convergence, m.inf2.NIT);
    const auto& H = m.wpot.WPOT;
    result_sections(m, headings, [&H](int32_t I, int32_t J, int32_t K) { return H(I, J, K); });
}

void PROFIL(Model& m, const NodeArray<float>& A, const NodeArray<int32_t>& IA, int32_t& N) {
    static const FormatProgram* const headings[3] = {
        &fixed_format("(/,' X - Z - Schnitt Y bei ',F5.2,' Meter - Spalte ',I2)"),
        &fixed_format("(/,' Y - Z - Schnitt X bei ',F5.2,' Meter - Reihe ',I2)"),
        &fixed_format("(/,' X - Y - Schnitt Z bei ',F5.2,' Meter - Schicht ',I2)"),
    };
    static const FormatProgram& header = fixed_format("(A7,10F6.2,/,9(7X,10F6.2,/))");
    static constexpr std::string_view labels[3] = {"  Z\\X  ", "  Z\\Y  ", "  Y\\X  "};
    if (m.inf2.IBILD >= 1) ROUTIN(m, "PROFIL");
    if (N < 1 || N > 8) {  // no such table
        ++N;
        return;
    }
    OutputUnit& out = m.io.unit(m.inf2.IOUT);
    const auto slot = static_cast<std::size_t>(N - 1);
    write(out, fixed_format(FORM::PRTITL[slot]));
    const FormatProgram& row = fixed_format(FORM::PRFORM[slot]);
    for (int s = 0; s < 3; ++s) {
        const Section sec = kSections[s];
        const int32_t index = section_index(m, sec);
        if (index == 0) continue;
        write(out, *headings[s], section_coordinate(m, sec, index), index);
        int32_t n = 0;
        const float* axis = section_axis(m, sec, n);
        write(out, header, labels[s], out_array(axis, n));
        for (int32_t r = 1; r <= section_rows(m, sec); ++r) {
            const SectionRow nodes = section_row(m, sec, index, r);
            const float coordinate = row_coordinate(m, sec, r);
            if (N >= 7) {
                int32_t flags[MAXLIN];
                for (int32_t v = 0; v < nodes.count; ++v)
                    flags[v] = IA(nodes.I0 + v * nodes.DI, nodes.J0 + v * nodes.DJ, nodes.K0);
                write(out, row, coordinate, out_array(flags, nodes.count));
            } else {
                float values[MAXLIN];
                for (int32_t v = 0; v < nodes.count; ++v) {
                    const float a = A(nodes.I0 + v * nodes.DI, nodes.J0 + v * nodes.DJ, nodes.K0);
                    values[v] = N == 3 ? a / 1000.0f : a;  // density in g/cm3
                }
                write(out, row, coordinate, out_array(values, nodes.count));
            }
        }
    }
    ++N;
}

void VDRUCK(Model& m) {
    static const FormatProgram& head = fixed_format(
        "(' Grundwasserfliessgeschwindigkeit in m/s:',/,/,"
        "' Tiefe (m)     Saettigung      X-Richtung     Y-Richtung   Z-Richtung',/,"
        "' ----------------------------------------------------------------------')");
    static const FormatProgram& layer = fixed_format("(F8.2,8X,F7.2,6X,3(1PE11.3,4X))");
    if (m.inf2.IBILD >= 1) ROUTIN(m, "VDRUCK");
    OutputUnit& out = m.io.unit(m.inf2.IOUT);
    write(out, head);
    const auto& p = m.phys;
    for (int32_t K = 1; K <= m.ndim.NZ; ++K)
        write(out, layer, m.gitt.KORZ(K), 100.0f * p.SAETT(K), p.GWVX(1, 1, K), p.GWVY(1, 1, K), p.GWVZ(1, 1, K));
}

}  // namespace gruv
