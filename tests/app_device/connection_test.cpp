// Connecting, polling the actual value, the warning, the module's mode on connecting, and what
// drops the connection.
#include "DeviceFixture.h"

static constexpr const char *WARNUNG = "Achtung: Das st\xE4ndige Abfragen der Istwerte beansprucht das TLX-1\n"
                                       "st\xE4rker als im Normalbetrieb.\n"
                                       "Es sind daher Abweichungen im Regelverhalten m\xF6glich!\n"
                                       "Au\xDF"
                                       "erdem k\xF6nnen schnelle Schwingungen hier nicht dargestellt werden. ";

TEST_F(DeviceTest, ConnectedThePortStaysOpenAndTheActualValueIsPolled)
{
    startSim({"--plant", "off", "--module", "1", "--module", "2", "--cmd", "set 1 istwert1 2.500", "--cmd",
              "set 1 soll1 4.000", "--cmd", "set 2 istwert1 1.000"});
    missingPort(2);
    run([&] {
        scale(0, 10, 0, 100, "%");
        UiTest_ClearPopups();
        // A connect that fails changes nothing but the error display.
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 2);
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        EXPECT_EQ(errorNumber(), 100002);
        expectConnected(false);
        EXPECT_EQ(UiTest_Popups().size(), 0u);

        // Mode 1: the module's setpoint fills the setpoint field, in %.
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 1);
        takeReceived();
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        ASSERT_EQ(UiTest_Popups().size(), 1u);
        EXPECT_EQ(UiTest_Popups()[0].title + "|" + UiTest_Popups()[0].text, std::string("Info|") + WARNUNG);
        expectConnected(true);
        EXPECT_EQ(takeReceived(), (Frames{"#1M1R", "#1S1R"}));
        EXPECT_EQ(std::tuple(errorLamp(), num(panelHandle, PANEL_SOLLWERT)), std::tuple(0, 40.0));

        UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), Frames{"#1V5R"});
        EXPECT_EQ(num(panelHandle, PANEL_ISTWERT), 25.0);
        sim().command("set 1 istwert1 7.000");
        UiTest_TimerTick();
        EXPECT_EQ(num(panelHandle, PANEL_ISTWERT), 70.0);
        EXPECT_EQ(UiTest_ChartPoints(panelHandle, PANEL_STRIPCHART), (std::vector<double>{25.0, 70.0}));

        // The address may change under the connection; the port is kept for every other action.
        takeReceived();
        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 2);
        UiTest_TimerTick();
        UiTest_Enter(panelHandle, PANEL_STELLWERT, 1.5);
        EXPECT_EQ(takeReceived(), (Frames{"#2V5R", "#2V1W1.500"}));
        EXPECT_EQ(num(panelHandle, PANEL_ISTWERT), 10.0);
        expectConnected(true);

        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        expectConnected(false);
        UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), Frames{}) << "no polling while disconnected";

        // Mode 3: the module's output fills the output field, in volts. No second warning in a run.
        sim().command("set 2 betriebsart1 3");
        sim().command("set 2 stellgroesse1 7.500");
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        EXPECT_EQ(UiTest_Popups().size(), 1u);
        EXPECT_EQ(takeReceived(), (Frames{"#2M1R", "#2V1R"}));
        EXPECT_EQ(std::tuple(num(panelHandle, PANEL_SOLLWERT), num(panelHandle, PANEL_STELLWERT)),
                  std::tuple(40.0, 7.5));

        // A failed poll drops the connection; polling waits for the operator to connect again.
        sim().command("fault silent");
        UiTest_TimerTick();
        EXPECT_EQ(std::tuple(errorNumber(), errorLamp()), std::tuple(403052, 1));
        expectConnected(false);
        sim().command("fault none");
        takeReceived();
        UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), Frames{});

        // Mode 2 fills neither field. A mode that cannot be read is shown, but the connection and
        // polling stay; a good poll does not clear the display.
        sim().command("set 2 betriebsart1 2");
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        EXPECT_EQ(takeReceived(), Frames{"#2M1R"});
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        sim().command("fault nak 2 betriebsart1");
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        EXPECT_EQ(errorNumber(), 402050);
        expectConnected(true);
        takeReceived();
        UiTest_TimerTick();
        EXPECT_EQ(takeReceived(), Frames{"#2V5R"});
        EXPECT_EQ(errorNumber(), 402050);
        quit();
    });
    EXPECT_EQ(OffenerComPort(), -1) << "quitting while connected closes the port";
}
