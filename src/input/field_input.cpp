// Field input node by node: card 19, the grid, and one block per field, read
// row by row under the block's own format card, then converted to SI units.
#include <string>
#include <vector>

#include "input/input.hpp"
#include "input/input_cards.hpp"
#include "records/records.hpp"
#include "state/stop.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

using input_cards::kMainInput;

//! Name of a node field of the model state, for messages about its block.
template <class T>
std::string_view field_name(const Model& m, const NodeArray<T>& A) {
    const void* p = &A;
    const std::pair<const void*, std::string_view> fields[] = {
        {&m.temp.TEMP, "TEMP"}, {&m.phys.CPGE, "CPGE"}, {&m.phys.RHOG, "RHOG"}, {&m.phys.WLKG, "WLKG"},
        {&m.ifld.IFLG, "IFLG"}, {&m.phys.PHIG, "PHIG"}, {&m.phys.PHIN, "PHIN"}, {&m.ener.SOUC, "SOUC"},
        {&m.phys.GWVX, "GWVX"}, {&m.phys.GWVY, "GWVY"}, {&m.phys.GWVZ, "GWVZ"}, {&m.wpot.WPOT, "WPOT"},
        {&m.trns.TRSX, "TRSX"}, {&m.trns.TRSY, "TRSY"}, {&m.trns.TRSZ, "TRSZ"}, {&m.trns.QUEL, "QUEL"},
        {&m.trns.SPEI, "SPEI"}, {&m.ifld.JFLG, "JFLG"},
    };
    for (const auto& [q, name] : fields)
        if (q == p) return name;
    return "????";
}

//! One field block: its format card, then for every layer and row one read
//! of NX values. A row that fails ends the run with the reader's message and
//! the place of the value in the file.
template <class T>
void read_field_block(Model& m, NodeArray<T>& A, std::string_view failure) {
    InputUnit& in = m.io.input(kMainInput);
    const auto& d = m.ndim;
    const std::string name(field_name(m, A));
    const FormatProgram* f = nullptr;
    input_cards::check_general(m, in, read_format_card(in, f), "in Formatkarte des Feldes " + name);
    if (f == nullptr) return;  // a check passes over a block without its format card
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j) {
            const CardOutcome r = read_data_items(in, *f, in_array(A.row(j, k), d.NX));
            const auto node = [&](int32_t element) {
                return "Feld " + name + ", Knoten (" + std::to_string(element + 1) + "," + std::to_string(j) + "," +
                       std::to_string(k) + ")";
            };
            if (DeckCheck* c = in.check(); c != nullptr && r != CardOutcome::EndOfFile)
                c->values_read(name, in, 0, 0, in_array(A.row(j, k), d.NX), node);
            if (r == CardOutcome::Read) continue;
            // A check collects every failure of the row and reads on, up to the end of the file.
            const std::vector<std::string> message = r == CardOutcome::NotFinite
                                                         ? list_message("nicht endlicher Zahlenwert im Feld " + name)
                                                         : std::vector<std::string>{std::string(failure)};
            if (collect_failures(in, message, node)) {
                if (r == CardOutcome::EndOfFile) stop_run(m, kExitInput);
                continue;
            }
            SourcePlace place = failure_place(in);
            place.context = node(failed_element(in));
            write_finding(m.io.console(), {message, place});
            stop_run(m, kExitInput, r == CardOutcome::NotFinite ? "Bitte Datei ueberpruefen!" : "");
        }
}

}  // namespace

void READMD(Model& m, NodeArray<double>& A, [[maybe_unused]] int32_t D1, [[maybe_unused]] int32_t D2,
            [[maybe_unused]] int32_t D3) {
    read_field_block(m, A, "Datenfehler in Routine READMD");
}

void READMR(Model& m, NodeArray<float>& A, [[maybe_unused]] int32_t D1, [[maybe_unused]] int32_t D2,
            [[maybe_unused]] int32_t D3) {
    read_field_block(m, A, "Datenfehler in Routine READMR");
}

