// The toolkit model: panels, popups, menus, callbacks by name, the event loop and the view backend.
#include "TestPanels.h"

#include <algorithm>
#include <fstream>
#include <string>

TEST_F(Toolkit, FilePopupsTakeScriptedAnswersAndEveryPopupIsRecorded)
{
    MessagePopup("Fehler #308103", "Fehler beim \xD6"
                                   "ffnen der Datei");
    char path[MAX_PATHNAME_LEN];
    UiTest_AnswerNextFilePopup(VAL_NEW_FILE_SELECTED, "/tmp/satz.tlx");
    UiTest_AnswerNextFilePopup(VAL_EXISTING_FILE_SELECTED, std::string(3000, 'a').c_str());
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Speichern", VAL_SAVE_BUTTON, 0, 1, 1, 1, path), VAL_NEW_FILE_SELECTED);
    EXPECT_STREQ(path, "/tmp/satz.tlx");
    const auto load = [&] { return FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path); };
    EXPECT_EQ(load(), VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(std::string(path).size(), size_t(MAX_PATHNAME_LEN - 1)) << "a long path is cut to the buffer";
    EXPECT_EQ(load(), VAL_NO_FILE_SELECTED) << "no answer left: cancelled";
    EXPECT_STREQ(path, "");

    const auto popups = UiTest_Popups();
    ASSERT_EQ(popups.size(), 4u);
    EXPECT_EQ(popups[0].kind, UiTestPopup::MESSAGE);
    EXPECT_EQ(popups[0].title + "|" + popups[0].text, "Fehler #308103|Fehler beim \xD6"
                                                      "ffnen der Datei");
    EXPECT_EQ(popups[1].kind, UiTestPopup::FILE_SELECT);
    EXPECT_EQ(popups[1].title + "|" + popups[1].text, "Speichern|*.tlx");
    EXPECT_EQ(popups[1].buttonLabel, VAL_SAVE_BUTTON);
}

TEST_F(Toolkit, MessagePopupsWithButtonsTakeScriptedAnswersAndDefaultToTheLastButton)
{
    UiTest_AnswerNextMessagePopup(1);
    UiTest_AnswerNextMessagePopup(7);  // not offered: counts as the last button
    EXPECT_EQ(GenericMessagePopup("Parametersatz schreiben?", "P\t2\t0", "Schreiben", "Abbrechen", nullptr), 1);
    EXPECT_EQ(GenericMessagePopup("T", "M", "Erneut versuchen", "", "Ohne Speichern beenden"), 2);
    EXPECT_EQ(GenericMessagePopup("T", "M", "Ja", "Nein", "Abbrechen"), 3) << "no answer left: closed";
    const auto popups = UiTest_Popups();
    ASSERT_EQ(popups.size(), 3u);
    EXPECT_EQ(popups[0].buttons, (std::vector<std::string>{"Schreiben", "Abbrechen"}));
    EXPECT_EQ(popups[1].buttons, (std::vector<std::string>{"Erneut versuchen", "Ohne Speichern beenden"}));
}

TEST_F(Toolkit, PanelsLoadHiddenAndAnInstalledPopupIsModal)
{
    EXPECT_EQ(LoadPanel(0, "other.uir", P_MAIN), UIE_PANEL_FILE);
    const int about = LoadPanel(panel, "dir/TEST.UIR", P_POPUP);
    const int other = LoadPanel(panel, "test.uir", P_POPUP);
    EXPECT_FALSE(UiTest_IsVisible(about)) << "a loaded panel starts hidden";
    EXPECT_EQ(RemovePopup(0), UIE_NO_POPUP);
    EXPECT_EQ(InstallPopup(about), 0);
    EXPECT_EQ(InstallPopup(other), 0);
    EXPECT_EQ(UiTest_TopPopup(), other);
    EXPECT_EQ(UiTest_Press(about, 2), UIE_BLOCKED_BY_POPUP);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 1.0), UIE_BLOCKED_BY_POPUP);
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE_OPEN), UIE_BLOCKED_BY_POPUP);
    EXPECT_EQ(UiTest_ClosePanel(panel), UIE_BLOCKED_BY_POPUP);
    UiTest_TimerTick();  // timers keep running under a popup
    EXPECT_EQ(UiTest_Press(other, 2), 0);

    EXPECT_EQ(RemovePopup(0), 0);
    EXPECT_EQ(UiTest_TopPopup(), about);
    EXPECT_FALSE(UiTest_IsVisible(other));
    EXPECT_EQ(InstallPopup(other), 0);
    EXPECT_EQ(RemovePopup(1), 0) << "removes every popup";
    EXPECT_EQ(UiTest_TopPopup(), 0);
    EXPECT_FALSE(UiTest_IsVisible(about));
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 1.0), 0);
    const std::vector<Event> expected = {
        {panel, C_TIMER, EVENT_TIMER_TICK, 0}, {other, 2, EVENT_COMMIT, 0}, {panel, C_NUM, EVENT_COMMIT, 1}};
    EXPECT_EQ(gEvents, expected);
}

