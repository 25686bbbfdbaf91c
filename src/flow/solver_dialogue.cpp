// The interactive change of the solver factors after a solve (OMEGAT): the
// user sees the result of the solve and may enter a new relaxation factor and
// a new weighting factor, after which the solve is repeated from the values of
// the previous time step. At the end of the keyboard input the offer counts as
// declined and a value prompt keeps its factor, so a batch run never waits.
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

#include "flow/flow.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

enum class ListValue { Value, Null, Error };

//! Reads the first item of a list-directed record as a REAL*4: a number in
//! any of the forms F, E or D editing accept, possibly with a repeat count
//! "r*"; a null item (an empty field before a comma, "r*" alone or a slash)
//! leaves the variable as it is.
ListValue read_list_real(std::string_view line, float& v) {
    std::size_t pos = line.find_first_not_of(' ');
    if (pos == std::string_view::npos) return ListValue::Null;
    if (line[pos] == ',' || line[pos] == '/') return ListValue::Null;
    const std::size_t end = line.find_first_of(" ,/", pos);
    std::string_view item = line.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    if (const std::size_t star = item.find('*'); star != std::string_view::npos) {
        const std::string_view count = item.substr(0, star);
        if (count.empty() || count.find_first_not_of("0123456789") != std::string_view::npos) return ListValue::Error;
        item.remove_prefix(star + 1);
        if (item.empty()) return ListValue::Null;
    }
    // Normalise to the form from_chars reads: no leading plus, exponent
    // letter E (D and Q are Fortran's double and quad markers), and an E
    // before a signed exponent written without a letter ("1.5+3").
    std::string text;
    std::size_t i = 0;
    if (item[0] == '+' || item[0] == '-') {
        if (item[0] == '-') text += '-';
        i = 1;
    }
    bool digits = false, exponent = false;
    for (; i < item.size(); ++i) {
        const char c = item[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            text += c;
        } else if (c == '.' && !exponent) {
            text += c;
        } else if (!exponent && digits && (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q')) {
            exponent = true;
            text += 'E';
            if (i + 1 < item.size() && (item[i + 1] == '+' || item[i + 1] == '-')) text += item[++i];
        } else if (!exponent && digits && (c == '+' || c == '-')) {
            exponent = true;
            text += 'E';
            text += c;
        } else {
            return ListValue::Error;
        }
    }
    if (!digits || text.back() == 'E' || text.back() == '+' || text.back() == '-') return ListValue::Error;
    float value = 0.0f;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return ListValue::Error;
    v = value;
    return ListValue::Value;
}

//! Asks for one factor until the answer is a number within its range. At the
//! end of the keyboard input the factor keeps its value.
template <class Valid>
void ask_factor(ConsoleUnit& console, std::string_view prompt, float& value, Valid valid) {
    std::string line;
    for (;;) {
        console.prompt(prompt);
        // A list-directed read goes on to the next record while it has found
        // no item yet.
        do {
            if (!console.read_line(line)) return;
        } while (line.find_first_not_of(' ') == std::string::npos);
        float candidate = value;
        if (read_list_real(line, candidate) != ListValue::Error && valid(candidate)) {
            value = candidate;
            return;
        }
    }
}

//! Puts the values of the previous time step back into the current field.
template <class T>
void restore_previous(NodeArray<T>& current, const NodeArray<T>& previous, const NDIM& d) {
    for (int32_t K = 1; K <= d.NZ; ++K)
        for (int32_t J = 1; J <= d.NY; ++J)
            for (int32_t I = 1; I <= d.NX; ++I) current(I, J, K) = previous(I, J, K);
}

}  // namespace

void OMEGAT(Model& m, double ERR, float& OM, float& AL) {
    static const FormatProgram& report = fixed_format(
        "(' Bei OMEGA = ',F5.3,' ergab sich nach ',I2,' Iterationen ein Fehler von ',F8.6,/,"
        "' Wichtungsfaktor ALFA = ',F5.2)");
    static const FormatProgram& change_head =
        fixed_format("(/,' Aenderung in der ',A10,'berechnung:',/,' --------------------------------------',/)");
    static const FormatProgram& change_values = fixed_format(
        "(' OMEGA - Wert wurde auf ',F4.2,' geaendert',/,' Wichtungsfaktor ALFA wurde auf ',F4.2,' geaendert')");
    static constexpr std::string_view question = " Werden neue Werte fuer OMEGA und ALFA gewuenscht?  (J/N)  ==> ";
    // The value prompts leave the cursor behind their text, so they are laid
    // out once as records and written without a line end.
    static const std::string omega_prompt =
        format_records(fixed_format("(T16,' Bitte neuen Wert fuer OMEGA eingeben ==>  ')"), {}).front();
    static const std::string alfa_prompt =
        format_records(fixed_format("(T16,' Bitte neuen Wert fuer ALFA eingeben  ==>  ')"), {}).front();

    const std::string_view name = m.inf2.IAENDR == 1 ? "Temperatur" : "Stroemungs";
    if (m.inf2.IBILD >= 1) ROUTIN(m, "OMEGAT");
    ConsoleUnit& console = m.io.console();
    write(console, report, OM, m.inf2.NIT, ERR, AL);

    // One character answers the question; the end of the input declines.
    char answer = 'N';
    std::string line;
    for (;;) {
        console.prompt(question);
        if (!console.read_line(line)) break;
        const char c = line.empty() ? ' ' : line.front();
        if (c == 'J' || c == 'j' || c == 'N' || c == 'n') {
            answer = c;
            break;
        }
    }
    if (answer == 'N' || answer == 'n') {
        OutputUnit& out = m.io.unit(m.inf2.IOUT);
        write(out, change_head, name);
        write(out, change_values, OM, AL);
        --m.inf2.IAENDR;
        return;
    }

    // A factor of 0 would freeze the values and report them as converged, a
    // negative one would switch the solver; neither is accepted, nor a weight
    // outside 0..1.
    ask_factor(console, omega_prompt, OM, [](float v) { return v > 0.0f && v < 2.0f; });
    ask_factor(console, alfa_prompt, AL, [](float v) { return v >= 0.0f && v <= 1.0f; });

    // The solve is repeated from the values of the previous time step.
    if (m.inf2.IAENDR == 1) {
        restore_previous(m.temp.TEMP, m.temp.TEMPA, m.ndim);
        m.par1.OMEGT = OM;
        m.par1.ALFAT = AL;
    }
    if (m.inf2.IAENDR == 2) {
        restore_previous(m.wpot.WPOT, m.wpot.WPOTA, m.ndim);
        m.par2.OMEGA = OM;
        m.par2.ALFA = AL;
    }
}

}  // namespace gruv