void READMI(Model& m, NodeArray<int32_t>& A, [[maybe_unused]] int32_t D1, [[maybe_unused]] int32_t D2,
            [[maybe_unused]] int32_t D3) {
    read_field_block(m, A, "Datenfehler in Routine READIM");
}

void DATEIN(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "DATEIN");
    const auto& d = m.ndim;
    auto& p = m.phys;
    auto& t = m.trns;
    InputUnit& in = m.io.input(kMainInput);
    const int32_t IMODE = m.inf4.IMODE;

    // Card 19: three integers that only the short input uses, then the
    // conduction factors.
    int32_t unused1 = 0, unused2 = 0, unused3 = 0;
    input_cards::check_general(m, in, read_card_items(in, unused1, unused2, unused3, p.ANISX, p.ANISY, p.ANISZ),
                               "in Karte 19 ");

    GITTER(m);

    if (IMODE != 2) {
        READMD(m, m.temp.TEMP, IX, IY, IZ);
        READMR(m, p.CPGE, IX, IY, IZ);
        READMR(m, p.RHOG, IX, IY, IZ);
        READMR(m, p.WLKG, IX, IY, IZ);
        READMI(m, m.ifld.IFLG, IX, IY, IZ);
        READMR(m, p.PHIG, IX, IY, IZ);
        READMR(m, p.PHIN, IX, IY, IZ);
        input_cards::check_general(m, in, read_card_items(in, in_array(p.SAETT.data(), d.NZ)), "im Feldblock SAETT");
        if (DeckCheck* c = in.check())
            c->values_read("SAETT", in, 0, 0, in_array(p.SAETT.data(), d.NZ),
                           [](int32_t element) { return "Schicht " + std::to_string(element + 1); });
        for (int k = 1; k <= d.NZ; ++k) p.SAETT(k) = p.SAETT(k) / 100.0f;
        READMR(m, m.ener.SOUC, IX, IY, IZ);
        if (m.inf2.KONVEK == 1 && IMODE == 0) {
            // Heat transport with convection but no flow solve: the velocity
            // field is prescribed.
            READMR(m, p.GWVX, IX, IY, IZ);
            READMR(m, p.GWVY, IX, IY, IZ);
            READMR(m, p.GWVZ, IX, IY, IZ);
        }
        auto& T = m.temp.TEMP;
        for (int k = 1; k <= d.NZ; ++k)
            for (int j = 1; j <= d.NY; ++j)
                for (int i = 1; i <= d.NX; ++i) {
                    T(i, j, k) = T(i, j, k) + 273.15;
                    p.RHOG(i, j, k) = p.RHOG(i, j, k) * 1000.0f;
                    p.PHIG(i, j, k) = p.PHIG(i, j, k) / 100.0f;
                    p.PHIN(i, j, k) = p.PHIN(i, j, k) / 100.0f;
                }
    }

    if (IMODE > 0) {
        READMR(m, m.wpot.WPOT, IX, IY, IZ);
        READMR(m, t.TRSX, IX, IY, IZ);
        READMR(m, t.TRSY, IX, IY, IZ);
        READMR(m, t.TRSZ, IX, IY, IZ);
        READMR(m, t.QUEL, IX, IY, IZ);
        READMR(m, t.SPEI, IX, IY, IZ);
        if (IMODE == 2) {
            // Flow only: the effective porosity was not part of the heat blocks.
            READMR(m, p.PHIN, IX, IY, IZ);
            for (int k = 1; k <= d.NZ; ++k)
                for (int j = 1; j <= d.NY; ++j)
                    for (int i = 1; i <= d.NX; ++i) p.PHIN(i, j, k) = p.PHIN(i, j, k) / 100.0f;
        }
        READMI(m, m.ifld.JFLG, IX, IY, IZ);
    }
}

}  // namespace gruv
