// The chart's side of the program against the simulator's plant (gain 1, time constant 2 s): the
// figures of the setpoint steps the operator writes, the history in volts under a new scaling, the
// recordings, and the plant test run from the poll with its proposal.
#include "app/TLX1Analyse.h"
#include "app/TLX1Diagramm.h"
#include "app/TLX1Strecke.h"
#include "tests/app_device/DeviceFixture.h"

#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>

namespace {

// Polls as the timer does, every 0.1 s, until `done` holds or `most` ticks have passed.
template <class Done>
void Ticks(int most, Done done)
{
    for (int i = 0; i < most && !done(); ++i) {
        UiTest_TimerTick();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
void Ticks(int n)
{
    Ticks(n, [] { return false; });
}

std::vector<std::string> Cells(const std::string &line, char sep)
{
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string c; std::getline(in, c, sep);)
        cells.push_back(c);
    return cells;
}

std::string Note()
{
    UiChartState s;
    UiModel_ChartState(panelHandle, PANEL_STRIPCHART, &s);
    return s.note;
}

}  // namespace

class Diagramm : public DeviceTest {};

// A written setpoint is followed to its figures, marked on the chart and listed with the set in
// force; a step cut short by the next one or by the disconnect is incomplete, without figures.
TEST_F(Diagramm, SetpointStepsGetTheirFiguresOrStayIncomplete)
{
    startSim({});
    EXPECT_EQ(run([&] {
                  UiTest_Press(panelHandle, PANEL_VERBINDEN);
                  Ticks(5);
                  UiTest_Enter(panelHandle, PANEL_SOLLWERT, 5.0);
                  EXPECT_NE(Note().find("l\xE4uft"), std::string::npos);
                  Ticks(300, [] { return Diagramm_Sprung(0)->zustand != SPRUNG_LAEUFT; });
                  const Sprungkennwerte k = *Diagramm_Sprung(0);
                  ASSERT_EQ(k.zustand, SPRUNG_FERTIG);
                  EXPECT_NEAR(k.zielwert, 5.0, 1e-9);
                  EXPECT_GT(k.anstiegszeit, 0.3);
                  EXPECT_LT(k.anstiegszeit, 10.0);
                  EXPECT_GE(k.ueberschwingen, 0.0);
                  EXPECT_TRUE(std::isfinite(k.ausregelzeit));
                  EXPECT_LT(std::fabs(k.bleibendeAbweichung), 0.1);
                  EXPECT_NE(Note().find("Anstiegszeit"), std::string::npos);
                  UiChartState s;
                  UiModel_ChartState(panelHandle, PANEL_STRIPCHART, &s);
                  EXPECT_EQ(s.marks.size(), 1u);

                  UiTest_Enter(panelHandle, PANEL_SOLLWERT, 2.0);
                  Ticks(5);
                  UiTest_Enter(panelHandle, PANEL_SOLLWERT, 8.0);
                  Ticks(5);
                  UiTest_Press(panelHandle, PANEL_VERBINDEN);  // trennen
                  ASSERT_EQ(Diagramm_Sprungzahl(), 3);
                  const struct {
                      int index, zustand;
                  } erwartet[] = {{0, SPRUNG_VERBINDUNG}, {1, SPRUNG_UNTERBROCHEN}, {2, SPRUNG_FERTIG}};
                  for (const auto &e : erwartet) {
                      EXPECT_EQ(Diagramm_Sprung(e.index)->zustand, e.zustand) << e.index;
                      if (e.zustand != SPRUNG_FERTIG) {
                          EXPECT_TRUE(std::isnan(Diagramm_Sprung(e.index)->anstiegszeit));
                      }
                  }
                  const std::vector<std::string> zeilen = lines(UiModel_TextValue(panelHandle, PANEL_SPRUENGE));
                  ASSERT_EQ(zeilen.size(), 4u);
                  EXPECT_EQ(Cells(zeilen[0], '\t').size(), Cells(zeilen[1], '\t').size());
                  EXPECT_NE(zeilen[1].find("unvollst\xE4ndig: Verbindung beendet"), std::string::npos);
                  EXPECT_NE(zeilen[3].find("fertig"), std::string::npos);
                  quit();
              }),
              0);
}

// The kept points are volts: a new scaling shows all of them in the new unit without a false step,
// and the export writes them with both; a running recording takes every point; a file that cannot
// be written is named with its reason.
TEST_F(Diagramm, HistoryFollowsTheScalingAndIsRecorded)
{
    startSim({});
    const std::string export_ = (dir_ / "verlauf.csv").string(), laufend = (dir_ / "laufend.csv").string();
    EXPECT_EQ(run([&] {
                  UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, laufend.c_str());
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_AUFZEICHNUNG_STARTEN);
                  UiTest_Press(panelHandle, PANEL_VERBINDEN);
                  UiTest_Enter(panelHandle, PANEL_SOLLWERT, 4.0);
                  Ticks(20);
                  std::vector<ChartPoint> volt;
                  GetStripChartHistory(panelHandle, PANEL_STRIPCHART, &volt);
                  ASSERT_EQ(volt.size(), 20u);
                  scale(0, 10, 0, 100, "%");
                  const std::vector<double> gezeigt = UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART);
                  ASSERT_EQ(gezeigt.size(), volt.size());
                  for (size_t i = 0; i < volt.size(); ++i)
                      EXPECT_NEAR(gezeigt[i], volt[i].raw[0] * 10.0, 1e-9) << i;
                  Ticks(5);
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_AUFZEICHNUNG_BEENDEN);

