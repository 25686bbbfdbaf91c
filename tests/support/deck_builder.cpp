#include "support/deck_builder.hpp"

#include <sstream>

namespace gruv::test {

std::string field(int value, int width) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%*d", width, value);
    return buf;
}

std::string field(double value, int width) {
    // Enough digits to give the float or double of the value back; a field
    // that reads any real notation (F and G input accept exponents).
    char buf[64];
    std::snprintf(buf, sizeof buf, "%*.*G", width, width - 6 > 9 ? 9 : width - 6, value);
    return buf;
}

std::string text_field(const std::string& text, int width) {
    std::string s = text.substr(0, static_cast<std::size_t>(width));
    s.resize(static_cast<std::size_t>(width), ' ');
    return s;
}

std::string ControlCards::text() const {
    std::ostringstream d;
    d << title << '\n';
    d << "(4I5)\n" << field(ISOYZ, 5) << field(ISOXZ, 5) << field(ISOXY, 5) << field(ISOFRM, 5) << '\n';
    d << "(3I5,3A20)\n"
      << field(NBEOB, 5) << field(IZUSAT, 5) << field(NZUSAT, 5) << text_field(observation_file, 20)
      << text_field(output_file, 20) << text_field(additional_file, 20) << '\n';
    d << "(7I5,1X,A3,3F15.0)\n"
      << field(NZSCHR, 5) << field(ITMAX, 5) << field(NZINT, 5) << field(KONTRL, 5) << field(IEINGA, 5)
      << field(NAUSG, 5) << field(step_length, 5) << ' ' << text_field(time_unit, 3) << field(ZFAKT, 15)
      << field(EPST, 15) << field(storage, 15) << '\n';
    d << "(F15.0,7I5)\n"
      << field(FLURAB, 15) << field(IMISCH, 5) << field(IENERG, 5) << field(ISTAT, 5) << field(IZTEST, 5)
      << field(IWARMI, 5) << field(IWARMO, 5) << field(IDSTOP, 5) << '\n';
    d << "(2F15.0,8I5)\n"
      << field(ALFAT, 15) << field(OMEGT, 15) << field(KNLAGE, 5) << field(ISCHEM, 5) << field(KONVEK, 5)
      << field(IPHASE, 5) << field(IBILD, 5) << field(IRICHT, 5) << field(ISTOFF, 5) << field(IAENDR, 5) << '\n';
    if (ISTOFF >= 2) {
        d << "(12F15.0)\n";
        for (double v : fluid) d << field(v, 15);
        d << '\n';
    }
    if (ISTOFF >= 3) {
        d << "(3F15.0)\n";
        const std::size_t n = ISTOFF >= 5 ? 2 : 3;
        for (std::size_t i = 0; i < n; ++i) d << field(rock_coefficients[i], 15);
        d << '\n';
    }
    d << "(5F15.0,3I5)\n"
      << field(0.0, 15) << field(HGOK, 15) << field(ALFA, 15) << field(OMEGA, 15) << field(EPSH, 15)
      << field(IMODE, 5) << field(IVISK, 5) << field(0, 5) << '\n';
    d << "(3I5)\n" << field(ISCHX, 5) << field(ISCHY, 5) << field(ISCHZ, 5) << '\n';
    if (NBEOB > 0) {
        d << "(3I5)\n";
        for (const auto& n : observation_nodes) d << field(n[0], 5) << field(n[1], 5) << field(n[2], 5) << '\n';
    }
    d << "(3I5)\n" << field(NX, 5) << field(NY, 5) << field(NZ, 5) << '\n';
    if (IPHASE == 3 && IMODE <= 1) {
        d << "(10F8.0)\n";
        for (double t : freezing_celsius) d << field(t, 8);
        d << '\n';
    }
    if (IPHASE > 0 && IMODE <= 1) {
        d << "(10I5)\n";
        for (int e : IEIS) d << field(e, 5);
        d << '\n';
        d << "(3F15.0)\n";
        for (const auto& c : EISK) d << field(c[0], 15) << field(c[1], 15) << field(c[2], 15) << '\n';
    }
    return d.str();
}

std::string ShortInput::text() const {
    std::ostringstream d;
    d << "(3I5,3F15.0)\n"
      << field(code_x, 5) << field(code_y, 5) << field(code_z, 5) << field(ANISX, 15) << field(ANISY, 15)
      << field(ANISZ, 15) << '\n';
    for (const auto* widths : {&widths_x, &widths_y, &widths_z}) {
        d << "(8F10.0)\n";
        for (std::size_t i = 0; i < widths->size(); ++i) {
            d << field((*widths)[i], 10);
            if (i % 8 == 7 || i + 1 == widths->size()) d << '\n';
        }
    }
    d << "(16G15.0)\n";
    for (const auto& layer : layers) {
        for (double v : layer) d << field(v, 15);
        d << '\n';
    }
    d << "(A4,F15.0,4I5)\n";
    for (const auto& e : entries)
        d << text_field(e.keyword, 4) << field(e.value, 15) << field(e.i, 5) << field(e.j, 5) << field(e.k, 5)
          << field(e.selector, 5) << '\n';
    d << "ENDE" << field(0.0, 15) << field(0, 5) << field(0, 5) << field(0, 5) << field(0, 5) << '\n';
    return d.str();
}

}  // namespace gruv::test
