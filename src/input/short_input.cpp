// Layer-wise short input: boundary codes and conduction factors (card 19),
// the grid, one record of homogeneous properties per layer (card 27) and the
// keyword entries of card 29, which the value conversion applies later. Also
// the keyword table shared with the additional data file.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
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

//! The keyword table, in the order of comparison and of the reference list.
constexpr std::array<std::string_view, 31> kKeywords{
    "CPGE", "GWNB", "GWVX", "GWVY", "GWVZ", "HTOT", "IFLG", "JFLG", "LEAK", "PHIG", "PHIN",
    "QUEL", "RHOG", "RNZF", "SPEI", "SOUC", "TRSX", "TRSY", "TRSZ", "TTOT", "TXYZ", "TEMP",
    "WATT", "WPXM", "WPYM", "WPZM", "WPXY", "WPXZ", "WPYZ", "WLKG", "WPOT",
};

std::string_view word_view(const Word4& w) { return {w.data(), w.size()}; }

//! The entries 1..NUMW (MODE 1) or those of the additional data file.
void entry_span(const Model& m, int32_t MODE, int32_t& first, int32_t& last) {
    if (MODE == 1) {
        first = 1;
        last = m.inf3.NUMW;
    } else {
        first = m.inf3.NUMW + 1;
        last = m.inf3.NUMW + m.inf3.NZUS;
    }
}

//! Writes a record to the listing and then to the console.
template <class... Items>
void write_listing_and_console(Model& m, const FormatProgram& f, const Items&... items) {
    write(m.io.unit(m.inf2.IOUT), f, items...);
    write(m.io.console(), f, items...);
}

//! Writes a line about entry n to the listing and to the console, each
//! followed by the place of the entry when places holds it.
template <class... Items>
void write_entry_finding(Model& m, std::span<const EntryPlace> places, int32_t offset, SourcePlace EntryPlace::*which,
                         const FormatProgram& f, const Items&... items) {
    const std::size_t at = static_cast<std::size_t>(offset);
    const Finding finding{message_records(f, items...), at < places.size() ? places[at].*which : SourcePlace{}};
    if (collect(m.io.check(), finding)) return;
    write_finding(m.io.unit(m.inf2.IOUT), finding);
    write_finding(m.io.console(), finding);
}

//! The error count of CHECKU and of the node check, then the stop.
[[noreturn]] void stop_for_entries(Model& m, int32_t MODE, int32_t errors) {
    static const FormatProgram& main_file = fixed_format("(T16,I4,' Fehler in der Haupteingabedatei')");
    static const FormatProgram& additional = fixed_format("(T16,I4,' Fehler in der Zusatzeingabedatei')");
    write_listing_and_console(m, MODE == 1 ? main_file : additional, errors);
    stop_run(m, kExitInput, " Bitte ueberpruefen Sie die Eingabedatei!");
}

//! |s| without overflow; any value above 7 selects the single node anyway.
int32_t selector_magnitude(int32_t s) {
    if (s >= 0) return s;
    return s == std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::max() : -s;
}

bool inside_grid(const Model& m, const NodeRange& r) {
    const auto& d = m.ndim;
    return r.i0 >= 1 && r.i1 <= d.NX && r.j0 >= 1 && r.j1 <= d.NY && r.k0 >= 1 && r.k1 <= d.NZ;
}

//! Applies a boundary code to the first and the last of the n planes of a
//! direction; plane(p) gives the nodes of plane p. With a single node both
//! planes are the same one.
template <class Plane>
void apply_boundary_code(Model& m, int32_t code, int32_t n, Plane plane) {
    const bool heat = (code == 1 || code == 3) && m.inf4.IMODE < 2;
    const bool flow = (code == 2 || code == 3) && m.inf4.IMODE > 0;
    if (!heat && !flow) return;
    for (int32_t p = 1; p <= n; p += std::max(n - 1, 1)) {
        const NodeRange r = plane(p);
        for (int32_t k = r.k0; k <= r.k1; ++k)
            for (int32_t j = r.j0; j <= r.j1; ++j)
                for (int32_t i = r.i0; i <= r.i1; ++i) {
                    if (heat) m.ifld.IFLG(i, j, k) = 2;
                    if (flow) m.ifld.JFLG(i, j, k) = 2;
                }
    }
}

}  // namespace

int keyword_index(std::string_view word) {
    for (std::size_t n = 0; n < kKeywords.size(); ++n)
        if (kKeywords[n] == word) return static_cast<int>(n) + 1;
    return 0;
}

