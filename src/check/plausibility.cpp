// Judgements of what a deck describes: values outside physical sense, solver
// settings that cannot converge, a time step beyond the stability limit, a
// grid Peclet number the convection scheme cannot take, keyword entries
// without effect, observation nodes on fixed nodes, and the reasons a run
// stops before its first time step.
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "check/findings.hpp"
#include "flow/flow.hpp"
#include "input/input.hpp"
#include "records/card_reader.hpp"

namespace gruv {

namespace {

enum class Range { Percent, NotNegative, AboveAbsoluteZero };

//! What a quantity may hold, in the unit the deck enters it in.
struct Rule {
    std::string_view quantity;  //!< its keyword or block name
    Range range;
    std::string_view text;      //!< the warning, without the name
};

constexpr std::array<Rule, 13> kRules{{
    {"TEMP", Range::AboveAbsoluteZero, "Temperatur unter dem absoluten Nullpunkt (-273.15 Grad C)"},
    {"PHIG", Range::Percent, "Gesamtporositaet ausserhalb 0 bis 100 %"},
    {"PHIN", Range::Percent, "Nutzporositaet ausserhalb 0 bis 100 %"},
    {"SAETT", Range::Percent, "Wassersaettigung ausserhalb 0 bis 100 %"},
    {"CPGE", Range::NotNegative, "negative Waermekapazitaet des Gesteins"},
    {"WLKG", Range::NotNegative, "negative Waermeleitfaehigkeit des Gesteins"},
    {"RHOG", Range::NotNegative, "negative Dichte des Gesteins"},
    {"TRSX", Range::NotNegative, "negative hydraulische Leitfaehigkeit"},
    {"TRSY", Range::NotNegative, "negative hydraulische Leitfaehigkeit"},
    {"TRSZ", Range::NotNegative, "negative hydraulische Leitfaehigkeit"},
    {"TXYZ", Range::NotNegative, "negative hydraulische Leitfaehigkeit"},
    {"LEAK", Range::NotNegative, "negativer Leakagekoeffizient"},
    {"SPEI", Range::NotNegative, "negativer Speicherkoeffizient"},
}};

//! True when v lies outside the range (a NaN has been refused when read).
bool outside(Range range, double v) {
    switch (range) {
        case Range::Percent: return v < 0.0 || v > 100.0;
        case Range::NotNegative: return v < 0.0;
        case Range::AboveAbsoluteZero: return v < -273.15;
    }
    return false;
}

double element_of(const InItem& values, int32_t e) {
    const auto j = static_cast<std::ptrdiff_t>(e) * values.stride;
    switch (values.type) {
        case InItem::Type::Int: return static_cast<const int32_t*>(values.data)[j];
        case InItem::Type::Real4: return static_cast<double>(static_cast<const float*>(values.data)[j]);
        case InItem::Type::Real8: return static_cast<const double*>(values.data)[j];
        case InItem::Type::Chars: break;
    }
    return 0.0;
}

std::string named(std::string_view text, std::string_view name) {
    return std::string(text) + " (" + std::string(name) + ")";
}

//! A number as messages show it: fixed, one decimal.
std::string minutes(float v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::fixed, 1);
    return std::string(buf, r.ptr);
}

//! The message records of a fixed format, without empty records.
template <class... Items>
std::vector<std::string> message_of(const FormatProgram& f, const Items&... items) {
    std::vector<std::string> records;
    for (std::string& r : message_records(f, items...))
        if (r.find_first_not_of(' ') != std::string::npos) records.push_back(std::move(r));
    return records;
}

// --- values of the control cards -----------------------------------------------

void judge_control_values(Findings& out, const Model& m) {
    const Io& io = m.io;
    const auto at = [&io](std::string_view card, int32_t item) { return io.kept_place(value_key(card, item)); };
    const int32_t IMODE = m.inf4.IMODE;
    if (m.inf1.ITMAX < 5)
        out.warning({list_message("hoechstens " + std::to_string(m.inf1.ITMAX) +
                                  " Iterationen je Loesung (ITMAX kleiner 5) - die Loesungen brechen vor dem Ziel ab"),
                     at("7  ", 1)});
    // A limit of 0 is never reached: every solve takes ITMAX sweeps.
    if (IMODE != 2 && m.par1.EPST <= 0.0f)
        out.warning({list_message("erlaubter Iterationsfehler der Temperaturberechnung EPST nicht groesser 0 - "
                                  "jede Loesung laeuft bis ITMAX"),
                     at("7  ", 9)});
    if (IMODE != 0 && m.par2.EPSH <= 0.0f)
        out.warning({list_message("erlaubter Iterationsfehler der Stroemungsberechnung EPSH nicht groesser 0 - "
                                  "jede Loesung laeuft bis ITMAX"),
                     at("13 ", 4)});
    if (m.inf2.ISTOFF >= 2) {
        const auto& p3 = m.par3;
        const std::array<std::pair<float, std::string_view>, 9> fluid{{{p3.CPW, "CPW"},
                                                                       {p3.CPE, "CPE"},
                                                                       {p3.CPL, "CPL"},
                                                                       {p3.LAMW, "LAMW"},
                                                                       {p3.LAME, "LAME"},
                                                                       {p3.LAML, "LAML"},
                                                                       {p3.RHOW, "RHOW"},
                                                                       {p3.RHOE, "RHOE"},
                                                                       {p3.RHOL, "RHOL"}}};
        constexpr std::array<std::string_view, 3> kinds{"negative Waermekapazitaet", "negative Waermeleitfaehigkeit",
                                                        "negative Dichte"};
        for (std::size_t n = 0; n < fluid.size(); ++n)
            if (fluid[n].first < 0.0f)
                out.warning({list_message(named(kinds[n / 3], fluid[n].second)), at("11b", static_cast<int32_t>(n))});
    }
}

//! The stops of a run before its first time step that follow from card 7.
void judge_time_loop(Findings& out, const Model& m) {
    const Io& io = m.io;
    const auto at = [&io](int32_t item) { return io.kept_place(value_key("7  ", item)); };
    const auto& i1 = m.inf1;
    if (i1.IEINGA < 0 && i1.NZSCHR > 0) out.error({message_of(no_field_input_reason()), at(4)});
    // The time-step test makes the run one interval when the additional data file is read.
    const bool one_interval = m.inf4.IZTEST != 0 && m.inf4.IMODE <= 1 && m.inf3.IZUSAT == 1;
    const int32_t NZINT = one_interval ? i1.NZSCHR : i1.NZINT;
    if (NZINT <= 0) {
        out.error({message_of(no_interval_reason(), NZINT), at(2)});
        return;
    }
    // Steps grown by ZFAKT: the step after which the simulated time is no
    // longer a number, computed as the time loop computes it.
    const float ZFAKT = m.par1.ZFAKT;
    if (!(ZFAKT > 1.0f) || !(m.par1.DELT > 0.0f)) return;
    constexpr int64_t kLongest = 10'000'000;  // steps followed at most
    const int64_t steps = std::min<int64_t>(static_cast<int64_t>(i1.NZSCHR / NZINT) * NZINT, kLongest);
    float ZEIT = 0.0f, DELT = m.par1.DELT;
    for (int64_t step = 0; step < steps; ++step) {
        if (!std::isfinite(ZEIT + DELT)) {
            out.error({message_of(infinite_time_reason(), static_cast<int32_t>(step + 1)), at(8)});
            return;
        }
        ZEIT += DELT;
        const float grown = DELT * ZFAKT;
        if (std::isfinite(grown)) DELT = grown;
    }
}

// --- the model read -----------------------------------------------------------

void judge_time_step(Findings& out, const Model& m) {
    if (m.inf4.IMODE > 1) return;
    // The limit is that of an explicit step: it binds a point iteration
    // weighted below 0.5 toward the old temperatures, and it is the advice
    // the run prints when the deck asks for the time-step test.
    const bool explicit_weight = m.par1.OMEGT > 0.0f && m.par1.ALFAT < 0.5f;
    if (!explicit_weight && m.inf4.IZTEST == 0) return;
    const float limit = stable_step_limit(m);
    if (!(m.par1.DELT > limit)) return;
    out.warning({list_message("Zeitschrittlaenge " + minutes(m.par1.DELT / 60.0f) +
                              " Minuten groesser als die max. Zeitschrittlaenge " + minutes(limit / 60.0f) +
                              " Minuten des Zeitschritttests"),
                 m.io.kept_place(value_key("7  ", 6))});
}

void judge_peclet(Findings& out, const Model& m) {
    if (m.inf4.IMODE != 0 || m.inf2.KONVEK != 1) return;  // velocities are given only here
    const PecletMaximum r = grid_peclet_maximum(m);
    if (!r.testable || r.P <= 2.0f) return;
    const int32_t IDSTOP = m.inf4.IDSTOP;
    if (IDSTOP != 0) {
        // The run's own test: a warning, or with IDSTOP = 2 the stop.
        std::vector<std::string> message = message_of(peclet_warning(), r.I, r.J, r.K, r.P);
        if (IDSTOP == 2) {
            for (std::string& s : message_of(peclet_stop())) message.push_back(std::move(s));
            out.error({message, m.io.kept_place(value_key("9  ", 7))});
        } else {
            out.warning({message, m.io.kept_place(value_key("9  ", 7))});
        }
        return;
    }
    // Central differences oscillate above 2; the other schemes turn to upwinding.
    if (m.inf1.ISCHEM != 1) return;
    char number[32];
    const auto end =
        std::to_chars(number, number + sizeof number, static_cast<double>(r.P), std::chars_format::fixed, 3);
    out.warning({list_message("Gitter-Peclet-Zahl " + std::string(number, end.ptr) + " an Knoten (" +
                              std::to_string(r.I) + "," + std::to_string(r.J) + "," + std::to_string(r.K) +
                              ") groesser 2 - zentrale Differenzen (ISCHEM = 1) lassen die Temperaturen schwingen"),
                 m.io.kept_place(value_key("11 ", 3))});
}

//! The line of observation node n on card 15b.
SourcePlace observation_place(const Model& m, int32_t n) {
    return m.io.kept_place("15b/" + std::to_string(n));
}

void judge_observation_nodes(Findings& out, const Model& m) {
    const auto& o = m.inf4;
    const auto& d = m.ndim;
    for (int32_t n = 1; n <= o.NBEOB; ++n) {
        const int32_t i = o.IBEOB(n), j = o.JBEOB(n), k = o.KBEOB(n);
        if (i < 1 || i > d.NX || j < 1 || j > d.NY || k < 1 || k > d.NZ) continue;  // refused when read
        if (o.IMODE <= 1 && m.ifld.IFLG(i, j, k) == 2)
            out.warning({list_message("Beobachtungsknoten " + std::to_string(n) +
                                      " liegt auf einem Knoten fester Temperatur (IFLG = 2)"),
                         observation_place(m, n)});
        if (o.IMODE >= 1 && m.ifld.JFLG(i, j, k) == 2)
            out.warning({list_message("Beobachtungsknoten " + std::to_string(n) +
                                      " liegt auf einem Knoten fester Piezometerhoehe (JFLG = 2)"),
                         observation_place(m, n)});
    }
}

}  // namespace

void judge_values(Findings& findings, std::string_view quantity, const InputUnit& in, int32_t item, int32_t element,
                  const InItem& values, const std::function<std::string(int32_t)>& context) {
    const Rule* rule = nullptr;
    for (const Rule& r : kRules)
        if (r.quantity == quantity) rule = &r;
    if (rule == nullptr || values.data == nullptr) return;
    for (int32_t e = 0; e < values.count; ++e) {
        if (!outside(rule->range, element_of(values, e))) continue;
        SourcePlace place = value_place(in, item, element + e);
        if (context) place.context = context(element + e);
        findings.warning({list_message(named(rule->text, quantity)), place});
    }
}

void judge_model(Findings& findings, const Model& m, const ReadProgress& progress) {
    if (!progress.control_cards) return;
    judge_control_values(findings, m);
    judge_time_loop(findings, m);
    if (!progress.fields) return;
    judge_time_step(findings, m);
    judge_peclet(findings, m);
    judge_observation_nodes(findings, m);
    judge_entries(findings, m);
}

}  // namespace gruv
