// Grid geometry of the block-centred grid: the three grid cards and every
// quantity derived from them (cell widths, node distances, coordinates, the
// distances from a node to its cell faces, cell volumes).
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "input/input.hpp"
#include "input/input_cards.hpp"
#include "records/records.hpp"
#include "state/stop.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace input_cards {

namespace {
//! The text of a card that could not be read, before its label.
std::string_view card_failure_text(CardOutcome outcome) {
    switch (outcome) {
        case CardOutcome::EndOfFile: return " unerwartet Ende der Eingabedatei erreicht in Karte ";
        case CardOutcome::BadData: return " fehlerhafte Datenstruktur in Karte ";
        case CardOutcome::NotFinite: return " nicht endlicher Zahlenwert in Karte ";
        case CardOutcome::Read: break;
    }
    return {};
}

std::vector<std::string> card_message(std::string_view text, std::string_view label) {
    static const FormatProgram& f = fixed_format("(A,A3)");
    return message_records(f, text, label);
}

[[noreturn]] void stop_on_card(Model& m, std::string_view text, std::string_view label, const SourcePlace& place) {
    write_finding(m.io.console(), {card_message(text, label), place});
    stop_run(m, kExitInput);
}
}  // namespace

void unexpected_end(Model& m, std::string_view label, const SourcePlace& place) {
    stop_on_card(m, card_failure_text(CardOutcome::EndOfFile), label, place);
}

void bad_structure(Model& m, std::string_view label, const SourcePlace& place) {
    stop_on_card(m, card_failure_text(CardOutcome::BadData), label, place);
}

void not_finite(Model& m, std::string_view label, const SourcePlace& place) {
    stop_on_card(m, card_failure_text(CardOutcome::NotFinite), label, place);
}

void check_card(Model& m, CardOutcome outcome, std::string_view label, std::string_view context) {
    if (outcome == CardOutcome::Read) return;
    const InputUnit& in = m.io.input(kMainInput);
    // A check collects the failure and reads on, up to the end of the file.
    const auto in_context = [&](int32_t) { return std::string(context); };
    if (collect_failures(in, card_message(card_failure_text(outcome), label), in_context)) {
        if (outcome == CardOutcome::EndOfFile) stop_run(m, kExitInput);
        return;
    }
    SourcePlace place = failure_place(in);
    place.context = context;
    switch (outcome) {
        case CardOutcome::Read: return;
        case CardOutcome::EndOfFile: unexpected_end(m, label, place);
        case CardOutcome::BadData: bad_structure(m, label, place);
        case CardOutcome::NotFinite: not_finite(m, label, place);
    }
}

void check_general(Model& m, InputUnit& in, CardOutcome outcome, std::string_view place) {
    std::string what;
    std::string_view stop_text = "Bitte Datei ueberpruefen!";
    switch (outcome) {
        case CardOutcome::Read: return;
        case CardOutcome::EndOfFile:
            what = "unerwartet Dateiende erreicht ";
            stop_text = "Bitte Datei ergaenzen!";
            break;
        case CardOutcome::BadData: what = "fehlerhaftes Datenformat "; break;
        case CardOutcome::NotFinite: what = "nicht endlicher Zahlenwert "; break;
    }
    if (collect_failures(in, list_message(what + std::string(place)))) {
        if (outcome == CardOutcome::EndOfFile) stop_run(m, kExitInput);
        return;
    }
    write_finding(m.io.console(), {list_message(what + std::string(place)), failure_place(in)});
    stop_run(m, kExitInput, stop_text);
}

}  // namespace input_cards