Keyword keyword_of(const Word4& word) { return static_cast<Keyword>(keyword_index(word_view(word))); }

std::string_view keyword_text(Keyword key) {
    const int n = static_cast<int>(key);
    return n >= 1 && n <= static_cast<int>(kKeywords.size()) ? kKeywords[static_cast<std::size_t>(n - 1)] : "    ";
}

NodeRange selector_range(const Model& m, int32_t N, int32_t selector) {
    const auto& d = m.ndim;
    const int32_t I = m.izy1.IORT(N), J = m.izy1.JORT(N), K = m.izy1.KORT(N);
    switch (selector) {
        case 1: return {1, d.NX, J, J, K, K};
        case 2: return {I, I, 1, d.NY, K, K};
        case 3: return {I, I, J, J, 1, d.NZ};
        case 4: return {1, d.NX, 1, d.NY, K, K};
        case 5: return {1, d.NX, J, J, 1, d.NZ};
        case 6: return {I, I, 1, d.NY, 1, d.NZ};
        case 7: return {1, d.NX, 1, d.NY, 1, d.NZ};
        default: return {I, I, J, J, K, K};
    }
}

EntryPlace entry_place(const InputUnit& in, int32_t N, int32_t nodes_first) {
    EntryPlace p{field_place(in, 0), fields_place(in, nodes_first, nodes_first + 3)};
    const std::string& word = p.keyword.text;
    p.keyword.context = "Eintrag " + std::to_string(N) + (word.empty() ? "" : " (" + word + ")");
    p.nodes.context = p.keyword.context;
    return p;
}

void CHECKU(Model& m, int32_t MODE, std::span<const EntryPlace> places) {
    static const FormatProgram& unknown = fixed_format("(T16,I4,'. Schluesselwort: ',A4,' unbekannt!')");
    if (m.inf2.IBILD >= 1) ROUTIN(m, "CHECKU");
    int32_t first = 0, last = 0;
    entry_span(m, MODE, first, last);
    int32_t errors = 0;
    for (int32_t n = first; n <= last; ++n) {
        const Word4& w = m.zyk2.SWORT(n);
        if (keyword_of(w) != Keyword::Unknown) continue;
        write_entry_finding(m, places, n - first, &EntryPlace::keyword, unknown, n, word_view(w));
        ++errors;
    }
    if (errors > 0 && m.io.check() == nullptr) stop_for_entries(m, MODE, errors);  // a check reads on
}

void check_entry_nodes(Model& m, int32_t MODE, std::span<const EntryPlace> places) {
    static const FormatProgram& outside = fixed_format(
        "(T16,I4,'. Schluesselwort: ',A4,' Knoten (',I6,',',I6,',',I6,') ausserhalb des Gitters!')");
    static const FormatProgram& last_layer =
        fixed_format("(T16,I4,'. Schluesselwort: ',A4,' in der untersten Schicht nicht moeglich!')");
    int32_t first = 0, last = 0;
    entry_span(m, MODE, first, last);
    const auto& z = m.izy1;
    int32_t errors = 0;
    for (int32_t n = first; n <= last; ++n) {
        const Keyword key = keyword_of(m.zyk2.SWORT(n));
        if (key == Keyword::Unknown) continue;
        const int32_t s = z.IBER(n);
        // The real-valued worker takes the range of |s|; the temperature and
        // flag workers take a negative selector as the single node.
        const bool real_worker = key != Keyword::TEMP && key != Keyword::IFLG && key != Keyword::JFLG;
        const bool exact_worker = key == Keyword::TEMP || key == Keyword::IFLG || key == Keyword::JFLG ||
                                  key == Keyword::HTOT || key == Keyword::TTOT;
        bool ok = true;
        if (real_worker) ok = ok && inside_grid(m, selector_range(m, n, selector_magnitude(s)));
        if (exact_worker) ok = ok && inside_grid(m, selector_range(m, n, s < 0 ? 0 : s));
        // LEAK takes the node distance to the layer below and changes that
        // layer too, whatever the selector.
        if (key == Keyword::LEAK) ok = ok && z.KORT(n) >= 1 && z.KORT(n) <= m.ndim.NZ;
        if (!ok) {
            write_entry_finding(m, places, n - first, &EntryPlace::nodes, outside, n, word_view(m.zyk2.SWORT(n)),
                                z.IORT(n), z.JORT(n), z.KORT(n));
            ++errors;
        } else if (key == Keyword::LEAK && z.KORT(n) == m.ndim.NZ) {
            write_entry_finding(m, places, n - first, &EntryPlace::nodes, last_layer, n, word_view(m.zyk2.SWORT(n)));
            ++errors;
        } else {
            continue;
        }
        // A check reads on without the entry: it cannot be applied.
        if (m.io.check() != nullptr) m.zyk2.SWORT(n) = Word4{' ', ' ', ' ', ' '};
    }
    if (errors > 0 && m.io.check() == nullptr) stop_for_entries(m, MODE, errors);  // a check reads on
}