TEST_F(Toolkit, MenusAndPanelCloseReachTheirCallbacks)
{
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE_OPEN), 0);
    EXPECT_EQ(gMenuCalls, (std::vector<int>{GetPanelMenuBar(panel), M_FILE_OPEN, panel}));
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE_SEP), UIE_BAD_MENU);
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE), UIE_BAD_MENU);
    EXPECT_EQ(UiTest_ChooseMenuItem(panel, M_FILE_QUIT), 0) << "an item without callback does nothing";
    EXPECT_EQ(UiTest_ClosePanel(panel), 0);
    EXPECT_EQ(gEvents, (std::vector<Event>{{panel, 0, EVENT_CLOSE, 0}}));
}

TEST_F(Toolkit, CallbackNamesTheProgramDoesNotProvideAreListed)
{
    EXPECT_EQ(MissingCallbackNames(), (std::vector<std::string>{"Missing_Button", "Missing_Menu"}));
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

// What a view backend heard from the model, one counter per kind of notice.
enum { VISIBILITY, CONTROL, CHART, MESSAGE, HELP, NOTICES };
static int gSeen[NOTICES];

TEST_F(Toolkit, ABackendHearsOfEveryChangeUntilReset)
{
    static const UiBackend backend = {
        [](int, char **) { return 1; },
        nullptr,
        [](int) { ++gSeen[VISIBILITY]; },
        [](int, int) { ++gSeen[CONTROL]; },
        [](int, int) { ++gSeen[CHART]; },
        nullptr,
        nullptr,
        nullptr,
        [](const char *, const char *) { ++gSeen[MESSAGE]; },
        nullptr,
        nullptr,
        [](const char *, const char *path) { return ++gSeen[HELP], int(std::string(path) == "/da/handbuch.md"); },
        nullptr,
    };
    std::fill_n(gSeen, NOTICES, 0);
    SetUiBackend(&backend);
    ASSERT_EQ(InitUserInterface(0, nullptr), 1);
    InstallPopup(LoadPanel(panel, "test.uir", P_POPUP));
    RemovePopup(0);
    SetCtrlVal(panel, C_NUM, 1.0);
    SetCtrlAttribute(panel, C_NUM, ATTR_DIMMED, 1);
    PlotStripChartPoint(panel, C_CHART, 1.0);
    MessagePopup("T", "M");
    // The help window: the view reads the file; it waits for nobody, so it is no popup.
    EXPECT_EQ(ShowHelpFile("Handbuch", "/da/handbuch.md"), 0);
    EXPECT_EQ(ShowHelpFile("Handbuch", "/fehlt/handbuch.md"), UIE_PANEL_FILE);
    EXPECT_EQ(OpenPopupCount(), 0);
    EXPECT_EQ(std::vector<int>(gSeen, gSeen + NOTICES), (std::vector<int>{2, 2, 1, 1, 2}));
    ASSERT_EQ(UiTest_Popups().size(), 3u) << "popups are recorded with a view too";
    EXPECT_EQ(UiTest_Popups()[1].kind, UiTestPopup::HELP);
    EXPECT_EQ(UiTest_Popups()[1].text, "/da/handbuch.md");
    UiTest_Reset();
    MessagePopup("T", "M");
    EXPECT_EQ(gSeen[MESSAGE], 1) << "reset returns to headless operation";
    // Headless the file must be there to be read; a folder cannot be.
    const std::string there = ::testing::TempDir() + "handbuch.md";
    std::ofstream(there) << "# Handbuch\n";
    EXPECT_EQ(ShowHelpFile("Handbuch", there.c_str()), 0);
    for (const char *missing : {"/fehlt/handbuch.md", "/tmp", ""})
        EXPECT_EQ(ShowHelpFile("Handbuch", missing), UIE_PANEL_FILE) << missing;
}

// Input that comes in while a callback runs (here: made by the callback itself, as the view queues it)
// waits for the callback and then arrives in order; a second tick of a waiting timer is dropped; the
// callback takes a press of its stop control, once, and sees a close request without taking it.
static int gStops[3];
static int LongAction(int panel, int control, int, void *, int, int)
{
    UiOperator_Queue(panel, C_NUM, [panel] { UiOperator_Enter(panel, C_NUM, 3.0); });
    UiOperator_QueueTimerTick(panel, C_TIMER);
    UiOperator_QueueTimerTick(panel, C_TIMER);
    UiOperator_Queue(panel, control, [panel, control] { UiOperator_Press(panel, control); });
    gStops[0] = StopRequested(panel, control);
    gStops[1] = StopRequested(panel, control);
    UiOperator_QueueClose(panel);
    gStops[2] = StopRequested(panel, control);
    EXPECT_TRUE(gEvents.empty()) << "nothing is delivered while the callback runs";
    return 0;
}

TEST_F(Toolkit, InputDuringACallbackWaitsForItAndTheCallbackCanTakeItsStop)
{
    const CallbackEntry table[] = {
        {"Missing_Button", LongAction, nullptr, nullptr}, kTestCallbacks[0], kTestCallbacks[1]};
    InstallCallbackTable(table, 3);
    EXPECT_EQ(StopRequested(panel, C_BUTTON), 0) << "no callback runs";
    EXPECT_EQ(UiTest_Press(panel, C_BUTTON), 0);
    EXPECT_EQ(std::vector<int>(gStops, gStops + 3), (std::vector<int>{1, 0, 1}));
    const std::vector<Event> expected = {
        {panel, C_NUM, EVENT_COMMIT, 3.0}, {panel, C_TIMER, EVENT_TIMER_TICK, 0}, {panel, 0, EVENT_CLOSE, 0}};
    EXPECT_EQ(gEvents, expected) << "the stop press is never delivered";
}
