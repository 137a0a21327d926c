// Setpoint, manipulated value and the parameter set: what the panel shows and what the module gets.
#include "DeviceFixture.h"

#include "app/TLX1Com.h"

// Every control, panel and menu item of the catalogue has its callback.
TEST_F(DeviceTest, EveryCallbackOfTheCatalogueIsProvided)
{
    run([] {
        EXPECT_EQ(MissingCallbackNames(), Frames{});
        quit();
    });
}

TEST_F(DeviceTest, SetpointAndOutputAreSentAtOnceOverAPortOpenedForTheWrite)
{
    startSim({"--plant", "off"});
    run([&] {
        scale(0, 10, 0, 100, "%");
        takeReceived();

        EXPECT_EQ(UiTest_Enter(panelHandle, PANEL_SOLLWERT, 50.0), 0);
        EXPECT_EQ(takeReceived(), Frames{"#1S1W5.000"}) << "50 % is 5 V";
        EXPECT_EQ(sim().command("get 1 soll1"), "5.000");
        EXPECT_EQ(OffenerComPort(), -1) << "the port is closed again after the write";
        EXPECT_EQ(GetActiveCtrl(panelHandle), PANEL_SOLLWERT);

        EXPECT_EQ(UiTest_Enter(panelHandle, PANEL_STELLWERT, 5.0), 0);
        EXPECT_EQ(takeReceived(), Frames{"#1V1W5.000"}) << "the output is in volts whatever the scaling";
        EXPECT_EQ(GetActiveCtrl(panelHandle), PANEL_STELLWERT);
        EXPECT_EQ(OffenerComPort(), -1);

        // A refused write is shown; the field keeps what was typed; the next good write clears it.
        sim().command("fault nak 1");
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 30.0);
        EXPECT_EQ(errorLamp(), 1);
        EXPECT_EQ(errorNumber(), 402040);
        EXPECT_EQ(num(panelHandle, PANEL_SOLLWERT), 30.0);
        EXPECT_EQ(OffenerComPort(), -1) << "closed on the way out of a failure too";
        sim().command("fault none");
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 30.0);
        EXPECT_EQ(errorLamp(), 0);
        EXPECT_EQ(errorNumber(), 0);
        EXPECT_EQ(sim().command("get 1 soll1"), "3.000");

        // Another port chosen while not connected: the next action opens that one.
        sim().mapToPort(3);
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 3);
        takeReceived();
        UiTest_Enter(panelHandle, PANEL_STELLWERT, 2.5);
        EXPECT_EQ(takeReceived(), Frames{"#1V1W2.500"});
        EXPECT_EQ(errorNumber(), 0);
        EXPECT_EQ(OffenerComPort(), -1);

        // A port that cannot be opened: its code is shown and nothing is sent.
        UiTest_PickRingValue(panelHandle, PANEL_PORT, 4);
        setenv("TLX1_COM4", (dir_ / "kein-geraet").c_str(), 1);
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 10.0);
        EXPECT_EQ(errorNumber(), 100002);
        EXPECT_EQ(OffenerComPort(), -1);
        EXPECT_TRUE(takeReceived().empty());
        quit();
    });
    unsetenv("TLX1_COM3");
    unsetenv("TLX1_COM4");
}

