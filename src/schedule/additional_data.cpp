// The additional data file: at its head a fixed list of changes (keyword,
// node indices, range selector), then one record of new values per call,
// applied through the value conversion. Its end ends the run.
#include <string>
#include <vector>

#include "control/control.hpp"
#include "heat/heat.hpp"
#include "input/input.hpp"
#include "input/input_cards.hpp"
#include "output/output.hpp"
#include "records/card_reader.hpp"
#include "schedule/schedule.hpp"
#include "state/stop.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

constexpr int32_t kAdditionalFile = 8;
constexpr int32_t kFormatColumns = 20;

//! A damaged head ends the run with the general read-failure report.
void check_head(Model& m, InputUnit& in, CardOutcome outcome, int block) {
    input_cards::check_general(m, in, outcome, "in Block " + std::to_string(block) + " der Zusatzeingabedatei");
}

//! Reads the head: the number of changes, the changes themselves (appended
//! to the value-conversion table behind the entries of the main input) and
//! the format of the value records. Returns the place of that format line.
SourcePlace read_head(Model& m, InputUnit& in) {
    static const FormatProgram& too_many =
        fixed_format("(' Es sollen ',I4,' Werte umgewandelt werden - Feld IWERT',' zu klein dimensioniert')");
    const int32_t NUMW = m.inf3.NUMW;
    int32_t& NZUS = m.inf3.NZUS;
    auto& z = m.izy1;

    // Block 1: the number of changes. Without it (or without the changes of
    // block 2) a check cannot read the rest of the file and ends its reading.
    DeckCheck* const checking = in.check();
    const FormatProgram* f = nullptr;
    check_head(m, in, read_format_card(in, f), 1);
    if (f == nullptr) stop_run(m, kExitInput);
    const CardOutcome count = read_data_items(in, *f, NZUS);
    check_head(m, in, count, 1);
    if (count != CardOutcome::Read) stop_run(m, kExitInput);
    if (NZUS < 0) {
        const Finding finding{list_message("negative Anzahl von Aenderungen in Block 1 der Zusatzeingabedatei"),
                              field_place(in, 0)};
        if (!collect(checking, finding)) write_finding(m.io.console(), finding);
        stop_run(m, kExitInput, checking != nullptr ? "" : "Bitte Datei ueberpruefen!");
    }
    if (NUMW + NZUS > IWERT) {
        const Finding finding{message_records(too_many, NUMW + NZUS), field_place(in, 0)};
        if (!collect(checking, finding)) {
            write_finding(m.io.console(), finding);
            ZEITCL(m);
        }
        stop_run(m, kExitInput);
    }

    // Block 2: one change per record.
    check_head(m, in, read_format_card(in, f), 2);
    if (f == nullptr) stop_run(m, kExitInput);
    std::vector<EntryPlace> places;  // where each change stands, for the checks below
    for (int32_t N = NUMW + 1; N <= NUMW + NZUS; ++N) {
        check_head(
            m, in,
            read_data_items(in, *f, in_chars(m.zyk2.SWORT(N).data(), 4), z.IORT(N), z.JORT(N), z.KORT(N), z.IBER(N)),
            2);
        places.push_back(entry_place(in, N, 1));
        if (checking != nullptr) checking->entry_read(N, places.back().keyword);
        m.zusd.WLETZT(N) = 0.0f;
        m.zusd.IANGEW(N) = 0;
    }
    CHECKU(m, 0, places);
    check_entry_nodes(m, 0, places);

    // Block 3: the format of the value records, kept as text (a format that
    // cannot be parsed makes every value record unreadable), then a heading line.
    std::string line;
    check_head(m, in, read_text_line(in, line), 3);
    const SourcePlace format_line = columns_place(in, 0, 1, kFormatColumns);
    line.resize(kFormatColumns, ' ');
    m.zusd.ZFORM = line;
    std::string heading;
    check_head(m, in, read_text_line(in, heading), 3);
    return format_line;
}