void KURZIN(Model& m) {
    static const FormatProgram& no_end = fixed_format("(A,A3)");
    static const FormatProgram& table_full = fixed_format("(' Felddimension IWERT muss groesser gewaehlt werden')");
    if (m.inf2.IBILD >= 1) ROUTIN(m, "KURZIN");
    const auto& d = m.ndim;
    auto& p = m.phys;
    auto& t = m.trns;
    auto& T = m.temp.TEMP;
    auto& fl = m.ifld;
    InputUnit& in = m.io.input(kMainInput);
    const int32_t IMODE = m.inf4.IMODE;

    // Card 19: boundary codes of the X, Y and Z planes, conduction factors.
    std::string_view label = "19 ";
    int32_t code_x = 0, code_y = 0, code_z = 0;
    input_cards::check_card(m, read_card_items(in, code_x, code_y, code_z, p.ANISX, p.ANISY, p.ANISZ), label);

    GITTER(m);

    // Card 27: one record per layer; its format card still counts as card 19.
    const FormatProgram* f = nullptr;
    input_cards::check_card(m, read_format_card(in, f), label);
    const std::string_view layer_label = IMODE == 0 ? "27a" : (IMODE == 1 ? "27b" : "27c");
    constexpr float deg = 0.017453292f;  // pi/180
    DeckCheck* const checking = in.check();
    for (int k = 1; k <= d.NZ && f != nullptr; ++k) {  // (a check passes over records without their format card)
        label = layer_label;
        double temp = 0.0;
        float cp = 0.0f, rho = 0.0f, wlk = 0.0f, phig = 0.0f, phin = 0.0f, sat = 0.0f, souc = 0.0f;
        float alpha = 0.0f, speed = 0.0f, vz = 0.0f, quel = 0.0f, spei = 0.0f, wpot = 0.0f;
        float trsx = 0.0f, trsy = 0.0f, trsz = 0.0f;
        int32_t iflg = 0, jflg = 0;
        CardOutcome r = CardOutcome::Read;
        if (IMODE == 0) {
            r = read_data_items(in, *f, temp, cp, rho, wlk, phig, phin, sat, souc, alpha, speed, vz, iflg);
        } else if (IMODE == 1) {
            r = read_data_items(in, *f, temp, cp, rho, wlk, phig, phin, souc, quel, spei, wpot, trsx, trsy, trsz, sat,
                                iflg, jflg);
        } else {
            r = read_data_items(in, *f, wpot, trsx, trsy, trsz, quel, spei, phin, jflg);
        }
        input_cards::check_card(m, r, label, "Schicht " + std::to_string(k));
        if (checking != nullptr) {
            // The quantities of the record a check judges, in their order on it.
            const auto judge = [&](std::initializer_list<std::pair<std::string_view, InItem>> values) {
                int32_t item = 0;
                const auto layer = [k](int32_t) { return "Schicht " + std::to_string(k); };
                for (const auto& [quantity, value] : values)
                    checking->values_read(quantity, in, item++, 0, value, layer);
            };
            const auto of = [](auto& value) { return gruv::in(value); };  // the list item of a value
            const InItem none{};
            if (IMODE == 0) {
                judge({{"TEMP", of(temp)}, {"CPGE", of(cp)}, {"RHOG", of(rho)}, {"WLKG", of(wlk)}, {"PHIG", of(phig)},
                       {"PHIN", of(phin)}, {"SAETT", of(sat)}});
            } else if (IMODE == 1) {
                judge({{"TEMP", of(temp)}, {"CPGE", of(cp)}, {"RHOG", of(rho)}, {"WLKG", of(wlk)}, {"PHIG", of(phig)},
                       {"PHIN", of(phin)}, {"", none}, {"", none}, {"SPEI", of(spei)}, {"", none}, {"TRSX", of(trsx)},
                       {"TRSY", of(trsy)}, {"TRSZ", of(trsz)}, {"SAETT", of(sat)}});
            } else {
                judge({{"", none}, {"TRSX", of(trsx)}, {"TRSY", of(trsy)}, {"TRSZ", of(trsz)}, {"", none},
                       {"SPEI", of(spei)}, {"PHIN", of(phin)}});
            }
        }

        temp = temp + 273.15;
        rho = rho * 1000.0f;
        if (IMODE != 2) phig = phig / 100.0f;
        phin = phin / 100.0f;
        if (IMODE != 2) p.SAETT(k) = sat / 100.0f;
        float gwvx = 0.0f, gwvy = 0.0f, gwvz = 0.0f;
        if (IMODE == 0) {
            // A saturated layer moves horizontally in direction alpha, an
            // unsaturated one only vertically.
            if (sat >= 100.0f) {
                gwvx = speed * std::sin(alpha * deg);
                gwvy = speed * std::cos((alpha + 180.0f) * deg);
            } else {
                gwvz = vz;
            }
        }
        // The layer's values row by row, one array at a time.
        const auto nx = static_cast<std::size_t>(d.NX);
        for (int j = 1; j <= d.NY; ++j) {
            const auto row = [&](auto& a, auto value) { std::fill_n(a.row(j, k), nx, value); };
            if (IMODE <= 1) {
                row(T, temp);
                row(p.CPGE, cp);
                row(p.RHOG, rho);
                row(p.WLKG, wlk);
                row(p.PHIG, phig);
                row(m.ener.SOUC, souc);
                row(fl.IFLG, iflg);
            }
            row(p.PHIN, phin);
            if (IMODE == 0) {
                row(p.GWVX, gwvx);
                row(p.GWVY, gwvy);
                row(p.GWVZ, gwvz);
            } else {
                row(m.wpot.WPOT, wpot);
                row(t.TRSX, trsx);
                row(t.TRSY, trsy);
                row(t.TRSZ, trsz);
                row(t.QUEL, quel);
                row(t.SPEI, spei);
                row(fl.JFLG, jflg);
            }
        }
    }

    // Card 29: keyword entries up to "ENDE". Its format card still counts
    // against the last layer record.
    input_cards::check_card(m, read_format_card(in, f), label);
    label = "29 ";
    auto& z = m.izy1;
    int32_t& NUMW = m.inf3.NUMW;
    NUMW = 0;
    bool closed = f == nullptr;  // a check passes over entries without their format card
    std::vector<EntryPlace> places;  // where each entry stands, for the checks below
    for (int32_t n = 1; n <= IWERT && !closed; ++n) {
        Word4& w = m.zyk2.SWORT(n);
        const CardOutcome r = read_data_items(in, *f, in_chars(w.data(), 4), m.zyk1.WERT(n), z.IORT(n), z.JORT(n),
                                              z.KORT(n), z.IBER(n));
        if (r == CardOutcome::EndOfFile) {
            const Finding finding{message_records(no_end, " fehlende ENDE - Anweisung in Karte ", label),
                                  failure_place(in)};
            if (!collect(checking, finding)) write_finding(m.io.console(), finding);
            stop_run(m, kExitInput);
        }
        if (r != CardOutcome::Read) input_cards::check_card(m, r, label, entry_place(in, n, 2).keyword.context);
        if (word_view(w) == "ENDE") {
            closed = true;
            break;
        }
        places.push_back(entry_place(in, n, 2));
        ++NUMW;
        if (checking != nullptr) {
            checking->entry_read(n, places.back().keyword);
            // (An entry that adds its value may well add a negative one.)
            const std::string context = places.back().keyword.context;
            if (z.IBER(n) >= 0 || word_view(w) == "TEMP")
                checking->values_read(word_view(w), in, 1, 0, gruv::in(m.zyk1.WERT(n)),
                                      [&context](int32_t) { return context; });
        }
    }
    if (!closed) {
        SourcePlace place = record_place(in);
        place.context = places.back().keyword.context;
        const Finding finding{message_records(table_full), place};
        if (!collect(checking, finding)) {
            write_finding(m.io.console(), finding);
            stop_run(m, kExitInput);
        }
    }

    m.io.close(kMainInput);
    CHECKU(m, 1, places);
    check_entry_nodes(m, 1, places);

    // Boundary codes: Z, then Y, then X, each on the first and last plane.
    apply_boundary_code(m, code_z, d.NZ, [&](int32_t k) { return NodeRange{1, d.NX, 1, d.NY, k, k}; });
    apply_boundary_code(m, code_y, d.NY, [&](int32_t j) { return NodeRange{1, d.NX, j, j, 1, d.NZ}; });
    apply_boundary_code(m, code_x, d.NX, [&](int32_t i) { return NodeRange{i, i, 1, d.NY, 1, d.NZ}; });
}

}  // namespace gruv
