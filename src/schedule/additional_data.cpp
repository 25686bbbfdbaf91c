// The additional data file: at its head a fixed list of changes (keyword,
// node indices, range selector), then one record of new values per call,
// applied through the value conversion. Its end ends the run.
#include <string>

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
constexpr std::size_t kFormatColumns = 20;

//! A damaged head ends the run with the general read-failure report.
void check_head(Model& m, CardOutcome outcome, int block) {
    input_cards::check_general(m, outcome, "in Block " + std::to_string(block) + " der Zusatzeingabedatei");
}

//! Reads the head: the number of changes, the changes themselves (appended
//! to the value-conversion table behind the entries of the main input) and
//! the format of the value records.
void read_head(Model& m, InputUnit& in) {
    static const FormatProgram& too_many =
        fixed_format("(' Es sollen ',I4,' Werte umgewandelt werden - Feld IWERT',' zu klein dimensioniert')");
    const int32_t NUMW = m.inf3.NUMW;
    int32_t& NZUS = m.inf3.NZUS;
    auto& z = m.izy1;

    // Block 1: the number of changes.
    const FormatProgram* f = nullptr;
    check_head(m, read_format_card(in, f), 1);
    check_head(m, read_data_items(in, *f, NZUS), 1);
    if (NZUS < 0) {
        write_list(m.io.console(), "negative Anzahl von Aenderungen in Block 1 der Zusatzeingabedatei");
        stop_run(m, kExitInput, "Bitte Datei ueberpruefen!");
    }
    if (NUMW + NZUS > IWERT) {
        write(m.io.console(), too_many, NUMW + NZUS);
        ZEITCL(m);
        stop_run(m, kExitInput);
    }

    // Block 2: one change per record.
    check_head(m, read_format_card(in, f), 2);
    for (int32_t N = NUMW + 1; N <= NUMW + NZUS; ++N) {
        check_head(m, read_data_items(in, *f, in_chars(m.zyk2.SWORT(N).data(), 4), z.IORT(N), z.JORT(N), z.KORT(N),
                                      z.IBER(N)),
                   2);
        m.zusd.WLETZT(N) = 0.0f;
        m.zusd.IANGEW(N) = 0;
    }
    CHECKU(m, 0);
    check_entry_nodes(m, 0);

    // Block 3: the format of the value records, kept as text (a format that
    // cannot be parsed makes every value record unreadable), then a heading line.
    std::string line;
    if (!in.next_record(line)) check_head(m, CardOutcome::EndOfFile, 3);
    line.resize(kFormatColumns, ' ');
    m.zusd.ZFORM = line;
    std::string heading;
    if (!in.next_record(heading)) check_head(m, CardOutcome::EndOfFile, 3);
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
    if (m.inf2.IBILD >= 1) ROUTIN(m, "ZUSDAT");
    InputUnit& in = m.io.input(kAdditionalFile);
    if (IZANF == 0) {
        read_head(m, in);
        IZANF = 1;
    }

    // One value record: a new value for every change, in the order of the head.
    const int32_t NUMW = m.inf3.NUMW;
    const int32_t NZUS = m.inf3.NZUS;
    // Without changes the read still passes one record.
    const FormatProgram* f = in.formats().find(m.zusd.ZFORM);
    const InItem values[] = {in_array(m.zyk1.WERT.data() + NUMW, NZUS)};
    const ReadOutcome r = f != nullptr ? read_records(in, *f, values) : ReadOutcome::BadData;
    if (r == ReadOutcome::End) final_output(m);
    if (r == ReadOutcome::BadData) {
        write(m.io.console(), bad_record);
        ZEITCL(m);
        stop_run(m, kExitInput);
    }

    // A change whose value is the marker keeps the state it has.
    for (int32_t n = 1; n <= NZUS; ++n)
        if (m.zyk1.WERT(NUMW + n) != m.par2.LEERW) UMWAND(m, NUMW + n, -1);
}

}  // namespace gruv
