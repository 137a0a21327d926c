// Connecting, polling the actual value, the warning, and what drops the connection.
#include "DeviceFixture.h"

#include "app/TLX1Com.h"

#include <cstdlib>

static constexpr const char *WARNUNG =
    "Achtung: Das st\xE4ndige Abfragen der Istwerte beansprucht das TLX-1\n"
    "st\xE4rker als im Normalbetrieb.\n"
    "Es sind daher Abweichungen im Regelverhalten m\xF6glich!\n"
    "Au\xDF" "erdem k\xF6nnen schnelle Schwingungen hier nicht dargestellt werden. ";

static size_t messagePopups()
{
    return UiTest_Popups().size();
}

TEST_F(DeviceTest, ConnectedThePortStaysOpenAndTheActualValueIsPolled)
{
    startSim({"--plant", "off", "--module", "1", "--module", "2", "--cmd", "set 1 istwert1 2.500", "--cmd", "set 1 soll1 4.000",
              "--cmd", "set 2 istwert1 1.000"});
    setenv("TLX1_COM2", (dir_ / "kein-geraet").c_str(), 1);
    run([&] {
        scale(0, 10, 0, 100, "%");
        UiTest_ClearPopups();

        // A connect that fails changes nothing but the error display.
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 2);
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        EXPECT_EQ(errorNumber(), 100002);
        EXPECT_EQ(integer(panelHandle, PANEL_VERBINDEN), 0);
        EXPECT_EQ(dimmed(PANEL_PORT), 0);
        EXPECT_EQ(dimmed(PANEL_ISTWERT), 1);
        EXPECT_EQ(messagePopups(), 0u);
        EXPECT_EQ(OffenerComPort(), -1);

        UiTest_PickRingValue(panelHandle, PANEL_PORT, 1);
        takeReceived();
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        ASSERT_EQ(messagePopups(), 1u);
        EXPECT_EQ(UiTest_Popups()[0].title, "Info");
        EXPECT_EQ(UiTest_Popups()[0].text, WARNUNG);
        EXPECT_EQ(errorLamp(), 0);
        EXPECT_EQ(integer(panelHandle, PANEL_VERBINDEN), 1);
        EXPECT_EQ(dimmed(PANEL_ISTWERT), 0);
        EXPECT_EQ(dimmed(PANEL_ISTWERTEINHEIT), 0);
        EXPECT_EQ(dimmed(PANEL_PORT), 1);
        EXPECT_EQ(OffenerComPort(), 1);
        EXPECT_EQ(takeReceived(), (Frames{"#1M1R", "#1S1R"}));
        EXPECT_EQ(num(panelHandle, PANEL_SOLLWERT), 40.0) << "mode 1: the module's setpoint in %";

        for (int i = 0; i < 3; ++i)
            UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), (Frames{"#1V5R", "#1V5R", "#1V5R"}));
        EXPECT_EQ(num(panelHandle, PANEL_ISTWERT), 25.0);
        EXPECT_EQ(UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART), (std::vector<double>{25.0, 25.0, 25.0}));
        sim().command("set 1 istwert1 7.000");
        UiTest_TimerTick();
        EXPECT_EQ(num(panelHandle, PANEL_ISTWERT), 70.0);
        EXPECT_EQ(UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART).back(), 70.0);

        // The address may change under the connection; the port is kept for every other action.
        takeReceived();
        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 2);
        UiTest_TimerTick();
        UiTest_Enter(panelHandle, PANEL_STELLWERT, 1.5);
        EXPECT_EQ(takeReceived(), (Frames{"#2V5R", "#2V1W1.500"}));
        EXPECT_EQ(num(panelHandle, PANEL_ISTWERT), 10.0);
        EXPECT_EQ(OffenerComPort(), 1);

        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        EXPECT_EQ(OffenerComPort(), -1);
        EXPECT_EQ(dimmed(PANEL_ISTWERT), 1);
        EXPECT_EQ(dimmed(PANEL_ISTWERTEINHEIT), 1);
        EXPECT_EQ(dimmed(PANEL_PORT), 0);
        UiTest_TimerTick();
        EXPECT_TRUE(takeReceived().empty()) << "no polling while disconnected";

        // Connecting again in the same run: no second warning.
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        EXPECT_EQ(messagePopups(), 1u);
        UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), (Frames{"#2M1R", "#2S1R", "#2V5R"}));
        quit();
    });
    EXPECT_EQ(OffenerComPort(), -1) << "quitting while connected closes the port";
    unsetenv("TLX1_COM2");
}

TEST_F(DeviceTest, OnConnectTheModuleModeDecidesWhichFieldIsFilled)
{
    startSim({"--plant", "off", "--cmd", "set 1 soll1 3.000", "--cmd", "set 1 stellgroesse1 7.500"});
    run([&] {
        scale(0, 10, 0, 100, "%");
        struct Case {
            int mode;
            double soll, stell;
        };
        for (const Case c : {Case{1, 30.0, 1.0}, Case{2, 1.0, 1.0}, Case{3, 1.0, 7.5}}) {
            SCOPED_TRACE(c.mode);
            sim().command("set 1 betriebsart1 " + std::to_string(c.mode));
            SetCtrlVal(panelHandle, PANEL_SOLLWERT, 1.0);
            SetCtrlVal(panelHandle, PANEL_STELLWERT, 1.0);
            UiTest_Press(panelHandle, PANEL_VERBINDEN);
            EXPECT_EQ(num(panelHandle, PANEL_SOLLWERT), c.soll);
            EXPECT_EQ(num(panelHandle, PANEL_STELLWERT), c.stell) << "the output is shown in volts";
            EXPECT_EQ(errorLamp(), 0);
            UiTest_Press(panelHandle, PANEL_VERBINDEN);
        }

        // The mode cannot be read: shown, but the connection and polling stay; a good poll does
        // not clear the display.
        sim().command("fault nak 1 betriebsart1");
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        EXPECT_EQ(errorNumber(), 402050);
        EXPECT_EQ(integer(panelHandle, PANEL_VERBINDEN), 1);
        takeReceived();
        UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), Frames{"#1V5R"});
        EXPECT_EQ(errorNumber(), 402050);
        quit();
    });
}

TEST_F(DeviceTest, AFailedPollDropsTheConnection)
{
    startSim({"--plant", "off"});
    run([&] {
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        UiTest_TimerTick();
        EXPECT_EQ(UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART).size(), 1u);

        sim().command("fault silent");
        UiTest_TimerTick();
        EXPECT_EQ(errorNumber(), 403052);
        EXPECT_EQ(errorLamp(), 1);
        EXPECT_EQ(integer(panelHandle, PANEL_VERBINDEN), 0);
        EXPECT_EQ(dimmed(PANEL_ISTWERT), 1);
        EXPECT_EQ(dimmed(PANEL_PORT), 0);
        EXPECT_EQ(OffenerComPort(), -1);

        // The module answers again, but polling waits for the operator to connect.
        sim().command("fault none");
        takeReceived();
        UiTest_TimerTick();
        EXPECT_TRUE(takeReceived().empty());
        EXPECT_EQ(UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART).size(), 1u);
        quit();
    });
}
