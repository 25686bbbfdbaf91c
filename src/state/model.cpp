#include "state/model.hpp"

#include <iostream>

#include "records/records.hpp"
#include "state/stop.hpp"
#include "state/trace.hpp"

namespace gruv {

// Profile tables: title and row format of table N, applied at run time.
const std::array<std::string, 8> FORM::PRTITL{
    "(/,' Waermekapazitaet des Gesteins:'         )",
    "(/,' Waermeleitfaehigkeit des Gesteins:'     )",
    "(/,' Dichte des Gesteins:'                   )",
    "(/,' Gesamtporositaet des Gesteins: (0 - 1)' )",
    "(/,' Nutzporositaet des Gesteins: (0 - 1)'   )",
    "(/,' Waermeproduktion in Watt/cbm:'          )",
    "(/,' Waermefluss - Flags:'                   )",
    "(/,' Grundwasserfluss - Flags:'              )",
};
const std::array<std::string, 8> FORM::PRFORM{
    "(F6.2,10F6.0,/,9(6X,10F6.0,/))",
    "(F6.2,10F6.2,/,9(6X,10F6.2,/))",
    "(F6.2,10F6.2,/,9(6X,10F6.2,/))",
    "(F6.2,10F6.2,/,9(6X,10F6.2,/))",
    "(F6.2,10F6.2,/,9(6X,10F6.2,/))",
    "(F6.2,10F6.2,/,9(6X,10F6.2,/))",
    "(F6.2,10I6  ,/,9(6X,10I6  ,/))",
    "(F6.2,10I6  ,/,9(6X,10I6  ,/))",
};

void ROUTIN(Model& m, std::string_view name) {
    static const FormatProgram& f = fixed_format("(T17,'********* Subroutine ',A6,' **********')");
    write(m.io.console(), f, name);
}

void stop_run(Model& m, int status, std::string_view stop_text) {
    if (!stop_text.empty()) m.io.console().put_record(stop_text);
    throw RunStopped{status};
}

void AUFNUL(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "AUFNUL");
    const auto& d = m.ndim;
    auto& c = m.koef;
    auto& p = m.phys;
    for (int k = 1; k <= d.NZ; ++k)
        for (int j = 1; j <= d.NY; ++j)
            for (int i = 1; i <= d.NX; ++i) {
                c.KDIA(i, j, k) = 0.0f;
                c.KSPE(i, j, k) = 0.0f;
                c.RSEI(i, j, k) = 0.0f;
                c.KOXM(i, j, k) = 0.0f;
                c.KOXP(i, j, k) = 0.0f;
                c.KOYM(i, j, k) = 0.0f;
                c.KOYP(i, j, k) = 0.0f;
                c.KOZM(i, j, k) = 0.0f;
                c.KOZP(i, j, k) = 0.0f;
                p.KFMX(i, j, k) = 0.0f;
                p.KFMY(i, j, k) = 0.0f;
                p.KFMZ(i, j, k) = 0.0f;
            }
    for (int n = 1; n <= 6; ++n) {
        c.FKO(n) = 0.0f;
        c.AKO(n) = 0.0f;
        c.PKO(n) = 1.0f;
    }
}

void KOPIER(Model& m, int32_t MODE) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "KOPIER");
    const auto& d = m.ndim;
    auto copy = [&d](const auto& from, auto& to) {
        for (int k = 1; k <= d.NZ; ++k)
            for (int j = 1; j <= d.NY; ++j)
                for (int i = 1; i <= d.NX; ++i) to(i, j, k) = from(i, j, k);
    };
    if (MODE == 1) {
        copy(m.temp.TEMP, m.temp.TEMPA);
    } else {
        copy(m.wpot.WPOT, m.wpot.WPOTA);
    }
}

}  // namespace gruv
