// The plant test and the setpoint step against the simulator's plant (gain 1, time constant 2 s),
// fed at 10 Hz as the window's poll feeds them; what the module received tells what was restored.
#include "app/TLX1Analyse.h"
#include "driver/okvtlx1.h"
#include "sim/SimProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdlib.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using tlx1sim::SimProcess;
using Rahmen = std::vector<std::string>;

constexpr int kPort = 1;

class Analyse : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The tests' writes go into a service record of their own, never the user's.
        setenv("XDG_STATE_HOME", zustand_.c_str(), 1);
        ASSERT_EQ(OKVTLX1_Open(kPort), 0);
        ASSERT_EQ(OKVTLX1_Timeout(kPort, 1.0), 0);
    }
    void TearDown() override
    {
        OKVTLX1_Close(kPort);
        std::filesystem::remove_all(zustand_);
    }
    const std::string zustand_ = testing::TempDir() + "tlx1analyse_state_" + std::to_string(getpid());

    // Polls istwert1 every 0.1 s into `punkt` until it returns false; the poll's code when it fails.
    template <class Punkt>
    int Abfragen(Punkt punkt, int hoechstens = 600)
    {
        for (int i = 0; i < hoechstens; ++i) {
            double ist = 0;
            const double t = Analyse_Jetzt();
            if (const int rc = OKVTLX1_ParameterLesen(kPort, 1, "istwert1", &ist); rc != 0)
                return rc;
            if (!punkt((t + Analyse_Jetzt()) / 2, ist))
                return 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 1;
    }

    // What the module received apart from the polls of the actual value. The simulator logs a frame
    // before it takes its next command, so after the ping's answer the last write is in the log too.
    Rahmen OhneAbfragen()
    {
        sim.command("ping");
        Rahmen r;
        for (const std::string &f : sim.received())
            if (f != "#1V5R")
                r.push_back(f);
        return r;
    }

    SimProcess sim{{}, kPort};
};

// From rest at 0 V to 4 V: the model is the simulator's plant, the module is back in mode 1 with
// its output as before, and nothing but the test's own frames went out besides the polls.
TEST_F(Analyse, PlantTestFindsTheSimulatorsPlantAndRestores)
{
    Streckentest t;
    ASSERT_EQ(Streckentest_Beginnen(&t, kPort, 1, 4.0, 30.0), 0);
    EXPECT_EQ(Abfragen([&](double zeit, double ist) {
                  const int phase = Streckentest_Punkt(&t, zeit, ist);
                  return phase == ANALYSE_VORLAUF || phase == ANALYSE_AUFNAHME;
              }),
              0);
    ASSERT_EQ(t.phase, ANALYSE_FERTIG);
    EXPECT_EQ(t.modell.zustand, MODELL_OK);
    EXPECT_NEAR(t.modell.verstaerkung, 1.0, 0.05);
    EXPECT_NEAR(t.modell.zeitkonstante, 2.0, 0.2);
    EXPECT_LT(t.modell.totzeit, 0.1);
    EXPECT_LT(t.punkte.back().zeit - t.sprungzeit, 16.0);  // ended once settled, not at 30 s
    EXPECT_EQ(OhneAbfragen(), (Rahmen{"#1M1R", "#1V1R", "#1L1R", "#1H1R", "#1V1W0.000", "#1M1W3", "#1V1W4.000",
                                      "#1V1W0.000", "#1M1W1"}));
}