                  UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, export_.c_str());
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_AUFZEICHNUNG_SPEICHERN);
                  messages();
                  UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, (dir_ / "fehlt" / "x.csv").c_str());
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_AUFZEICHNUNG_STARTEN);
                  const std::vector<std::string> m = messages();
                  ASSERT_EQ(m.size(), 1u);
                  EXPECT_NE(m[0].find("Der Ordner existiert nicht."), std::string::npos) << m[0];
                  quit();
              }),
              0);

    for (const std::string &datei : {export_, laufend}) {
        SCOPED_TRACE(datei);
        const std::vector<std::string> zeilen = lines(readFile(datei));
        ASSERT_GE(zeilen.size(), 26u);  // the header and the 25 points
        EXPECT_EQ(zeilen[0], "zeit,sollwert,istwert,einheit,sollwert_V,istwert_V");
        const std::vector<std::string> letzte = Cells(zeilen.back(), ',');
        ASSERT_EQ(letzte.size(), 6u);
        EXPECT_EQ(letzte[3], "%");
        EXPECT_EQ(std::stod(letzte[1]), 40.0);
        EXPECT_EQ(std::stod(letzte[4]), 4.0);
        EXPECT_NEAR(std::stod(letzte[2]), std::stod(letzte[5]) * 10.0, 1e-6);
    }
}

// "Strecke identifizieren" from the poll: the simulator's plant within 5 % (K) and 10 % (T), the
// proposal into the fields only; a poll that fails mid-test restores mode and output first.
TEST_F(Diagramm, PlantTestThroughTheWindowAndItsRestore)
{
    startSim({});
    EXPECT_EQ(run([&] {
                  UiTest_Press(panelHandle, PANEL_VERBINDEN);
                  Ticks(3);
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_ANALYSE_STRECKE);
                  const int dialog = UiTest_TopPopup();
                  ASSERT_GT(dialog, 0);
                  EXPECT_EQ(num(dialog, ANALYSEPNL_STELLALT), 0.0);
                  UiTest_Enter(dialog, ANALYSEPNL_STELLNEU, 4.0);
                  UiTest_Enter(dialog, ANALYSEPNL_DAUER, 30.0);
                  UiTest_AnswerNextMessagePopup(1);  // "Test starten"
                  UiTest_Press(dialog, ANALYSEPNL_STARTEN);
                  EXPECT_EQ(Strecke_Laeuft(), 1);
                  EXPECT_EQ(UiTest_Enter(panelHandle, PANEL_SOLLWERT, 3.0), UIE_BLOCKED_BY_POPUP);
                  Ticks(400, [] { return !Strecke_Laeuft(); });
                  EXPECT_NEAR(num(dialog, ANALYSEPNL_K), 1.0, 0.05);
                  EXPECT_NEAR(num(dialog, ANALYSEPNL_T), 2.0, 0.2);
                  EXPECT_EQ(sim().command("get 1 betriebsart1"), "1");
                  const double p = num(dialog, ANALYSEPNL_P), i = num(dialog, ANALYSEPNL_I);
                  EXPECT_GT(p, 0.0);
                  takeReceived();
                  UiTest_Press(dialog, ANALYSEPNL_UEBERNEHMEN);
                  EXPECT_EQ(UiTest_TopPopup(), 0);
                  EXPECT_EQ(std::pair(num(panelHandle, PANEL_PANTEIL), num(panelHandle, PANEL_IANTEIL)),
                            std::pair(p, i));
                  EXPECT_EQ(takeReceived(), Frames{}) << "nothing goes to the module before \"Schreiben\"";
                  EXPECT_EQ(SatzHerkunft(nullptr, nullptr), HERKUNFT_VORSCHLAG);

                  // Again from manual output, and the poll fails after the step: mode and output come
                  // back first.
                  sim().command("set 1 betriebsart1 3");
                  sim().command("set 1 stellgroesse1 1.5");
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_ANALYSE_STRECKE);
                  UiTest_AnswerNextMessagePopup(1);
                  UiTest_Press(dialog, ANALYSEPNL_STARTEN);
                  Ticks(25);
                  sim().command("fault nak 1 istwert1");
                  takeReceived();
                  Ticks(3);
                  EXPECT_EQ(Strecke_Laeuft(), 0);
                  Frames geschrieben;
                  for (const std::string &f : takeReceived())
                      if (f != "#1V5R")
                          geschrieben.push_back(f);
                  EXPECT_EQ(geschrieben, (Frames{"#1V1W1.500", "#1M1W3"}));
                  EXPECT_NE(text(dialog, ANALYSEPNL_STATUS).find("wiederhergestellt"), std::string::npos);
                  expectConnected(false);
                  sim().command("fault none");
                  UiTest_Press(dialog, ANALYSEPNL_SCHLIESSEN);
                  quit();
              }),
              0);
}
