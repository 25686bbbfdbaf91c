// Grid geometry of the block-centred grid: the three grid cards and every
// quantity derived from them (cell widths, node distances, coordinates, the
// distances from a node to its cell faces, cell volumes).
#include <algorithm>
#include <string>

#include "input/input.hpp"
#include "input/input_cards.hpp"
#include "records/records.hpp"
#include "state/stop.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace input_cards {

void unexpected_end(Model& m, std::string_view label) {
    static const FormatProgram& f = fixed_format("(A,A3)");
    write(m.io.console(), f, " unerwartet Ende der Eingabedatei erreicht in Karte ", label);
    stop_run(m, kExitInput);
}

void bad_structure(Model& m, std::string_view label) {
    static const FormatProgram& f = fixed_format("(A,A3)");
    write(m.io.console(), f, " fehlerhafte Datenstruktur in Karte ", label);
    stop_run(m, kExitInput);
}

void check_card(Model& m, CardOutcome outcome, std::string_view label) {
    if (outcome == CardOutcome::EndOfFile) unexpected_end(m, label);
    if (outcome == CardOutcome::BadData) bad_structure(m, label);
}

void check_general(Model& m, CardOutcome outcome, std::string_view place) {
    if (outcome == CardOutcome::EndOfFile) {
        write_list(m.io.console(), "unerwartet Dateiende erreicht " + std::string(place));
        stop_run(m, kExitInput, "Bitte Datei ergaenzen!");
    }
    if (outcome == CardOutcome::BadData) {
        write_list(m.io.console(), "fehlerhaftes Datenformat " + std::string(place));
        stop_run(m, kExitInput, "Bitte Datei ueberpruefen!");
    }
}

}  // namespace input_cards

namespace {

using input_cards::kMainInput;

//! Reads one grid card (format card and n values) into a per-direction array.
//! A width or distance that is not positive would give empty cells and
//! divisions by zero in every later coefficient: the card is rejected.
template <int N>
void read_grid_card(Model& m, std::string_view label, Array1<float, N>& values, int32_t n) {
    static const FormatProgram& not_positive =
        fixed_format("(' Zellenbreite bzw. Knotenabstand Nr. ',I3,' ist nicht groesser 0 in Karte ',A3)");
    input_cards::check_card(m, read_card_items(m.io.input(kMainInput), in_array(values.data(), n)), label);
    for (int32_t i = 1; i <= n; ++i) {
        if (!(values(i) > 0.0f)) {  // also catches a NaN
            write(m.io.console(), not_positive, i, label);
            stop_run(m, kExitInput);
        }
    }
}

//! Derives the geometry of one direction with n nodes from the widths (ZBR,
//! nodes at cell centres) or from the node distances (KAB, faces halfway).
template <int N>
void derive_direction(bool centred, int32_t n, Array1<float, N>& ZBR, Array1<float, N>& KAB, Array1<float, N>& KOR,
                      Array1<float, N>& ABU, Array1<float, N>& ABO) {
    const int32_t n1 = n - 1;
    if (centred) {
        for (int32_t i = 1; i <= n1; ++i) KAB(i) = 0.5f * ZBR(i) + 0.5f * ZBR(i + 1);
        KOR(1) = 0.5f * ZBR(1);
        for (int32_t i = 1; i <= n; ++i) {
            ABU(i) = 0.5f * ZBR(i);
            ABO(i) = 0.5f * ZBR(i);
        }
    } else {
        if (n == 1) {
            ZBR(1) = KAB(1);  // the single value is the width of the single cell
        } else {
            ZBR(1) = 0.5f * KAB(1);
            ZBR(n) = 0.5f * KAB(n1);
            for (int32_t i = 2; i <= n1; ++i) ZBR(i) = 0.5f * KAB(i - 1) + 0.5f * KAB(i);
            // The outermost nodes lie on the model boundary: half cells.
            ABU(1) = 0.0f;
            ABO(1) = 0.5f * KAB(1);
            ABU(n) = 0.5f * KAB(n1);
            ABO(n) = 0.0f;
            for (int32_t i = 1; i <= n1 - 1; ++i) {
                ABU(i + 1) = 0.5f * KAB(i);
                ABO(i + 1) = 0.5f * KAB(i + 1);
            }
        }
        KOR(1) = 0.0f;
    }
    for (int32_t i = 1; i <= n1; ++i) KOR(i + 1) = KOR(i) + KAB(i);
}

}  // namespace

void GITTER(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "GITTER");
    auto& g = m.gitt;
    const auto& d = m.ndim;
    const bool centred = m.inf1.KNLAGE == 0;

    if (centred) {
        read_grid_card(m, "21 ", g.ZBRX, d.NX);
        read_grid_card(m, "23 ", g.ZBRY, d.NY);
        read_grid_card(m, "25 ", g.ZBRZ, d.NZ);
    } else {
        // A direction with a single node still carries one value.
        read_grid_card(m, "21 ", g.KABX, std::max(d.NX1, 1));
        read_grid_card(m, "23 ", g.KABY, std::max(d.NY1, 1));
        read_grid_card(m, "25 ", g.KABZ, std::max(d.NZ1, 1));
    }

    derive_direction(centred, d.NX, g.ZBRX, g.KABX, g.KORX, g.ABXU, g.ABXO);
    derive_direction(centred, d.NY, g.ZBRY, g.KABY, g.KORY, g.ABYU, g.ABYO);
    derive_direction(centred, d.NZ, g.ZBRZ, g.KABZ, g.KORZ, g.ABZU, g.ABZO);

    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) g.ZVOL(i, j, k) = g.ZBRX(i) * g.ZBRY(j) * g.ZBRZ(k);
}

}  // namespace gruv
