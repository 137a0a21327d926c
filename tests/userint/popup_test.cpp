// The toolkit model: panels, popups, menus, callbacks by name, the event loop and the view backend.
#include "TestPanels.h"

#include <cstdio>
#include <string>

TEST_F(Toolkit, LoadPanelFindsRegisteredPanelsOnly)
{
    EXPECT_EQ(LoadPanel(0, "other.uir", P_MAIN), UIE_PANEL_FILE);
    EXPECT_EQ(LoadPanel(0, "test.uir", 9), UIE_PANEL_FILE);
    EXPECT_EQ(LoadPanel(panel + 50, "test.uir", P_POPUP), UIE_BAD_PANEL);
    const int child = LoadPanel(panel, "dir/TEST.UIR", P_POPUP);
    ASSERT_GT(child, panel);
    EXPECT_EQ(UiModel_PanelParent(child), panel);
    EXPECT_FALSE(UiTest_IsVisible(child)) << "a loaded panel starts hidden";
    EXPECT_EQ(DisplayPanel(child), 0);
    EXPECT_TRUE(UiTest_IsVisible(child));
    EXPECT_EQ(HidePanel(child), 0);
    EXPECT_FALSE(UiTest_IsVisible(child));
}

TEST_F(Toolkit, MessagePopupsAreRecordedInOrder)
{
    MessagePopup("Fehler #308103", "Fehler beim \xD6" "ffnen der Datei");
    MessagePopup("Info", "zweite");
    const auto popups = UiTest_Popups();
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[0].kind, UiTestPopup::MESSAGE);
    EXPECT_EQ(popups[0].title, "Fehler #308103");
    EXPECT_EQ(popups[0].text, "Fehler beim \xD6" "ffnen der Datei");
    EXPECT_EQ(popups[1].text, "zweite");
    UiTest_ClearPopups();
    EXPECT_TRUE(UiTest_Popups().empty());
}

TEST_F(Toolkit, FilePopupsTakeScriptedAnswersAndCancelWithoutOne)
{
    char path[MAX_PATHNAME_LEN];
    UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, "/tmp/satz.tlx");
    UiTest_AnswerNextFilePopup(VAL_NO_FILE_SELECTED, "/ignored");
    UiTest_AnswerNextFilePopup(VAL_EXISTING_FILE_SELECTED, std::string(3000, 'a').c_str());
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Speichern", VAL_SAVE_BUTTON, 0, 1, 1, 1, path),
              VAL_NEW_FILE_SELECTED);
    EXPECT_STREQ(path, "/tmp/satz.tlx");
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path), VAL_NO_FILE_SELECTED);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path),
              VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(std::string(path).size(), size_t(MAX_PATHNAME_LEN - 1)) << "a long path is cut to the buffer";
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path), VAL_NO_FILE_SELECTED)
        << "no answer left: cancelled";

    const auto popups = UiTest_Popups();
    ASSERT_EQ(popups.size(), 4u);
    EXPECT_EQ(popups[0].kind, UiTestPopup::FILE_SELECT);
    EXPECT_EQ(popups[0].title, "Speichern");
    EXPECT_EQ(popups[0].text, "*.tlx");
    EXPECT_EQ(popups[0].buttonLabel, VAL_SAVE_BUTTON);
    EXPECT_EQ(popups[1].buttonLabel, VAL_LOAD_BUTTON);
}

TEST_F(Toolkit, InstalledPopupIsModal)
{
    const int about = LoadPanel(panel, "test.uir", P_POPUP);
    const int other = LoadPanel(panel, "test.uir", P_POPUP);
    EXPECT_EQ(RemovePopup(0), UIE_NO_POPUP);
    EXPECT_EQ(InstallPopup(about), 0);
    EXPECT_EQ(InstallPopup(other), 0);
    EXPECT_EQ(UiTest_TopPopup(), other);
    EXPECT_EQ(UiTest_Press(about, 2), UIE_BLOCKED_BY_POPUP);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 1.0), UIE_BLOCKED_BY_POPUP);
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE_OPEN), UIE_BLOCKED_BY_POPUP);
    EXPECT_EQ(UiTest_ClosePanel(panel), UIE_BLOCKED_BY_POPUP);
    UiTest_TimerTick();   // timers keep running under a popup
    EXPECT_EQ(UiTest_Press(other, 2), 0);

    EXPECT_EQ(RemovePopup(0), 0);
    EXPECT_EQ(UiTest_TopPopup(), about);
    EXPECT_FALSE(UiTest_IsVisible(other));
    EXPECT_EQ(InstallPopup(other), 0);
    EXPECT_EQ(RemovePopup(1), 0);
    EXPECT_EQ(UiTest_TopPopup(), 0);
    EXPECT_FALSE(UiTest_IsVisible(about));
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 1.0), 0);
    const std::vector<int> controls = {C_TIMER, 2, C_NUM};
    ASSERT_EQ(gEvents.size(), controls.size());
    for (size_t i = 0; i < controls.size(); ++i)
        EXPECT_EQ(gEvents[i].control, controls[i]);
}

