// The check of a deck: the run's own reading routines, in the order a run
// calls them, on a model whose unit table hands every finding to the check
// instead of stopping and opens no file for writing; the console is held
// back meanwhile. Then the judgements of the model that was read.
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "check/check.hpp"
#include "check/findings.hpp"
#include "input/input.hpp"
#include "schedule/schedule.hpp"
#include "state/stop.hpp"

namespace gruv {

namespace {

constexpr int32_t kAdditionalFile = 8;

//! One stage of the reading; false when a stop ended it. A stop that left no
//! finding (a routine that wrote its message itself) becomes a finding of
//! the console lines the stage wrote.
bool stage(Findings& findings, const std::ostringstream& console, const std::function<void()>& read) {
    const int64_t errors = findings.errors();
    const std::size_t from = console.str().size();
    try {
        read();
        return true;
    } catch (const RunStopped& stop) {
        if (stop.status == kExitNormal || findings.errors() > errors) return false;
        std::vector<std::string> lines;
        std::istringstream text(console.str().substr(from));
        for (std::string line; std::getline(text, line);)
            if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line);
        if (lines.empty()) lines.emplace_back(" Bearbeitung abgebrochen");
        findings.error({lines, {}});
        return false;
    }
}

//! The additional data file: its head and first value record, which the
//! run applies before its first step, then every further record.
void check_additional_data(Findings& findings, Model& m, const std::ostringstream& console,
                           const std::function<void()>& judge) {
    InputUnit& in = m.io.input(kAdditionalFile);
    int32_t IZANF = 0;
    bool going = stage(findings, console, [&] { ZUSDAT(m, IZANF); });
    if (going && in.trace().ended && m.inf1.NZSCHR > 0)
        findings.warning({list_message("Zusatzeingabedatei ohne Wertesatz - der Lauf endet vor dem ersten Zeitschritt"),
                          failure_place(in)});
    judge();
    while (going && !in.trace().ended) going = stage(findings, console, [&] { ZUSDAT(m, IZANF); });
}

}  // namespace

CheckReport check_deck(Model& m, const RunOptions& options) {
    Findings findings(options.input_file);
    std::ostringstream console;
    std::istringstream keyboard;  // nobody answers: a check asks nothing
    ConsoleUnit& con = m.io.console();
    const ConsoleUnit::Streams own = con.streams();
    con.attach(console, keyboard, false);
    m.io.begin_check(&findings);

    ReadProgress progress;
    preset_state(m);
    progress.control_cards = stage(findings, console, [&] { INFORM(m, options); });
    const auto judge = [&] { judge_model(findings, m, progress); };
    if (progress.control_cards) {
        const int32_t IEINGA = m.inf1.IEINGA;
        progress.fields = IEINGA >= 0 && stage(findings, console, [&] {
                              if (IEINGA > 0) DATEIN(m);
                              if (IEINGA == 0) KURZIN(m);
                          });
        if (progress.fields && IEINGA == 0)
            stage(findings, console, [&] {
                for (int32_t n = 1; n <= m.inf3.NUMW; ++n) UMWAND(m, n, -1);
            });
        if (m.inf4.IWARMI == 1) stage(findings, console, [&] { WARMIN(m); });
        if (m.inf3.IZUSAT == 1 && m.io.is_open(kAdditionalFile)) {
            check_additional_data(findings, m, console, judge);
        } else {
            judge();
        }
    }

    con.attach(own);
    return findings.report();
}

}  // namespace gruv