//! The end of the file: the last results, then the end of the run.
[[noreturn]] void final_output(Model& m) {
    static const FormatProgram& end_reached =
        fixed_format("(' Ende der optionalen Eingabedatei erreicht -',' Bearbeitung abgebrochen')");
    if (m.inf4.IMODE <= 1) TMPDRU(m);
    if (m.inf4.IMODE > 0) PIEDRU(m);
    ISODRV(m);
    if (m.inf3.IENERG == 1) ENERGI(m);
    if (m.inf4.IWARMO == 1) WARMOU(m);
    // The result files are complete before the run says that it ends.
    m.io.close_outputs(m.inf2.IOUT);
    write(m.io.console(), end_reached);
    ZEITCL(m);
    stop_run(m, kExitNormal);
}

}  // namespace

void ZUSDAT(Model& m, int32_t& IZANF) {
    static const FormatProgram& bad_record = fixed_format("(' Fehler in der Datenstruktur der Zusatzdaten')");
    static const FormatProgram& not_finite = fixed_format("(' nicht endlicher Zahlenwert in den Zusatzdaten')");
    if (m.inf2.IBILD >= 1) ROUTIN(m, "ZUSDAT");
    InputUnit& in = m.io.input(kAdditionalFile);
    DeckCheck* const checking = in.check();
    const bool first = IZANF == 0;
    SourcePlace format_line;
    if (IZANF == 0) {
        format_line = read_head(m, in);
        IZANF = 1;
    }

    // One value record: a new value for every change, in the order of the head.
    const int32_t NUMW = m.inf3.NUMW;
    const int32_t NZUS = m.inf3.NZUS;
    // Without changes the read still passes one record. A format that cannot
    // be parsed stops the first call, which has just read it.
    const FormatProgram* f = in.formats().find(m.zusd.ZFORM);
    const InItem values[] = {in_array(m.zyk1.WERT.data() + NUMW, NZUS)};
    const CardOutcome r = f != nullptr ? read_card_data(in, *f, values) : CardOutcome::BadData;
    if (r == CardOutcome::EndOfFile) {
        if (checking != nullptr) return;  // a check ends with the last record; the run ends here
        final_output(m);
    }
    const auto entry = [&](int32_t element) {
        const int32_t n = element + 1;  // the change the value belongs to
        if (n > NZUS) return std::string();
        const Word4& w = m.zyk2.SWORT(NUMW + n);
        return "Eintrag " + std::to_string(NUMW + n) + " (" + std::string(w.data(), w.size()) + ")";
    };
    if (checking != nullptr && f != nullptr) {
        // Values judged as set: the marker and added values (negative selectors) are not.
        for (int32_t n = 1; n <= NZUS; ++n) {
            const std::string_view key(m.zyk2.SWORT(NUMW + n).data(), 4);
            if (m.zyk1.WERT(NUMW + n) != m.par2.LEERW && (m.izy1.IBER(NUMW + n) >= 0 || key == "TEMP"))
                checking->values_read(key, in, 0, n - 1, gruv::in(m.zyk1.WERT(NUMW + n)), entry);
        }
    }
    if (r != CardOutcome::Read) {
        const std::vector<std::string> message =
            message_records(r == CardOutcome::NotFinite ? not_finite : bad_record);
        // A check collects every failure of the record and reads the next
        // one; without a format there is no record it could read.
        if (f == nullptr && collect(checking, {message, format_line})) stop_run(m, kExitInput);
        if (f != nullptr && collect_failures(in, message, entry)) return;
        SourcePlace place = f != nullptr ? failure_place(in) : format_line;
        if (f != nullptr) place.context = entry(failed_element(in));
        write_finding(m.io.console(), {message, place});
        ZEITCL(m);
        stop_run(m, kExitInput);
    }

    // A change whose value is the marker keeps the state it has. A check
    // applies only the first record, the state the run starts from.
    if (checking != nullptr && !first) return;
    for (int32_t n = 1; n <= NZUS; ++n)
        if (m.zyk1.WERT(NUMW + n) != m.par2.LEERW) UMWAND(m, NUMW + n, -1);
}

}  // namespace gruv