TEST_F(Toolkit, MenusAndPanelCloseReachTheirCallbacks)
{
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE_OPEN), 0);
    const std::vector<int> call = {GetPanelMenuBar(panel), M_FILE_OPEN, panel};
    EXPECT_EQ(gMenuCalls, call);
    EXPECT_GT(GetPanelMenuBar(panel), 0);
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE_SEP), UIE_BAD_MENU);
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE), UIE_BAD_MENU);
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE_QUIT), 0) << "an item without callback does nothing";

    EXPECT_EQ(UiTest_ClosePanel(panel), 0);
    ASSERT_EQ(gEvents.size(), 1u);
    EXPECT_EQ(gEvents[0].event, EVENT_CLOSE);
    EXPECT_TRUE(gEvents[0].panel == panel);
}

TEST_F(Toolkit, CallbackNamesTheProgramDoesNotProvideAreListed)
{
    const std::vector<std::string> missing = {"Missing_Button", "Missing_Menu"};
    EXPECT_EQ(MissingCallbackNames(), missing);
    EXPECT_EQ(UiTest_Press(panel, C_BUTTON), 0) << "a button without callback only commits";

    InstallCallbackTable(nullptr, 0);
    const std::vector<std::string> all = {"Missing_Button", "Missing_Menu", "OnCtrl", "OnMenu", "OnPanel"};
    EXPECT_EQ(MissingCallbackNames(), all);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 1.0), 0);
    EXPECT_TRUE(gEvents.empty());
}

TEST_F(Toolkit, RunUserInterfaceEndsWithTheQuitCodeOrWithoutWaiting)
{
    EXPECT_EQ(RunUserInterface(), -1) << "no script: nothing to wait for";
    UiTest_SetRunScript([this] {
        UiTest_Enter(panel, C_NUM, 2.0);
        QuitUserInterface(7);
    });
    EXPECT_EQ(RunUserInterface(), 7);
    EXPECT_EQ(gEvents.size(), 1u);
    UiTest_SetRunScript([] {});
    EXPECT_EQ(RunUserInterface(), -1);
}

// A view backend that counts what the model told it.
struct Seen {
    int controlChanged = 0, chartChanged = 0, visibility = 0, loaded = 0, messages = 0, active = 0;
};
static Seen gSeen;

TEST_F(Toolkit, ABackendHearsOfEveryChange)
{
    static const UiBackend backend = {
        [](int, char **) { return 1; },
        [](int) { ++gSeen.loaded; },
        [](int) { ++gSeen.visibility; },
        [](int, int) { ++gSeen.controlChanged; },
        [](int, int) { ++gSeen.chartChanged; },
        [](int, int) { ++gSeen.active; },
        nullptr,
        nullptr,
        [](const char *, const char *) { ++gSeen.messages; },
        [](const char *, const char *, const char *, int, int, int, char *path) -> int {
            std::snprintf(path, MAX_PATHNAME_LEN, "/gew\xE4hlt.tlx");
            return VAL_EXISTING_FILE_SELECTED;
        },
    };
    gSeen = {};
    SetUiBackend(&backend);
    ASSERT_EQ(InitUserInterface(0, nullptr), 1);
    const int popup = LoadPanel(panel, "test.uir", P_POPUP);
    InstallPopup(popup);
    RemovePopup(0);
    SetCtrlVal(panel, C_NUM, 1.0);
    SetCtrlAttribute(panel, C_NUM, ATTR_DIMMED, 1);
    PlotStripChartPoint(panel, C_CHART, 1.0);
    SetActiveCtrl(panel, C_INT);
    MessagePopup("T", "M");
    char path[MAX_PATHNAME_LEN];
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path),
              VAL_EXISTING_FILE_SELECTED);
    EXPECT_STREQ(path, "/gew\xE4hlt.tlx");
    EXPECT_EQ(gSeen.loaded, 1);
    EXPECT_EQ(gSeen.visibility, 2);
    EXPECT_EQ(gSeen.controlChanged, 2);
    EXPECT_EQ(gSeen.chartChanged, 1);
    EXPECT_EQ(gSeen.active, 1);
    EXPECT_EQ(gSeen.messages, 1);
    EXPECT_EQ(UiTest_Popups().size(), 2u) << "popups are recorded with a view too";
    UiTest_Reset();
    EXPECT_EQ(MessagePopup("T", "M"), 0);
    EXPECT_EQ(gSeen.messages, 1) << "reset returns to headless operation";
}
