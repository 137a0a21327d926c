// Setpoint, manipulated value and the parameter set: what the panel shows and what the module gets.
#include "DeviceFixture.h"

// Setpoint and output are sent at once over a port opened for the write. The module's parameter
// set arrives in the fields in one piece, the setpoint values in the user unit; it is written back
// in the same order and read back, and the gains' decimals follow their values.
TEST_F(DeviceTest, PanelWritesAndTheWholeParameterSet)
{
    startSim({"--plant", "off", "--cmd", "set 1 P1 150.000", "--cmd", "set 1 I1 0.5000", "--cmd", "set 1 D1 0.0100",
              "--cmd", "set 1 anfangssoll1 2.000", "--cmd", "set 1 min1 1.000", "--cmd", "set 1 max1 9.000", "--cmd",
              "set 1 anstiegszeit1 5.000", "--cmd", "set 1 betriebsart1 3"});
    run([&] {
        scale(0, 10, 0, 100, "%");
        takeReceived();
        EXPECT_EQ(UiTest_Enter(panelHandle, PANEL_SOLLWERT, 50.0), 0);
        EXPECT_EQ(takeReceived(), Frames{"#1S1W5.000"}) << "50 % is 5 V";
        EXPECT_EQ(GetActiveCtrl(panelHandle), PANEL_SOLLWERT);
        EXPECT_EQ(UiTest_Enter(panelHandle, PANEL_STELLWERT, 5.0), 0);
        EXPECT_EQ(takeReceived(), Frames{"#1V1W5.000"}) << "the output is in volts whatever the scaling";
        EXPECT_EQ(GetActiveCtrl(panelHandle), PANEL_STELLWERT);
        EXPECT_EQ(OffenerComPort(), -1) << "the port is closed again after the write";

        // A refused write is shown and the field keeps what was typed; the next good action (the
        // "Lesen" below) clears the display.
        sim().command("fault nak 1");
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 30.0);
        EXPECT_EQ(std::tuple(errorLamp(), errorNumber(), num(panelHandle, PANEL_SOLLWERT), OffenerComPort()),
                  std::tuple(1, 402040, 30.0, -1))
            << "the port is closed on the way out of a failure too";
        sim().command("fault none");

        takeReceived();
        recordStatusLine();
        EXPECT_EQ(UiTest_Press(panelHandle, PANEL_LESEN), 0);
        const Frames reads{"#1P1R", "#1I1R", "#1D1R", "#1S5R", "#1L1R", "#1H1R", "#1F1R", "#1M1R"};
        EXPECT_EQ(takeReceived(), reads);
        EXPECT_EQ(statusLines(), (Frames{"lese...", "", "Parametersatz gelesen"}));
        EXPECT_EQ(felder(), (std::vector<double>{150.0, 0.5, 0.01, 20.0, 1.0, 9.0, 50.0, 3.0})) << "2 V, 5 V/s in %";
        EXPECT_EQ(std::tuple(precision(PANEL_PANTEIL), precision(PANEL_IANTEIL), errorLamp(), OffenerComPort()),
                  std::tuple(2, 4, 0, -1));

        UiTest_Enter(panelHandle, PANEL_PANTEIL, 12.5);
        UiTest_Enter(panelHandle, PANEL_ANFANGSSOLLWERT, 45.0);
        UiTest_Enter(panelHandle, PANEL_ANSTIEGSZEIT, 300.0);
        UiTest_PickRingValue(panelHandle, PANEL_BETRIEBSART, 1.0);
        EXPECT_EQ(takeReceived(), Frames{}) << "editing the fields sends nothing";
        recordStatusLine();
        EXPECT_EQ(UiTest_Press(panelHandle, PANEL_SCHREIBEN), 0);
        Frames writes{"#1P1W12.500", "#1I1W0.5000", "#1D1W0.0100", "#1S5W4.500",
                      "#1L1W1.000",  "#1H1W9.000",  "#1F1W30.000", "#1M1W1"};
        writes.insert(writes.end(), reads.begin(), reads.end());
        EXPECT_EQ(takeReceived(), writes);
        EXPECT_EQ(statusLines(), (Frames{"schreibe...", "", "lese...", "",
                                         "Parametersatz geschrieben und gepr\xFC"
                                         "ft"}))
            << "a set read from this module goes out without a question";
        EXPECT_EQ(felder(), (std::vector<double>{12.5, 0.5, 0.01, 45.0, 1.0, 9.0, 300.0, 1.0}));
        EXPECT_EQ(precision(PANEL_PANTEIL), 3);
        EXPECT_EQ(std::tuple(errorLamp(), OffenerComPort()), std::tuple(0, -1));
        quit();
    });
}

