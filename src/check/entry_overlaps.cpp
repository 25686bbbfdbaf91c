// Keyword entries of card 29 that later entries overwrite on every node they
// address: such an entry has no effect at all, which is almost certainly not
// what the deck meant (a repeated entry, or the general value written after
// the special one).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "check/findings.hpp"
#include "input/input.hpp"

namespace gruv {

namespace {

//! The node fields entries write to.
enum Target : int {
    CPGE, GWVX, GWVY, GWVZ, QUEL, TRSX, TRSY, TRSZ, SPEI, PHIN, PHIG, WPOT, JFLG, IFLG, RHOG, SOUC, WLKG, TEMP
};

//! One field an entry writes on a block of nodes.
struct Write {
    Target target;
    NodeRange nodes;
    bool sets;  //!< replaces the values (else adds to them)
};

bool within(const NodeRange& a, const NodeRange& b) {
    return b.i0 <= a.i0 && a.i1 <= b.i1 && b.j0 <= a.j0 && a.j1 <= b.j1 && b.k0 <= a.k0 && a.k1 <= b.k1;
}

//! Sources, flags and temperatures are set again whenever the energy input
//! is switched on at an interval end; the other keywords act once.
bool acts_again(Keyword key) {
    switch (key) {
        case Keyword::IFLG: case Keyword::JFLG: case Keyword::QUEL: case Keyword::SOUC: case Keyword::WATT:
        case Keyword::WPXM: case Keyword::WPYM: case Keyword::WPZM: case Keyword::WPXY: case Keyword::WPXZ:
        case Keyword::WPYZ: case Keyword::TEMP:
            return true;
        default: return false;
    }
}

//! The fields entry N writes, as the value conversion applies it at the start.
std::vector<Write> writes_of(const Model& m, int32_t N) {
    const Keyword key = keyword_of(m.zyk2.SWORT(N));
    const int32_t s = m.izy1.IBER(N);
    // The real-valued worker takes the range of |s| and adds for s < 0; the
    // temperature and flag workers take a negative selector as the single node.
    const int32_t magnitude = s >= 0 ? s : (s == INT32_MIN ? INT32_MAX : -s);
    const NodeRange real = selector_range(m, N, magnitude);
    const NodeRange exact = selector_range(m, N, s < 0 ? 0 : s);
    const bool sets = s >= 0;
    std::vector<Write> w;
    const auto real_writes = [&](std::initializer_list<Target> targets) {
        for (const Target t : targets) w.push_back({t, real, sets});
    };
    switch (key) {
        case Keyword::CPGE: real_writes({CPGE}); break;
        case Keyword::GWNB:
        case Keyword::RNZF: w.push_back({QUEL, real, false}); break;
        case Keyword::GWVX: real_writes({GWVX}); break;
        case Keyword::GWVY: real_writes({GWVY}); break;
        case Keyword::GWVZ: real_writes({GWVZ}); break;
        case Keyword::HTOT:
            real_writes({TRSX, TRSY, TRSZ, SPEI, PHIN, WPOT});
            w.push_back({JFLG, exact, true});
            break;
        case Keyword::LEAK: {
            real_writes({TRSZ});
            NodeRange below = real;  // the layer below, unless the range takes every layer anyway
            if (below.k0 == below.k1) below.k0 = below.k1 = below.k0 + 1;
            w.push_back({TRSZ, below, sets});
            break;
        }
        case Keyword::PHIG: real_writes({PHIG}); break;
        case Keyword::PHIN: real_writes({PHIN}); break;
        case Keyword::QUEL: real_writes({QUEL}); break;
        case Keyword::RHOG: real_writes({RHOG}); break;
        case Keyword::SPEI: real_writes({SPEI}); break;
        case Keyword::SOUC:
        case Keyword::WATT:
        case Keyword::WPXM:
        case Keyword::WPYM:
        case Keyword::WPZM:
        case Keyword::WPXY:
        case Keyword::WPXZ:
        case Keyword::WPYZ: real_writes({SOUC}); break;
        case Keyword::TRSX: real_writes({TRSX}); break;
        case Keyword::TRSY: real_writes({TRSY}); break;
        case Keyword::TRSZ: real_writes({TRSZ}); break;
        case Keyword::TXYZ: real_writes({TRSX, TRSY, TRSZ}); break;
        case Keyword::TTOT:
            real_writes({SOUC, WLKG, PHIG, PHIN, CPGE});
            w.push_back({TEMP, exact, true});
            w.push_back({IFLG, exact, true});
            break;
        case Keyword::TEMP: w.push_back({TEMP, exact, true}); break;
        case Keyword::WLKG: real_writes({WLKG}); break;
        case Keyword::WPOT: real_writes({WPOT}); break;
        case Keyword::IFLG: w.push_back({IFLG, exact, true}); break;
        case Keyword::JFLG: w.push_back({JFLG, exact, true}); break;
        case Keyword::Unknown: break;
    }
    return w;
}

}  // namespace

void judge_entries(Findings& findings, const Model& m) {
    const int32_t NUMW = m.inf3.NUMW;
    const auto& i1 = m.inf1;
    const bool one_interval = m.inf4.IZTEST != 0 && m.inf4.IMODE <= 1 && m.inf3.IZUSAT == 1;
    const bool intervals = (one_interval ? i1.NZSCHR : i1.NZINT) != i1.NZSCHR;  // the energy input is switched
    std::vector<std::vector<Write>> writes(static_cast<std::size_t>(NUMW) + 1);
    for (int32_t n = 1; n <= NUMW; ++n) writes[static_cast<std::size_t>(n)] = writes_of(m, n);
    for (int32_t a = 1; a <= NUMW; ++a) {
        const auto& mine = writes[static_cast<std::size_t>(a)];
        const bool again = intervals && acts_again(keyword_of(m.zyk2.SWORT(a)));
        int32_t first_cover = 0;
        bool covered = !mine.empty();
        for (const Write& w : mine) {
            int32_t cover = 0;
            for (int32_t b = a + 1; b <= NUMW && cover == 0; ++b) {
                // What is set again at interval ends outlives what acts once.
                if (again && !acts_again(keyword_of(m.zyk2.SWORT(b)))) continue;
                for (const Write& v : writes[static_cast<std::size_t>(b)])
                    if (v.sets && v.target == w.target && within(w.nodes, v.nodes)) cover = b;
            }
            if (cover == 0) covered = false;
            if (first_cover == 0) first_cover = cover;
            if (!covered) break;
        }
        if (!covered) continue;
        const auto name = [&m](int32_t n) {
            const Word4& w = m.zyk2.SWORT(n);
            return "Eintrag " + std::to_string(n) + " (" + std::string(w.data(), w.size()) + ")";
        };
        findings.warning({list_message(name(a) + " wird von " + name(first_cover) +
                                       " ganz ueberschrieben und bleibt ohne Wirkung"),
                          findings.entry_place(a)});
    }
}

}  // namespace gruv
