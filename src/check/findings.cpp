// The collector of a deck check and the report it writes.
#include "check/findings.hpp"

#include <algorithm>
#include <tuple>

#include "records/card_reader.hpp"
#include "state/stop.hpp"

namespace gruv {

namespace {

constexpr int64_t kShown = 3;  // findings of one kind shown in full; the rest are counted
constexpr int32_t kRestartUnit = 9;  // written by the program, not by hand

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

int CheckReport::status() const { return errors > 0 ? kExitInput : kExitNormal; }

void Findings::add(Severity severity, const Finding& finding) {
    ++(severity == Severity::Error ? errors_ : warnings_);
    const SourcePlace& p = finding.place;
    int64_t group = 0;
    if (const auto it = format_lines_.find(p.file); it != format_lines_.end() && it->second <= p.line)
        group = it->second;
    std::string key(1, severity == Severity::Error ? 'E' : 'W');
    for (const std::string& record : finding.message) key += record + '\n';
    key += p.file + '\n' + std::to_string(group);
    Kind& kind = kinds_[key];
    ++kind.count;
    kind.last_line = p.line;
    if (kind.count > kShown) return;
    kept_.push_back({severity, finding, 0, 0});
    if (kind.count == 1) kind.first_kept = kept_.size() - 1;
    kind.last_kept = kept_.size() - 1;
}

void Findings::records_read(InputUnit& in, std::span<const InItem> items) {
    format_lines_[in.name()] = in.format_line();
    if (in.number() != kRestartUnit) judge_record_layout(*this, in, items);
}

void Findings::values_read(std::string_view quantity, const InputUnit& in, int32_t item, int32_t element,
                           const InItem& values, const std::function<std::string(int32_t)>& context) {
    judge_values(*this, quantity, in, item, element, values, context);
}

SourcePlace Findings::entry_place(int32_t N) const {
    const auto it = entries_.find(N);
    return it != entries_.end() ? it->second : SourcePlace{};
}

CheckReport Findings::report() const {
    CheckReport r;
    r.deck = deck_;
    r.errors = errors_;
    r.warnings = warnings_;
    r.findings = kept_;
    for (const auto& [key, kind] : kinds_) {
        if (kind.count <= kShown) continue;
        r.findings[kind.last_kept].more = kind.count - kShown;
        r.findings[kind.last_kept].more_until = kind.last_line;
    }
    // The deck first, the other files in the order they were first named;
    // findings without a place before all others.
    std::vector<std::string> files{deck_};
    for (const CheckFinding& f : kept_)
        if (!f.finding.place.file.empty() && std::find(files.begin(), files.end(), f.finding.place.file) == files.end())
            files.push_back(f.finding.place.file);
    const auto order = [&files](const CheckFinding& f) {
        const SourcePlace& p = f.finding.place;
        const auto rank = p.known() ? std::find(files.begin(), files.end(), p.file) - files.begin() : -1;
        return std::make_tuple(rank, p.line, p.at_end, p.first_column);
    };
    std::stable_sort(r.findings.begin(), r.findings.end(),
                     [&order](const CheckFinding& a, const CheckFinding& b) { return order(a) < order(b); });
    return r;
}

void write_check_report(OutputUnit& u, const CheckReport& report) {
    for (const CheckFinding& f : report.findings) {
        const std::string head = f.severity == Severity::Error ? " Fehler: " : " Warnung: ";
        bool first = true;
        for (const std::string& record : f.finding.message) {
            const std::string_view text = trimmed(record);
            if (text.empty()) continue;
            u.put_record((first ? head : std::string(head.size(), ' ')) + std::string(text));
            first = false;
        }
        if (f.finding.place.known()) u.put_record(location_line(f.finding.place));
        if (f.more > 0)
            u.put_record(" ... und " + std::to_string(f.more) + (f.more == 1 ? " weitere Stelle" : " weitere Stellen") +
                         " dieser Art bis Zeile " + std::to_string(f.more_until));
    }
    const auto count = [](int64_t n, std::string_view one, std::string_view many) {
        return std::to_string(n) + " " + std::string(n == 1 ? one : many);
    };
    u.put_record(" Pruefung von " + report.deck + ": " + count(report.errors, "Fehler", "Fehler") + ", " +
                 count(report.warnings, "Warnung", "Warnungen"));
}

}  // namespace gruv
