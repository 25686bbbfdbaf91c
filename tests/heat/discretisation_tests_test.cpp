// The checks before the time loop: grid Peclet number and the explicit
// conduction time-step limit.
#include <gtest/gtest.h>

#include <string>

#include "flow/flow.hpp"
#include "heat/heat_fixture.hpp"
#include "state/stop.hpp"

namespace gruv {
namespace {

using test::HeatModel;

//! 3 x 3 x nz nodes 10 m apart with one fast face at node (2,1,1), traced.
struct FastFace : HeatModel {
    FastFace(int nz, int idstop) : HeatModel(3, 3, nz, 10.0f, 10.0f, 10.0f) {
        m.phys.GWVX(2, 1, 1) = 1.0E-5f;
        m.phys.GWVY(1, 2, 2) = 1.0E-9f;
        m.inf2.IBILD = 1;
        m.inf4.IDSTOP = idstop;
    }
};

TEST(Dktest, WarnsNamesTheNodeAndStopsWithIdstop2) {
    FastFace h(3, 1);
    DKTEST(h.m);
    // a = 0.57 / 1000 / 4200 m2/s; P = 1E-5 * 10 / a = 736.8. Once on the
    // console (IBILD >= 1), once after two empty lines on the listing, which
    // is the console here; the run goes on.
    const std::string warning =
        " Achtung!!!     Gitter-Peclet-Zahl an Knoten (  2  1  1) mit    736.842 zu gross\n"
        " Abhilfe:  -->  Knotenabstaende verkleinern\n";
    EXPECT_EQ(h.text(), std::string(16, ' ') + "********* Subroutine DKTEST **********\n" + warning + "\n\n" + warning);

    FastFace stop(3, 2);
    try {
        DKTEST(stop.m);
        FAIL() << "the run goes on";
    } catch (const RunStopped& s) {
        EXPECT_EQ(s.status, kExitAborted);
    }
    const std::string out = stop.text();
    EXPECT_NE(out.find(warning + std::string(16, ' ') + "IDSTOP aktiv  -  Simulation vorzeitig abgebrochen\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Gesamtrechenzeit:"), std::string::npos);
}

TEST(Dktest, PassesSlowFlowSingleLayersAndDryModels) {
    FastFace slow(3, 2);
    slow.m.phys.GWVX(2, 1, 1) = 1.0E-8f;  // P = 0.74
    DKTEST(slow.m);
    EXPECT_NE(slow.text().find(std::string(16, ' ') + "Diskretisierungsvorschriften wurden eingehalten\n"),
              std::string::npos);

    FastFace layer(1, 2);  // one layer: never tested
    DKTEST(layer.m);
    EXPECT_EQ(layer.text().find("Achtung"), std::string::npos);

    // Without water properties (material data switched off) the water
    // carries no heat: no Peclet number, no division by zero, no stop.
    FastFace dry(3, 2);
    dry.m.par3 = PAR3{};
    DKTEST(dry.m);
    EXPECT_NE(dry.text().find(" Gitter-Peclet-Test nicht moeglich"), std::string::npos) << dry.text();
}

TEST(Dztest, ExplicitConductionLimit) {
    auto limit = [](HeatModel& h) {
        DZTEST(h.m, 10);
        return h.text();
    };
    // 1 m cells of a dry rock: D = rho*c/(2*lambda) = 5.0E5 s/m2, times 1 m2.
    HeatModel rock(4, 3, 2);
    EXPECT_EQ(limit(rock), " Zeitschrittlaenge darf max.   8333.3 Minuten betragen\n");
    // A node that conducts nothing is skipped; the other still sets the limit.
    HeatModel skipped(2, 1, 1);
    skipped.m.phys.WLKG(1, 1, 1) = 0.0f;
    skipped.m.phys.PHIG(1, 1, 1) = 0.5f;
    skipped.m.par3.LAMW = skipped.m.par3.LAML = 0.0f;
    EXPECT_EQ(limit(skipped), " Zeitschrittlaenge darf max.   8333.3 Minuten betragen\n");
    // No qualifying node: the limit stays 1E10 s and overflows its field.
    HeatModel none(1, 1, 1);
    none.m.phys.WLKG(1, 1, 1) = 0.0f;
    EXPECT_EQ(limit(none), " Zeitschrittlaenge darf max. ******** Minuten betragen\n");
}

}  // namespace
}  // namespace gruv
