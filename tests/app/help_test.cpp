// Help inside the program: the manual from "?" > "Handbuch" (F1), and what every field's tooltip
// says of its meaning, range and unit as the scaling changes.
#include "AppFixture.h"

#include "app/TLX1Hilfe.h"
#include "app/TLX1SchnittstellenFenster.h"
#include "platform/userint/userint_view.h"

TEST_F(AppTest, HandbuchShowsTheManualOrNamesEveryPlaceItLookedAt)
{
    EXPECT_EQ(run([] {
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_MENU_HANDBUCH);
                  const std::vector<UiTestPopup> shown = UiTest_Popups();
                  ASSERT_FALSE(shown.empty());
                  EXPECT_EQ(shown.back().kind, UiTestPopup::HELP);
                  EXPECT_EQ(shown.back().title, "TLX-1 Steuerung \x96 Handbuch");
                  EXPECT_TRUE(std::ifstream(shown.back().text).good()) << "found in the build's source tree";
                  EXPECT_TRUE(shown.back().text.ends_with("/handbuch.md"));

                  const char *fehlt[] = {"/nirgends/share/doc/tlx1steuerung/handbuch.md", "/weg/docs/handbuch.md"};
                  Handbuch_OrteSetzen(fehlt, 2);
                  UiTest_ClearPopups();
                  UiTest_ChooseMenuItem(panelHandle, MENUBAR_MENU_HANDBUCH);
                  Handbuch_OrteSetzen(nullptr, 0);
                  const std::vector<std::string> said = messages();
                  ASSERT_EQ(said.size(), 1u);
                  EXPECT_TRUE(said[0].starts_with("Handbuch nicht gefunden|")) << said[0];
                  for (const char *ort : fehlt)
                      EXPECT_NE(said[0].find(std::string("\n") + ort + "\n"), std::string::npos) << ort;
                  quit();
              }),
              0);
}

TEST_F(AppTest, EveryFieldTellsItsMeaningRangeAndUnitAndFollowsTheScaling)
{
    EXPECT_EQ(run([] {
                  // Everything the operator can read or use on the main panel has one.
                  const PanelDef *def = UiModel_PanelDef(panelHandle);
                  for (int i = 0; i < def->controlCount; ++i) {
                      const CtrlDef &c = def->controls[i];
                      const bool inert = c.kind == CTRL_TEXT_MSG || c.kind == CTRL_DECORATION || c.kind == CTRL_TIMER ||
                                         c.kind == CTRL_STRIP_CHART;
                      EXPECT_EQ(tooltip(panelHandle, c.id).empty(), inert) << c.constantName;
                  }
                  struct Row {
                      int control;
                      const char *before, *after;
                  };
                  const Row rows[] = {
                      {PANEL_SOLLWERT, "Bereich: 0 bis 10 V", "Bereich: 0 bis 250 bar"},
                      {PANEL_ANFANGSSOLLWERT, "Bereich: 0 bis 10 V", "Bereich: 0 bis 250 bar"},
                      {PANEL_ANSTIEGSZEIT, "Bereich: 0 bis 1000 V/s", "Bereich: 0 bis 25000 bar/s"},
                      {PANEL_GRAPHZOOMMAX, "Einheit: V", "Bereich: 0 bis 250 bar"},  // open until a scaling is applied
                      {PANEL_ISTWERT, "Einheit: V", "Einheit: bar"},
                      {PANEL_STELLWERT, "Bereich: 0 bis 10 V", "Bereich: 0 bis 10 V"},
                      {PANEL_STELLMIN, "Bereich: 0 bis 10 V", "Bereich: 0 bis 10 V"},
                      {PANEL_PANTEIL, "Bereich: -99999 bis 99999", "Bereich: -99999 bis 99999"},
                  };
                  for (const Row &r : rows)
                      EXPECT_TRUE(tooltip(panelHandle, r.control).ends_with(std::string("\n") + r.before))
                          << tooltip(panelHandle, r.control);
                  scale(0, 10, 0, 250, "bar");
                  for (const Row &r : rows)
                      EXPECT_TRUE(tooltip(panelHandle, r.control).ends_with(std::string("\n") + r.after))
                          << tooltip(panelHandle, r.control);
                  // The serial ports dialog: each COM field says what it takes and its default.
                  EXPECT_NE(tooltip(schnittstellenpanelHandle, SCHNITTPNL_COM3).find("rfc2217://"), std::string::npos);
                  EXPECT_TRUE(tooltip(schnittstellenpanelHandle, SCHNITTPNL_COM3).ends_with("leer: /dev/ttyS2"));
                  EXPECT_FALSE(tooltip(schnittstellenpanelHandle, SCHNITTPNL_WIEDERVERBINDEN).empty());
                  quit();
              }),
              0);
}