// A failure in the middle restores mode and output before it is reported: a lost poll (the caller
// breaks off), a refused step; a refused start changes nothing.
TEST_F(Analyse, FailuresRestoreModeAndOutput)
{
    sim.command("set 1 betriebsart1 3");
    sim.command("set 1 stellgroesse1 2.5");
    sim.command("set 1 max1 8");
    const struct {
        const char *name;
        const char *fehler;  // switched on once the test reached `phase`
        int phase;
        double stellNeu;
        int ende;
        Rahmen rahmen;  // after the reads of mode, output and limits
    } faelle[] = {
        {"poll fails after the step",
         "fault nak 1 istwert1",
         ANALYSE_AUFNAHME,
         5.0,
         ANALYSE_ABGEBROCHEN,
         {"#1V1W2.500", "#1M1W3", "#1V1W5.000", "#1V1W2.500", "#1M1W3"}},
        {"step refused",
         "fault nak 1 stellgroesse1",
         ANALYSE_VORLAUF,
         5.0,
         ANALYSE_FEHLER,
         {"#1V1W2.500", "#1M1W3", "#1V1W5.000", "#1V1W2.500", "#1M1W3"}},
        {"beyond max1", "", ANALYSE_AUS, 9.0, ANALYSE_AUS, {}},
    };
    for (const auto &f : faelle) {
        SCOPED_TRACE(f.name);
        sim.command("fault none");
        sim.clearReceived();
        Streckentest t;
        const int rc = Streckentest_Beginnen(&t, kPort, 1, f.stellNeu, 30.0);
        if (f.phase == ANALYSE_AUS) {
            EXPECT_EQ(rc, ANALYSE_GRENZEN);
            EXPECT_NE(AnalyseText(rc), nullptr);
        }
        bool eingeschaltet = false;
        const int poll = Abfragen(
            [&](double zeit, double ist) {
                if (t.phase == f.phase && !eingeschaltet && *f.fehler != 0) {
                    sim.command(f.fehler);
                    eingeschaltet = true;
                }
                const int phase = Streckentest_Punkt(&t, zeit, ist);
                return phase == ANALYSE_VORLAUF || phase == ANALYSE_AUFNAHME;
            },
            50);
        if (poll != 0) {
            EXPECT_EQ(Streckentest_Abbrechen(&t), 0);
        }
        EXPECT_EQ(t.phase, f.ende);
        if (f.ende == ANALYSE_FEHLER) {
            EXPECT_EQ(t.fehler, -402040);                  // the module refused the step ...
            EXPECT_EQ(t.fehlerWiederherstellen, -402040);  // ... and the old output: said, not hidden
        }
        Rahmen erwartet = {"#1M1R", "#1V1R", "#1L1R", "#1H1R"};
        erwartet.insert(erwartet.end(), f.rahmen.begin(), f.rahmen.end());
        EXPECT_EQ(OhneAbfragen(), erwartet);
        sim.command("fault none");
        EXPECT_EQ(sim.command("get 1 betriebsart1"), "3");
    }
}

// The setpoint step: refused outside mode 1 without a write; cut short, the old setpoint returns.
TEST_F(Analyse, SetpointStepRefusesOtherModesAndRestoresWhenCutShort)
{
    Sollwertsprung s;
    sim.command("set 1 betriebsart1 2");
    EXPECT_EQ(Sollwertsprung_Beginnen(&s, kPort, 1, 5.0, 30.0, 0.0), ANALYSE_BETRIEBSART);
    EXPECT_EQ(OhneAbfragen(), (Rahmen{"#1M1R"}));

    sim.command("set 1 betriebsart1 1");
    sim.command("set 1 soll1 1.5");
    sim.clearReceived();
    ASSERT_EQ(Sollwertsprung_Beginnen(&s, kPort, 1, 5.0, 30.0, 0.0), 0);
    EXPECT_EQ(Sollwertsprung_Punkt(&s, Analyse_Jetzt(), 0.2), ANALYSE_AUFNAHME);
    EXPECT_EQ(Sollwertsprung_Abbrechen(&s), 0);
    EXPECT_EQ(s.phase, ANALYSE_ABGEBROCHEN);
    EXPECT_EQ(s.verfolgung.ergebnis.zustand, SPRUNG_VERBINDUNG);
    EXPECT_EQ(OhneAbfragen(), (Rahmen{"#1M1R", "#1S1R", "#1S1W5.000", "#1S1W1.500"}));
}

}  // namespace
