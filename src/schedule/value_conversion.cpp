// Value conversion: one entry of the value-conversion table (keyword, value,
// node indices, range selector) becomes changes of the node fields. The
// application state says which group of keywords acts: -1 at the start and
// for the additional data file (properties, sources and flags), 1 when the
// energy input is switched on at an interval end (sources and flags), 0 when
// it is switched off (sources taken back, flags reset).
#include <cmath>
#include <limits>

#include "input/input.hpp"
#include "schedule/schedule.hpp"

namespace gruv {

namespace {

//! x**e for the exponents 0 and 1 of the geometric factors (x**0 = 1 for every x).
float integer_power(float x, int32_t e) {
    float r = 1.0f;
    for (int32_t n = 1; n <= e; ++n) r = r * x;
    return r;
}

//! |s|; the most negative selector lands beyond 7 (single node) as |s| would.
int32_t selector_magnitude(int32_t s) {
    if (s >= 0) return s;
    return s == std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::max() : -s;
}

//! INT(V): truncation toward zero; a value beyond INTEGER*4 (or NaN) gives
//! the most negative integer, as the conversion instruction of the machine does.
int32_t truncate_to_int(float v) {
    if (!(v > -2147483904.0f && v < 2147483648.0f)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

bool is_add_mode(Keyword key, int32_t selector) {
    if (key == Keyword::GWNB || key == Keyword::RNZF) return true;
    // Negative selectors switch the real-valued worker to add mode; the
    // temperature and flag keywords always set their value.
    return selector < 0 && key != Keyword::TEMP && key != Keyword::IFLG && key != Keyword::JFLG;
}

}  // namespace

void UMWREA(Model& m, NodeArray<float>& A, int32_t N, float V, int32_t ADD, int32_t EX, int32_t EY, int32_t EZ,
            int32_t EV) {
    const auto& g = m.gitt;
    const int32_t s = m.izy1.IBER(N);
    const float add = static_cast<float>(s < 0 ? 1 : ADD);
    const NodeRange r = selector_range(m, N, selector_magnitude(s));
    for (int k = r.k0; k <= r.k1; ++k)
        for (int j = r.j0; j <= r.j1; ++j)
            for (int i = r.i0; i <= r.i1; ++i) {
                float v = V * integer_power(g.ZBRX(i), EX);
                v = v * integer_power(g.ZBRY(j), EY);
                v = v * integer_power(g.ZBRZ(k), EZ);
                v = v / integer_power(g.ZVOL(i, j, k), EV);
                A(i, j, k) = v + add * A(i, j, k);
            }
}

void UMWDBL(Model& m, NodeArray<double>& A, int32_t N, float V) {
    const int32_t s = m.izy1.IBER(N);
    const NodeRange r = selector_range(m, N, s < 0 ? 0 : s);
    const double v = static_cast<double>(V);
    for (int k = r.k0; k <= r.k1; ++k)
        for (int j = r.j0; j <= r.j1; ++j)
            for (int i = r.i0; i <= r.i1; ++i) A(i, j, k) = v;
}

void UMWINT(Model& m, NodeArray<int32_t>& A, int32_t N, float V) {
    const int32_t s = m.izy1.IBER(N);
    const NodeRange r = selector_range(m, N, s < 0 ? 0 : s);
    const int32_t v = truncate_to_int(V);
    for (int k = r.k0; k <= r.k1; ++k)
        for (int j = r.j0; j <= r.j1; ++j)
            for (int i = r.i0; i <= r.i1; ++i) A(i, j, k) = v;
}

void UMWAND(Model& m, int32_t N, int32_t M) {
    auto& p = m.phys;
    auto& t = m.trns;
    auto& T = m.temp;
    auto& SOUC = m.ener.SOUC;
    const float SPKONS = m.par2.SPKONS;
    const Keyword key = keyword_of(m.zyk2.SWORT(N));
    const bool add_mode = is_add_mode(key, m.izy1.IBER(N));
    const bool switching = m.inf3.IZUSAT == 0;  // sources are switched off and on again
    float V = m.zyk1.WERT(N);

    // An add-mode entry of the additional data file replaces what it added
    // before: it adds the difference to the value it applied last. Its fixed
    // values (HTOT, TTOT) are added only once.
    bool add_fixed_values = true;
    if (M < 0 && N > m.inf3.NUMW && add_mode) {
        auto& z = m.zusd;
        const float applied = z.WLETZT(N);
        z.WLETZT(N) = V;
        add_fixed_values = z.IANGEW(N) == 0;
        z.IANGEW(N) = 1;
        V = V - applied;
    }

    if (M < 0) {
        switch (key) {
            case Keyword::CPGE: UMWREA(m, p.CPGE, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::GWNB: UMWREA(m, t.QUEL, N, V, 1, 1, 1, 0, 0); break;
            case Keyword::GWVX: UMWREA(m, p.GWVX, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::GWVY: UMWREA(m, p.GWVY, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::GWVZ: UMWREA(m, p.GWVZ, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::HTOT:
                // The node is taken out of the flow.
                if (add_fixed_values) {
                    UMWREA(m, t.TRSX, N, 0.0f, 0, 0, 0, 0, 0);
                    UMWREA(m, t.TRSY, N, 0.0f, 0, 0, 0, 0, 0);
                    UMWREA(m, t.TRSZ, N, 0.0f, 0, 0, 0, 0, 0);
                    UMWREA(m, t.SPEI, N, SPKONS, 0, 0, 0, 0, 0);
                    UMWREA(m, p.PHIN, N, SPKONS, 0, 0, 0, 0, 0);
                    UMWREA(m, m.wpot.WPOT, N, 999.0f, 0, 0, 0, 0, 0);
                    UMWREA(m, m.wpot.WPOTA, N, 999.0f, 0, 0, 0, 0, 0);
                }
                UMWINT(m, m.ifld.JFLG, N, 2.0f);
                break;
            case Keyword::LEAK: {
                // A leakage coefficient times the node distance is the
                // vertical conductivity of the layer and of the one below.
                int32_t& K = m.izy1.KORT(N);
                const float W = V * m.gitt.KABZ(K);
                UMWREA(m, t.TRSZ, N, W, 0, 0, 0, 0, 0);
                K = K + 1;
                UMWREA(m, t.TRSZ, N, W, 0, 0, 0, 0, 0);
                K = K - 1;
                break;
            }
            case Keyword::PHIG: UMWREA(m, p.PHIG, N, V / 100.0f, 0, 0, 0, 0, 0); break;
            case Keyword::PHIN: UMWREA(m, p.PHIN, N, V / 100.0f, 0, 0, 0, 0, 0); break;
            case Keyword::RHOG: UMWREA(m, p.RHOG, N, V * 1000.0f, 0, 0, 0, 0, 0); break;
            case Keyword::RNZF: UMWREA(m, t.QUEL, N, V, 1, 0, 0, 0, 0); break;
            case Keyword::SPEI: UMWREA(m, t.SPEI, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::TEMP:
                UMWDBL(m, T.TEMP, N, V + 273.15f);
                UMWDBL(m, T.TEMPA, N, V + 273.15f);
                break;
            case Keyword::TXYZ:
                UMWREA(m, t.TRSX, N, V, 0, 0, 0, 0, 0);
                UMWREA(m, t.TRSY, N, V, 0, 0, 0, 0, 0);
                UMWREA(m, t.TRSZ, N, V, 0, 0, 0, 0, 0);
                break;
            case Keyword::TRSX: UMWREA(m, t.TRSX, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::TRSY: UMWREA(m, t.TRSY, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::TRSZ: UMWREA(m, t.TRSZ, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::TTOT:
                // The node is taken out of the heat transport.
                if (add_fixed_values) {
                    UMWREA(m, SOUC, N, 0.0f, 0, 0, 0, 0, 0);
                    UMWREA(m, p.WLKG, N, 0.0f, 0, 0, 0, 0, 0);
                    UMWREA(m, p.PHIG, N, 0.0f, 0, 0, 0, 0, 0);
                    UMWREA(m, p.PHIN, N, 0.0f, 0, 0, 0, 0, 0);
                    UMWREA(m, p.CPGE, N, SPKONS, 0, 0, 0, 0, 0);
                }
                UMWDBL(m, T.TEMP, N, 1272.15f);
                UMWDBL(m, T.TEMPA, N, 1272.15f);
                UMWINT(m, m.ifld.IFLG, N, 2.0f);
                break;
            case Keyword::WLKG: UMWREA(m, p.WLKG, N, V, 0, 0, 0, 0, 0); break;
            case Keyword::WPOT:
                UMWREA(m, m.wpot.WPOT, N, V, 0, 0, 0, 0, 0);
                UMWREA(m, m.wpot.WPOTA, N, V, 0, 0, 0, 0, 0);
                break;
            default: break;
        }
    }

    if (M != 0) {
        // Switching on again at an interval end: a set-mode entry simply sets
        // its value once more, but an add-mode entry would add it on top of
        // itself. It is applied again only where the switch-off took it back.
        const bool taken_back = switching && (key == Keyword::QUEL || key == Keyword::SOUC || key == Keyword::WATT);
        const bool apply_sources = M < 0 || !add_mode || taken_back;
        switch (key) {
            case Keyword::IFLG: UMWINT(m, m.ifld.IFLG, N, V); break;
            case Keyword::JFLG: UMWINT(m, m.ifld.JFLG, N, V); break;
            case Keyword::TEMP:
                UMWDBL(m, T.TEMP, N, V + 273.15f);
                UMWDBL(m, T.TEMPA, N, V + 273.15f);
                break;
            default:
                if (!apply_sources) break;
                switch (key) {
                    case Keyword::QUEL: UMWREA(m, t.QUEL, N, V, 0, 0, 0, 0, 0); break;
                    case Keyword::SOUC: UMWREA(m, SOUC, N, V, 0, 0, 0, 0, 0); break;
                    case Keyword::WATT: UMWREA(m, SOUC, N, V, 0, 0, 0, 0, 1); break;
                    case Keyword::WPXM: UMWREA(m, SOUC, N, V, 0, 1, 0, 0, 1); break;
                    case Keyword::WPYM: UMWREA(m, SOUC, N, V, 0, 0, 1, 0, 1); break;
                    case Keyword::WPZM: UMWREA(m, SOUC, N, V, 0, 0, 0, 1, 1); break;
                    case Keyword::WPXY: UMWREA(m, SOUC, N, V, 0, 1, 1, 0, 1); break;
                    case Keyword::WPXZ: UMWREA(m, SOUC, N, V, 0, 1, 0, 1, 1); break;
                    case Keyword::WPYZ: UMWREA(m, SOUC, N, V, 0, 0, 1, 1, 1); break;
                    default: break;
                }
        }
    }

    if (M == 0 && switching) {
        switch (key) {
            case Keyword::QUEL: UMWREA(m, t.QUEL, N, -V, 1, 0, 0, 0, 0); break;
            case Keyword::SOUC:
            case Keyword::WATT:
                // An added heat production is taken back by the call that
                // added it, as the water source is; a set one is set to zero.
                if (add_mode) {
                    UMWREA(m, SOUC, N, -V, 0, 0, 0, 0, key == Keyword::WATT ? 1 : 0);
                } else {
                    UMWREA(m, SOUC, N, 0.0f, 0, 0, 0, 0, 0);
                }
                break;
            case Keyword::IFLG: UMWINT(m, m.ifld.IFLG, N, 1.0f); break;
            case Keyword::JFLG: UMWINT(m, m.ifld.JFLG, N, 1.0f); break;
            default: break;
        }
    }
}

}  // namespace gruv