namespace {

using input_cards::kMainInput;

//! The largest value of a grid card and its place, for the range check of
//! the derived geometry.
struct GridCard {
    std::string_view label;  //!< card label
    int32_t largest = 1;     //!< number of the largest value on the card
    SourcePlace place;       //!< where that value stands
};

//! Reads one grid card (format card and n values) into a per-direction array.
//! A width or distance that is not positive would give empty cells and
//! divisions by zero in every later coefficient: the card is rejected.
template <int N>
GridCard read_grid_card(Model& m, std::string_view label, Array1<float, N>& values, int32_t n) {
    static const FormatProgram& not_positive =
        fixed_format("(' Zellenbreite bzw. Knotenabstand Nr. ',I3,' ist nicht groesser 0 in Karte ',A3)");
    InputUnit& in = m.io.input(kMainInput);
    const CardOutcome r = read_card_items(in, in_array(values.data(), n));
    input_cards::check_card(m, r, label);
    GridCard card{label, 1, {}};
    for (int32_t i = 1; i <= n; ++i) {
        // (A check reads on after a card it could not read; its values are not judged.)
        if (!(values(i) > 0.0f) && r == CardOutcome::Read) {  // also catches a NaN
            const Finding finding{message_records(not_positive, i, label), field_place(in, 0, i - 1)};
            if (collect(m.io.check(), finding)) continue;
            write_finding(m.io.console(), finding);
            stop_run(m, kExitInput);
        }
        if (values(i) > values(card.largest)) card.largest = i;
    }
    card.place = field_place(in, 0, card.largest - 1);
    return card;
}

//! Largest of the first n values.
template <int N>
float largest_of(const Array1<float, N>& a, int32_t n) {
    float v = a(1);
    for (int32_t i = 2; i <= n; ++i) v = std::max(v, a(i));
    return v;
}

//! Cell volumes, face areas and node coordinates must stay within single
//! precision, or every coefficient built on them is infinite. When one does
//! not, the largest value of the directions it involves is rejected.
void check_grid_range(Model& m, const std::array<GridCard, 3>& cards) {
    static const FormatProgram& too_large = fixed_format(
        "(' Zellenbreite bzw. Knotenabstand Nr. ',I3,' zu gross - Volumen, Flaechen oder Koordinaten',"
        "' nicht darstellbar in Karte ',A3)");
    const auto& g = m.gitt;
    const auto& d = m.ndim;
    const std::array<float, 3> w = {largest_of(g.ZBRX, d.NX), largest_of(g.ZBRY, d.NY), largest_of(g.ZBRZ, d.NZ)};
    // Values that are not finite have been refused when read (a check reads on after them).
    if (!std::isfinite(w[0]) || !std::isfinite(w[1]) || !std::isfinite(w[2])) return;
    const std::array<float, 3> last = {g.KORX(d.NX), g.KORY(d.NY), g.KORZ(d.NZ)};
    // Each test: the value that must be finite and the directions it involves.
    const std::pair<float, std::array<bool, 3>> tests[] = {
        {w[1] * w[2], {false, true, true}}, {w[0] * w[2], {true, false, true}},
        {w[0] * w[1], {true, true, false}}, {w[0] * w[1] * w[2], {true, true, true}},
        {last[0], {true, false, false}},    {last[1], {false, true, false}},
        {last[2], {false, false, true}},
    };
    for (const auto& [value, involved] : tests) {
        if (std::isfinite(value)) continue;
        std::size_t blamed = 3;
        for (std::size_t n = 0; n < 3; ++n)
            if (involved[n] && (blamed == 3 || w[n] > w[blamed])) blamed = n;
        const GridCard& c = cards[blamed];
        const Finding finding{message_records(too_large, c.largest, c.label), c.place};
        if (collect(m.io.check(), finding)) return;
        write_finding(m.io.console(), finding);
        stop_run(m, kExitInput);
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

    std::array<GridCard, 3> cards;
    if (centred) {
        cards = {read_grid_card(m, "21 ", g.ZBRX, d.NX), read_grid_card(m, "23 ", g.ZBRY, d.NY),
                 read_grid_card(m, "25 ", g.ZBRZ, d.NZ)};
    } else {
        // A direction with a single node still carries one value.
        cards = {read_grid_card(m, "21 ", g.KABX, std::max(d.NX1, 1)),
                 read_grid_card(m, "23 ", g.KABY, std::max(d.NY1, 1)),
                 read_grid_card(m, "25 ", g.KABZ, std::max(d.NZ1, 1))};
    }

    derive_direction(centred, d.NX, g.ZBRX, g.KABX, g.KORX, g.ABXU, g.ABXO);
    derive_direction(centred, d.NY, g.ZBRY, g.KABY, g.KORY, g.ABYU, g.ABYO);
    derive_direction(centred, d.NZ, g.ZBRZ, g.KABZ, g.KORZ, g.ABZU, g.ABZO);
    check_grid_range(m, cards);

    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) g.ZVOL(i, j, k) = g.ZBRX(i) * g.ZBRY(j) * g.ZBRZ(k);
}

}  // namespace gruv