// The module's set arrives in the fields in one piece, the setpoint values in the user unit; written
// back in the same order and read back, and the gains' decimals follow their values.
TEST_F(DeviceTest, LesenAndSchreibenMoveTheWholeParameterSet)
{
    startSim({"--plant", "off", "--cmd", "set 1 P1 150.000", "--cmd", "set 1 I1 0.5000", "--cmd", "set 1 D1 0.0100",
              "--cmd", "set 1 anfangssoll1 2.000", "--cmd", "set 1 min1 1.000", "--cmd", "set 1 max1 9.000",
              "--cmd", "set 1 anstiegszeit1 5.000", "--cmd", "set 1 betriebsart1 3"});
    run([&] {
        scale(0, 10, 0, 100, "%");
        takeReceived();
        recordStatusLine();

        EXPECT_EQ(UiTest_Press(panelHandle, PANEL_LESEN), 0);
        EXPECT_EQ(takeReceived(), (Frames{"#1P1R", "#1I1R", "#1D1R", "#1S5R", "#1L1R", "#1H1R", "#1F1R", "#1M1R"}));
        EXPECT_EQ(statusLines(), (Frames{"lese...", ""}));
        EXPECT_EQ(num(panelHandle, PANEL_PANTEIL), 150.0);
        EXPECT_EQ(num(panelHandle, PANEL_IANTEIL), 0.5);
        EXPECT_EQ(num(panelHandle, PANEL_DANTEIL), 0.01);
        EXPECT_EQ(num(panelHandle, PANEL_ANFANGSSOLLWERT), 20.0);
        EXPECT_EQ(num(panelHandle, PANEL_STELLMIN), 1.0);
        EXPECT_EQ(num(panelHandle, PANEL_STELLMAX), 9.0);
        EXPECT_EQ(num(panelHandle, PANEL_ANSTIEGSZEIT), 50.0) << "the slope is scaled like a setpoint";
        EXPECT_EQ(num(panelHandle, PANEL_BETRIEBSART), 3.0);
        EXPECT_EQ(precision(PANEL_PANTEIL), 2);
        EXPECT_EQ(precision(PANEL_IANTEIL), 4);
        EXPECT_EQ(errorLamp(), 0);
        EXPECT_EQ(OffenerComPort(), -1);

        UiTest_Enter(panelHandle, PANEL_PANTEIL, 12.5);
        UiTest_Enter(panelHandle, PANEL_ANFANGSSOLLWERT, 45.0);
        UiTest_Enter(panelHandle, PANEL_ANSTIEGSZEIT, 300.0);
        UiTest_PickRingValue(panelHandle, PANEL_BETRIEBSART, 1.0);
        EXPECT_TRUE(takeReceived().empty()) << "editing the fields sends nothing";
        recordStatusLine();

        EXPECT_EQ(UiTest_Press(panelHandle, PANEL_SCHREIBEN), 0);
        EXPECT_EQ(takeReceived(), (Frames{"#1P1W12.500", "#1I1W0.5000", "#1D1W0.0100", "#1S5W4.500", "#1L1W1.000",
                                          "#1H1W9.000", "#1F1W30.000", "#1M1W1", "#1P1R", "#1I1R", "#1D1R",
                                          "#1S5R", "#1L1R", "#1H1R", "#1F1R", "#1M1R"}));
        EXPECT_EQ(statusLines(), (Frames{"schreibe...", "", "lese...", ""}));
        EXPECT_EQ(sim().command("get 1 anstiegszeit1"), "30.000");
        EXPECT_EQ(num(panelHandle, PANEL_PANTEIL), 12.5);
        EXPECT_EQ(precision(PANEL_PANTEIL), 3);
        EXPECT_EQ(num(panelHandle, PANEL_ANFANGSSOLLWERT), 45.0);
        EXPECT_EQ(errorLamp(), 0);
        EXPECT_EQ(OffenerComPort(), -1);
        quit();
    });
}

TEST_F(DeviceTest, SchreibenStopsAtTheFirstRefusedParameterWithoutReadBack)
{
    startSim({"--plant", "off"});
    run([&] {
        UiTest_Enter(panelHandle, PANEL_PANTEIL, 3.0);
        UiTest_Enter(panelHandle, PANEL_STELLMAX, 8.0);
        sim().command("fault nak 1 min1");
        takeReceived();

        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        EXPECT_EQ(takeReceived(), (Frames{"#1P1W3.0000", "#1I1W1.0000", "#1D1W0.0000", "#1S5W0.000", "#1L1W0.000"}))
            << "max1, anstiegszeit1 and betriebsart1 are not sent; no read-back";
        EXPECT_EQ(errorNumber(), 402040);
        EXPECT_EQ(sim().command("get 1 P1"), "3.0000") << "what went before stays written";
        EXPECT_EQ(sim().command("get 1 max1"), "10.000");
        EXPECT_EQ(text(panelHandle, PANEL_TEXT), "");
        EXPECT_EQ(OffenerComPort(), -1);
        quit();
    });
}

