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

//! One section through the grid, in the order X-Z, Y-Z, X-Y.
enum class Section { XZ, YZ, XY };
constexpr Section kSections[3] = {Section::XZ, Section::YZ, Section::XY};

//! Where a section lies and how its rows run: the selected index (0 when the
//! section is switched off), the coordinate of its plane, the coordinates
//! along its horizontal axis, and the nodes of row r (I0 + v*DI, J0 + v*DJ,
//! K0 for v = 0..count-1) with the row's coordinate.
struct SectionPlan {
    int32_t index = 0;
    float coordinate = 0.0f;
    const float* axis = nullptr;
    int32_t count = 0;  // values per row (length of the horizontal axis)
    int32_t rows = 0;
};

struct SectionRow {
    int32_t I0, J0, K0, DI, DJ;
};

SectionPlan plan_section(const Model& m, Section s) {
    const auto& d = m.ndim;
    const auto& p = m.ipro;
    const auto& g = m.gitt;
    SectionPlan plan;
    switch (s) {
        case Section::XZ:
            if (p.ISCHY >= 1 && p.ISCHY <= d.NY) plan = {p.ISCHY, g.KORY(p.ISCHY), g.KORX.data(), d.NX, d.NZ};
            break;
        case Section::YZ:
            if (p.ISCHX >= 1 && p.ISCHX <= d.NX) plan = {p.ISCHX, g.KORX(p.ISCHX), g.KORY.data(), d.NY, d.NZ};
            break;
        case Section::XY:
            if (p.ISCHZ >= 1 && p.ISCHZ <= d.NZ) plan = {p.ISCHZ, g.KORZ(p.ISCHZ), g.KORX.data(), d.NX, d.NY};
            break;
    }
    return plan;
}

//! Row r of a section: the layer K = r (coordinate KORZ) of the vertical
//! sections, the row J = r (coordinate KORY) of the horizontal one.
SectionRow section_row(Section s, int32_t index, int32_t r) {
    switch (s) {
        case Section::XZ: return {1, index, r, 1, 0};
        case Section::YZ: return {index, 1, r, 0, 1};
        case Section::XY: return {1, r, index, 1, 0};
    }
    return {1, 1, 1, 1, 0};
}

float row_coordinate(const Model& m, Section s, int32_t r) {
    return s == Section::XY ? m.gitt.KORY(r) : m.gitt.KORZ(r);
}

//! The selected sections: each heading, the header row with the label and
//! the axis coordinates, then one row per grid line, laid out by
//! write_row(out, coordinate, gather) where gather(values, value) fills
//! values with value(I,J,K) along the row and returns their number.
template <class WriteRow>
void write_sections(Model& m, const FormatProgram* const headings[3], const FormatProgram& header,
                    const std::string_view labels[3], WriteRow write_row) {
    OutputUnit& out = m.io.unit(m.inf2.IOUT);
    for (int s = 0; s < 3; ++s) {
        const SectionPlan plan = plan_section(m, kSections[s]);
        if (plan.index == 0) continue;
        write(out, *headings[s], plan.coordinate, plan.index);
        write(out, header, labels[s], out_array(plan.axis, plan.count));
        for (int32_t r = 1; r <= plan.rows; ++r) {
            const SectionRow n = section_row(kSections[s], plan.index, r);
            auto gather = [&](auto* values, auto value) {
                for (int32_t v = 0; v < plan.count; ++v) values[v] = value(n.I0 + v * n.DI, n.J0 + v * n.DJ, n.K0);
                return plan.count;
            };
            write_row(out, row_coordinate(m, kSections[s], r), gather);
        }
    }
}

//! A printout of a result field: the time lines, the convergence line and
//! the sections, where value(I,J,K) is the printed value (double or float),
//! ten F7.2 values to a line.
template <class Value>
void result_table(Model& m, std::string_view name, const FormatProgram& convergence,
                  const FormatProgram* const headings[3], Value value) {
    static const FormatProgram& header = fixed_format("(A10,10F7.2,/,50(10X,10F7.2,/))");
    static const FormatProgram& row = fixed_format("(F10.2,10F7.2,/,50(10X,10F7.2,/))");
    static constexpr std::string_view labels[3] = {"  Z\\X     ", "  Z\\Y     ", "  Y\\X     "};
    if (m.inf2.IBILD >= 1) ROUTIN(m, name);
    ZEITBE(m, m.inf2.IOUT);
    write(m.io.unit(m.inf2.IOUT), convergence, m.inf2.NIT);
    write_sections(m, headings, header, labels, [&](OutputUnit& out, float coordinate, auto gather) {
        decltype(value(1, 1, 1)) values[MAXLIN];
        write(out, row, coordinate, out_array(values, gather(values, value)));
    });
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
    const auto& T = m.temp.TEMP;
    result_table(m, "TMPDRU", convergence, headings,
                 [&T](int32_t I, int32_t J, int32_t K) { return CELS(T(I, J, K)); });
}

void PIEDRU(Model& m) {
    static const FormatProgram& convergence =
        fixed_format("(/,' Konvergenz seit dem letzten Zeitschritt nach ',I2,' Iterationen')");
    static const FormatProgram* const headings[3] = {
        &fixed_format("(/,T20,'X - Z Piezometerhoehen Y bei ',F7.2,' Meter - Spalte ',I4,/)"),
        &fixed_format("(/,T20,'Y - Z Piezometerhoehen X bei ',F7.2,' Meter - Reihe ',I4,/)"),
        &fixed_format("(/,T20,'X - Y Piezometerhoehen Z bei ',F7.2,' Meter - Schicht ',I4,/)"),
    };
    const auto& H = m.wpot.WPOT;
    result_table(m, "PIEDRU", convergence, headings, [&H](int32_t I, int32_t J, int32_t K) { return H(I, J, K); });
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
    const auto slot = static_cast<std::size_t>(N - 1);
    write(m.io.unit(m.inf2.IOUT), fixed_format(FORM::PRTITL[slot]));
    const FormatProgram& row = fixed_format(FORM::PRFORM[slot]);
    const bool flags = N >= 7;
    const bool density = N == 3;  // printed in g/cm3
    write_sections(m, headings, header, labels, [&](OutputUnit& out, float coordinate, auto gather) {
        if (flags) {
            int32_t values[MAXLIN];
            const int32_t n = gather(values, [&IA](int32_t I, int32_t J, int32_t K) { return IA(I, J, K); });
            write(out, row, coordinate, out_array(values, n));
        } else {
            float values[MAXLIN];
            const int32_t n = gather(values, [&](int32_t I, int32_t J, int32_t K) {
                return density ? A(I, J, K) / 1000.0f : A(I, J, K);
            });
            write(out, row, coordinate, out_array(values, n));
        }
    });
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