// "Schreiben" stops at the first refused parameter without read-back (here after the operator chose to
// write although the module's set could not be read first); a "Lesen" that fails, even at the last of
// the eight, leaves every field as it was; "alle" is no address to read from.
TEST_F(DeviceTest, FailedTransfersStopAndChangeNoField)
{
    startSim({"--plant", "off", "--cmd", "set 1 max1 6.000"});
    run([&] {
        UiTest_Enter(panelHandle, PANEL_PANTEIL, 3.0);
        UiTest_Enter(panelHandle, PANEL_STELLMAX, 8.0);
        sim().command("fault nak 1 min1");
        takeReceived();
        UiTest_AnswerNextMessagePopup(1);
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        EXPECT_EQ(takeReceived(), (Frames{"#1P1R", "#1I1R", "#1D1R", "#1S5R", "#1L1R", "#1P1W3.0000", "#1I1W1.0000",
                                          "#1D1W0.0000", "#1S5W0.000", "#1L1W0.000"}));
        const UiTestPopup frage = UiTest_Popups().back();
        EXPECT_EQ(frage.title, "Parametersatz schreiben?");
        EXPECT_EQ(frage.text.rfind("Das Modul an Adresse 1 (COM 1) konnte nicht gelesen werden:\n"
                                   "402050 Fehlermeldung (NAK) vom Ger\xE4t erhalten\n\n",
                                   0),
                  0u)
            << frage.text;
        EXPECT_EQ(std::tuple(errorNumber(), text(panelHandle, PANEL_TEXT)), std::tuple(402040, ""));
        EXPECT_EQ(std::tuple(sim().command("get 1 P1"), sim().command("get 1 max1")), std::tuple("3.0000", "6.000"))
            << "what went before stays written";

        sim().command("fault none 1 min1");
        sim().command("set 1 P1 7.0000");  // the first value read differs from its field
        const std::vector<double> before = felder();
        const std::tuple<const char *, int, int> faults[] = {
            {"fault nak 1 betriebsart1", 1, 402050}, {"fault none", 9, 400044}, {"fault silent 1", 1, 403052}};
        for (const auto &[fault, address, code] : faults) {
            sim().command(fault);
            UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, address);
            takeReceived();
            UiTest_Press(panelHandle, PANEL_LESEN);
            EXPECT_EQ(errorNumber(), code) << fault;
            EXPECT_EQ(felder(), before) << fault;
            EXPECT_EQ(takeReceived().empty(), address == 9) << fault;
            EXPECT_EQ(std::tuple(text(panelHandle, PANEL_TEXT), OffenerComPort()), std::tuple("", -1)) << fault;
        }
        quit();
    });
}

// Also: every control, panel and menu item of the catalogue has its callback.
TEST_F(DeviceTest, ParameterEntriesAreTidiedAndZoomFieldsSetTheValueAxis)
{
    run([] {
        EXPECT_EQ(MissingCallbackNames(), Frames{});
        UiTest_Enter(panelHandle, PANEL_IANTEIL, 0.0);
        EXPECT_EQ(num(panelHandle, PANEL_IANTEIL), 0.0001);
        UiTest_Enter(panelHandle, PANEL_STELLMAX, 5.0);
        UiTest_Enter(panelHandle, PANEL_STELLMIN, 7.0);
        EXPECT_EQ(num(panelHandle, PANEL_STELLMIN), 5.0) << "the limit just edited yields";
        UiTest_Enter(panelHandle, PANEL_STELLMAX, 3.0);
        EXPECT_EQ(num(panelHandle, PANEL_STELLMAX), 5.0);
        // Every field of the group sets the gains' decimals, whichever was edited.
        SetCtrlVal(panelHandle, PANEL_DANTEIL, -150.0);
        UiTest_Enter(panelHandle, PANEL_ANSTIEGSZEIT, 20.0);
        EXPECT_EQ(std::tuple(precision(PANEL_DANTEIL), precision(PANEL_IANTEIL)), std::tuple(2, 4));

        int mode = -1;
        double lo = 0, hi = 0;
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMIN, 8.0);
        UiTest_Enter(panelHandle, PANEL_GRAPHZOOMMAX, 2.0);
        GetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        EXPECT_EQ(std::tuple(mode, lo, hi), std::tuple(VAL_MANUAL, 2.0, 8.0));
        EXPECT_EQ(std::tuple(num(panelHandle, PANEL_GRAPHZOOMMIN), num(panelHandle, PANEL_GRAPHZOOMMAX)),
                  std::tuple(8.0, 2.0))
            << "the fields keep what was typed";
        UiTest_Press(panelHandle, PANEL_GRAPHZOOMZURUECK);  // default scaling: volts
        GetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        EXPECT_EQ(std::tuple(num(panelHandle, PANEL_GRAPHZOOMMIN), num(panelHandle, PANEL_GRAPHZOOMMAX), lo, hi),
                  std::tuple(0.0, 10.0, 0.0, 10.0));
        quit();
    });
}
