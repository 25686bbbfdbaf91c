// Simulated time and wall clock.
#include <algorithm>
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

//! A count of weeks beyond INTEGER*4 is held at its limit, which no I field
//! of the time lines can show: it prints as asterisks.
int32_t field_value(int64_t v) {
    using limits = std::numeric_limits<int32_t>;
    return static_cast<int32_t>(std::clamp<int64_t>(v, limits::min(), limits::max()));
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
    // not finite or not below 2^63 s fills every number field of its line
    // with asterisks (an I field cannot hold INTEGER*4's largest value).
    const double t = static_cast<double>(m.par1.ZEIT);
    constexpr int32_t kNoFit = std::numeric_limits<int32_t>::max();
    int32_t weeks = kNoFit, days = kNoFit, hrs = kNoFit, min = kNoFit, sec = kNoFit, nit = kNoFit;
    if (std::isfinite(t) && std::fabs(t) < 9.2233720368547758e18) {
        const double t1 = t / 60.0, t2 = t1 / 60.0, t3 = t2 / 24.0, t4 = t3 / 7.0;
        const auto it = static_cast<int64_t>(t), i1 = static_cast<int64_t>(t1), i2 = static_cast<int64_t>(t2),
                   i3 = static_cast<int64_t>(t3), i4 = static_cast<int64_t>(t4);
        sec = static_cast<int32_t>(it - 60 * i1);
        min = static_cast<int32_t>(i1 - 60 * i2);
        hrs = static_cast<int32_t>(i2 - 24 * i3);
        days = static_cast<int32_t>(i3 - 7 * i4);
        weeks = field_value(i4);
        nit = m.inf2.NIT;
    }
    OutputUnit& u = m.io.unit(IUNIT);
    if (IUNIT > 1) {
        write(u, heading, weeks, days, hrs, min, sec);
    } else if (IBILD > 0) {
        write(u, traced, weeks, days, hrs, min, sec);
    } else {
        write(u, progress, weeks, days, hrs, min, sec, nit);
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
