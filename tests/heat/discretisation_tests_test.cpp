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

//! 3 x 3 x 3 nodes 10 m apart with one fast face at node (2,1,1).
void fast_face(HeatModel& h) {
    h.m.phys.GWVX(2, 1, 1) = 1.0E-5f;
    h.m.phys.GWVY(1, 2, 2) = 1.0E-9f;
    h.m.inf2.IBILD = 1;
}

TEST(Dktest, WarnsAndNamesTheNode) {
    HeatModel h(3, 3, 3, 10.0f, 10.0f, 10.0f);
    fast_face(h);
    h.m.inf4.IDSTOP = 1;
    DKTEST(h.m);
    // a = 0.57 / 1000 / 4200 m2/s; P = 1E-5 * 10 / a = 736.8.
    const std::string warning =
        " Achtung!!!     Gitter-Peclet-Zahl an Knoten (  2  1  1) mit    736.842 zu gross\n"
        " Abhilfe:  -->  Knotenabstaende verkleinern\n";
    const std::string out = h.text();
    // Once on the console (IBILD >= 1), once after two empty lines on the
    // listing, which is the console here.
    EXPECT_EQ(out, std::string(16, ' ') + "********* Subroutine DKTEST **********\n" + warning + "\n\n" + warning);
}

TEST(Dktest, StopsWithIdstop2) {
    HeatModel h(3, 3, 3, 10.0f, 10.0f, 10.0f);
    fast_face(h);
    h.m.inf4.IDSTOP = 2;
    try {
        DKTEST(h.m);
        FAIL() << "the run goes on";
    } catch (const RunStopped& stop) {
        EXPECT_EQ(stop.status, kExitAborted);
    }
    const std::string out = h.text();
    EXPECT_NE(out.find("                IDSTOP aktiv  -  Simulation vorzeitig abgebrochen\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Gesamtrechenzeit:"), std::string::npos);
}

TEST(Dktest, PassesSlowFlowAndSingleLayers) {
    HeatModel slow(3, 3, 3, 10.0f, 10.0f, 10.0f);
    slow.m.inf2.IBILD = 1;
    slow.m.phys.GWVX(1, 1, 1) = 1.0E-8f;  // P = 0.74
    slow.m.inf4.IDSTOP = 2;
    DKTEST(slow.m);
    EXPECT_NE(slow.text().find("                Diskretisierungsvorschriften wurden eingehalten\n"), std::string::npos);

    HeatModel layer(3, 3, 1, 10.0f, 10.0f, 10.0f);  // one layer: never tested
    fast_face(layer);
    layer.m.inf4.IDSTOP = 2;
    DKTEST(layer.m);
    EXPECT_EQ(layer.text().find("Achtung"), std::string::npos);
}

TEST(Dktest, WithoutWaterPropertiesThereIsNothingToTest) {
    HeatModel h(3, 3, 3, 10.0f, 10.0f, 10.0f);
    fast_face(h);
    h.m.inf4.IDSTOP = 2;
    h.m.par3 = PAR3{};  // material data switched off
    DKTEST(h.m);        // no stop, no division by zero
    EXPECT_NE(h.text().find(" Gitter-Peclet-Test nicht moeglich"), std::string::npos) << h.text();
}

TEST(Dztest, ExplicitConductionLimit) {
    // 1 m cells of a dry rock: D = rho*c/(2*lambda) = 5.0E5 s/m2, times 1 m2.
    HeatModel h(4, 3, 2);
    DZTEST(h.m, 10);
    EXPECT_EQ(h.text(), " Zeitschrittlaenge darf max.   8333.3 Minuten betragen\n");

    // A node that conducts nothing is skipped; the others still set the limit.
    HeatModel g(2, 1, 1);
    g.m.phys.WLKG(1, 1, 1) = 0.0f;
    g.m.phys.PHIG(1, 1, 1) = 0.5f;
    g.m.par3.LAMW = 0.0f;
    g.m.par3.LAML = 0.0f;
    DZTEST(g.m, 1);
    EXPECT_EQ(g.text(), " Zeitschrittlaenge darf max.   8333.3 Minuten betragen\n");

    // No qualifying node: the limit stays 1E10 s and overflows its field.
    HeatModel none(1, 1, 1);
    none.m.phys.WLKG(1, 1, 1) = 0.0f;
    DZTEST(none.m, 1);
    EXPECT_EQ(none.text(), " Zeitschrittlaenge darf max. ******** Minuten betragen\n");
}

}  // namespace
}  // namespace gruv
