// Run header (banner) and the interface weights of the grid.
#include <array>
#include <string>

#include "control/control.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

// "GRUV" in rows of 39 characters and "ELAN" in rows of 36, each glyph drawn
// with copies of its own letter.
constexpr std::array<const char*, 7> kGruv{
    " GGGGGGG  RRRRRRRR  UU     UU VV     VV",
    "GG     GG RR     RR UU     UU VV     VV",
    "GG        RR     RR UU     UU VV     VV",
    "GG   GGGG RRRRRRRR  UU     UU  VV   VV ",
    "GG     GG RR   RR   UU     UU  VV   VV ",
    "GG     GG RR    RR  UU     UU   VV VV  ",
    " GGGGGGG  RR     RR  UUUUUUU     VVV   ",
};
constexpr std::array<const char*, 7> kElan{
    "EEEEEEEE LL          AA    NN    NN ",
    "EE       LL         AAAA   NNN   NN ",
    "EE       LL        AA  AA  NNNN  NN ",
    "EEEEEE   LL       AA    AA NN NN NN ",
    "EE       LL       AAAAAAAA NN  NNNN ",
    "EE       LL       AA    AA NN   NNN ",
    "EEEEEEEE LLLLLLLL AA    AA NN    NN ",
};
constexpr std::array<const char*, 7> k3D{
    " 33333             DDDDDD   ",
    "33   33            DD   DD  ",
    "     33            DD    DD ",
    "   333    ======   DD    DD ",
    "     33            DD    DD ",
    "33   33            DD   DD  ",
    " 33333             DDDDDD   ",
};
constexpr const char* kVersion = "  Version 1.31 22/02/2006   ";
constexpr const char* kCredits =
    " GRUVELAN-3D  -  Grundwasserstroemung und Waermetransport im Untergrund";

}  // namespace

void HEADER(Model& m, int32_t IUNIT) {
    static const FormatProgram& stars = fixed_format("(79('*'))");
    static const FormatProgram& name_row = fixed_format("(' ',A39,2X,A36)");
    static const FormatProgram& block_row = fixed_format("(T27,A28)");
    static const FormatProgram& one_slash = fixed_format("(/)");
    static const FormatProgram& ten_slashes = fixed_format("(10(/))");
    static const FormatProgram& clear_screen = fixed_format("(25(/))");
    OutputUnit& u = m.io.unit(IUNIT);

    if (IUNIT == 1) write(u, clear_screen);
    if (IUNIT == 6) u.put_record("1");
    write(u, stars);
    u.put_record(" ");
    for (std::size_t r = 0; r < kGruv.size(); ++r) write(u, name_row, kGruv[r], kElan[r]);
    write(u, one_slash);
    for (const char* row : k3D) write(u, block_row, row);
    for (int32_t n = 0; n < IUNIT; ++n) u.put_record(" ");
    write(u, block_row, kVersion);
    u.put_record(" ");
    if (IUNIT == 6) write(u, ten_slashes);
    write(u, stars);
    u.put_record(kCredits);
    write(u, stars);
    if (IUNIT == 6) u.put_record("1");
}

void INFINT(Model& m) {
    if (m.inf2.IBILD > 0) ROUTIN(m, "INFINT");
    auto& g = m.gitt;
    const auto& d = m.ndim;
    if (m.inf1.KNLAGE != 0) {
        for (int i = 1; i <= d.NX1; ++i) g.GEWX(i) = 0.5f;
        for (int j = 1; j <= d.NY1; ++j) g.GEWY(j) = 0.5f;
        for (int k = 1; k <= d.NZ1; ++k) g.GEWZ(k) = 0.5f;
    } else {
        for (int i = 1; i <= d.NX1; ++i) g.GEWX(i) = g.ABXO(i) / g.KABX(i);
        for (int j = 1; j <= d.NY1; ++j) g.GEWY(j) = g.ABYO(j) / g.KABY(j);
        for (int k = 1; k <= d.NZ1; ++k) g.GEWZ(k) = g.ABZO(k) / g.KABZ(k);
    }
}

}  // namespace gruv