// Reads that fail leave every field as it was; "alle" is no address to read from.
TEST_F(DeviceTest, FailedLesenChangesNoField)
{
    startSim({"--plant", "off", "--cmd", "set 1 P1 7.0000", "--cmd", "set 1 max1 6.000"});
    run([&] {
        const int fields[] = {PANEL_PANTEIL, PANEL_IANTEIL, PANEL_DANTEIL, PANEL_ANFANGSSOLLWERT,
                              PANEL_STELLMIN, PANEL_STELLMAX, PANEL_ANSTIEGSZEIT, PANEL_BETRIEBSART};
        std::vector<double> before;
        for (int f : fields)
            before.push_back(num(panelHandle, f));
        auto unchanged = [&] {
            for (size_t i = 0; i < before.size(); ++i)
                EXPECT_EQ(num(panelHandle, fields[i]), before[i]) << "field " << fields[i];
        };

        // The last of the eight fails: nothing has been filled in yet.
        sim().command("fault nak 1 betriebsart1");
        UiTest_Press(panelHandle, PANEL_LESEN);
        EXPECT_EQ(errorNumber(), 402050);
        unchanged();

        sim().command("fault none");
        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 9);
        takeReceived();
        UiTest_Press(panelHandle, PANEL_LESEN);
        EXPECT_EQ(errorNumber(), 400044);
        EXPECT_TRUE(takeReceived().empty());
        unchanged();

        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 1);
        sim().command("fault silent 1");
        recordStatusLine();
        UiTest_Press(panelHandle, PANEL_LESEN);
        EXPECT_EQ(errorNumber(), 403052);
        EXPECT_EQ(statusLines(), (Frames{"lese...", ""}));
        unchanged();
        EXPECT_EQ(OffenerComPort(), -1);
        quit();
    });
}

TEST_F(DeviceTest, ParameterEntriesAreTidied)
{
    run([] {
        UiTest_Enter(panelHandle, PANEL_IANTEIL, 0.0);
        EXPECT_EQ(num(panelHandle, PANEL_IANTEIL), 0.0001);
        EXPECT_EQ(precision(PANEL_IANTEIL), 4);

        UiTest_Enter(panelHandle, PANEL_STELLMAX, 5.0);
        UiTest_Enter(panelHandle, PANEL_STELLMIN, 7.0);
        EXPECT_EQ(num(panelHandle, PANEL_STELLMIN), 5.0) << "the limit just edited yields";
        UiTest_Enter(panelHandle, PANEL_STELLMAX, 3.0);
        EXPECT_EQ(num(panelHandle, PANEL_STELLMAX), 5.0);
        UiTest_Enter(panelHandle, PANEL_STELLMAX, 5.0);
        EXPECT_EQ(num(panelHandle, PANEL_STELLMIN), 5.0) << "equal limits are allowed";

        // Every field of the group sets the gains' decimals, whichever was edited.
        SetCtrlVal(panelHandle, PANEL_DANTEIL, -150.0);
        UiTest_Enter(panelHandle, PANEL_ANSTIEGSZEIT, 20.0);
        EXPECT_EQ(precision(PANEL_DANTEIL), 2);

        UiTest_PickRingValue(panelHandle, PANEL_BETRIEBSART, 3.0);
        EXPECT_EQ(errorLamp(), 0) << "choosing a mode does nothing by itself";
        quit();
    });
}

TEST_F(DeviceTest, ZoomFieldsSetTheValueAxis)
{
    run([] {
        int mode = -1;
        double lo = 0, hi = 0;
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMIN, 8.0);
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMAX, 2.0);
        GetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        EXPECT_EQ(mode, VAL_MANUAL);
        EXPECT_EQ(lo, 2.0);
        EXPECT_EQ(hi, 8.0);
        EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMIN), 8.0) << "the fields keep what was typed";
        EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 2.0);
        EXPECT_EQ(GetActiveCtrl(panelHandle), PANEL_GRAPHZOOMMAX);

        scale(0, 10, 0, 100, "%");
        UiTest_Press(panelHandle, PANEL_GRAPHZOOMZURUECK);
        EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMIN), 0.0);
        EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 100.0);
        GetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        EXPECT_EQ(lo, 0.0);
        EXPECT_EQ(hi, 100.0);
        quit();
    });
}
