// Simulated time and wall clock.
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>

#include "control/control.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {
constexpr int32_t kHundredthsPerDay = 8640000;

//! An integer field that cannot hold v prints as asterisks; so does any
//! value beyond INTEGER*4.
int32_t field_value(int64_t v) {
    return v > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(v);
}
}  // namespace

int32_t clock_hundredths() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&secs, &local);
    const auto since_second = now - std::chrono::system_clock::from_time_t(secs);
    const auto hundredths = std::chrono::duration_cast<std::chrono::milliseconds>(since_second).count() / 10;
    return ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 100 + static_cast<int32_t>(hundredths);
}

void account_clock(Model& m, bool reset_reference) {
    const int32_t now = clock_hundredths();
    int32_t elapsed = now - m.inf3.IUHR;
    if (now < m.inf3.IUHR) elapsed += kHundredthsPerDay;  // midnight passed
    m.par2.RECHZT += static_cast<float>(elapsed) / 100.0f / 60.0f;
    if (reset_reference) m.inf3.IUHR = now;
}

void ZEITBE(Model& m, int32_t IUNIT) {
    static const FormatProgram& heading = fixed_format(
        "(/,' Temperaturverteilung nach ',I3,' Wochen ',I2,' Tagen ',I2,' Stunden ',I2,' Minuten ',I2,"
        "' Sekunden',/)");
    static const FormatProgram& traced = fixed_format(
        "(' Abgelaufene Zeit: ',I3,' Wochen ',I2,' Tagen ',I2,' Stunden ',I2,' Minuten ',I2,' Sekunden')");
    static const FormatProgram& progress = fixed_format(
        "('+',' Abgelaufene Zeit: ',I3,' Wochen ',I2,' Tagen ',I2,' Stunden ',I2,' Min. ',I2,' Sek. NIT = ',I3,"
        "' ')");
    const int32_t IBILD = m.inf2.IBILD;
    if (IBILD > 0) ROUTIN(m, "ZEITBE");
    if (IUNIT == 1 && IBILD < 0) return;

    // The breakdown in 64-bit integers from double quotients; a time that is
    // not finite or beyond 2^63 s prints asterisks in every field.
    const double t = static_cast<double>(m.par1.ZEIT);
    int64_t sec, min, hrs, days, weeks;
    if (!std::isfinite(t) || std::fabs(t) >= 9.2233720368547758e18) {
        sec = min = hrs = days = weeks = std::numeric_limits<int64_t>::max();
    } else {
        const double t1 = t / 60.0, t2 = t1 / 60.0, t3 = t2 / 24.0, t4 = t3 / 7.0;
        const auto it = static_cast<int64_t>(t), i1 = static_cast<int64_t>(t1), i2 = static_cast<int64_t>(t2),
                   i3 = static_cast<int64_t>(t3), i4 = static_cast<int64_t>(t4);
        sec = it - 60 * i1;
        min = i1 - 60 * i2;
        hrs = i2 - 24 * i3;
        days = i3 - 7 * i4;
        weeks = i4;
    }
    OutputUnit& u = m.io.unit(IUNIT);
    if (IUNIT > 1) {
        write(u, heading, field_value(weeks), field_value(days), field_value(hrs), field_value(min), field_value(sec));
    } else if (IBILD > 0) {
        write(u, traced, field_value(weeks), field_value(days), field_value(hrs), field_value(min), field_value(sec));
    } else {
        write(u, progress, field_value(weeks), field_value(days), field_value(hrs), field_value(min), field_value(sec),
              m.inf2.NIT);
    }
}

void ZEITCL(Model& m) {
    static const FormatProgram& total = fixed_format("(T16,' Gesamtrechenzeit: ',F12.4,' Minuten')");
    if (m.inf2.IBILD > 0) ROUTIN(m, "ZEITCL");
    account_clock(m, false);
    write(m.io.unit(m.inf2.IOUT), total, m.par2.RECHZT);
    write(m.io.console(), total, m.par2.RECHZT);
}

}  // namespace gruv
