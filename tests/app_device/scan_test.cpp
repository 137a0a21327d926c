// The bus scan and the identification read.
#include "DeviceFixture.h"

// The LEDs 1 to 8: 0 off, else the on-colour of a lit one.
static std::vector<int> leds()
{
    std::vector<int> v;
    for (int led = PANEL_LED1; led <= PANEL_LED8; ++led) {
        int on = 0, colour = -1;
        GetCtrlVal(panelHandle, led, &on);
        GetCtrlAttribute(panelHandle, led, ATTR_ON_COLOR, &colour);
        v.push_back(on ? colour : 0);
    }
    return v;
}

constexpr int G = 0x00FF00, R = 0xFF0000;

TEST_F(DeviceTest, ScanFindsTheOneTlx1AndIdLesenReadsTheSelectedAddress)
{
    startSim({"--no-modules", "--module", "3=OKV-TLX1-DREI"});
    run([&] {
        recordStatusLine();
        EXPECT_EQ(UiTest_Press(panelHandle, PANEL_SCANN), 0);
        EXPECT_EQ(takeReceived(), (Frames{"#1IDR", "#2IDR", "#3IDR", "#4IDR", "#5IDR", "#6IDR", "#7IDR", "#8IDR"}));
        EXPECT_EQ(leds(), (std::vector<int>{0, 0, G, 0, 0, 0, 0, 0}));
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "OKV-TLX1-DREI");
        Frames progress(9, "");
        for (int n = 0; n < 8; ++n)
            progress[n] = "Suche nach Ger\xE4t " + std::to_string(n + 1);
        EXPECT_EQ(statusLines(), progress);
        // Silent addresses are no error of the scan; the scan picks no address.
        EXPECT_EQ(std::tuple(errorLamp(), integer(panelHandle, PANEL_ADRESSE), OffenerComPort()), std::tuple(0, 1, -1));

        // "ID lesen": the selected address; "alle" sends nothing; a silent one clears the text.
        const std::tuple<int, int, const char *> ids[] = {{3, 0, "OKV-TLX1-DREI"}, {9, 400005, ""}, {4, 403011, ""}};
        for (const auto &[address, code, id] : ids) {
            UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, address);
            SetCtrlVal(panelHandle, PANEL_IDSTRING, "alt");
            takeReceived();
            UiTest_Press(panelHandle, PANEL_IDLESEN);
            EXPECT_EQ(errorNumber(), code) << address;
            EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), id) << address;
            EXPECT_EQ(takeReceived(), address == 9 ? Frames{} : Frames{"#" + std::to_string(address) + "IDR"});
        }
        quit();
    });
}

// Green for a TLX-1, red for any other answer, off for none; the colour of an LED that goes off
// stays for its next answer.
TEST_F(DeviceTest, ScanTellsTlx1FromOtherModules)
{
    startSim({"--no-modules", "--module", "2=OKV-TLX1-ZWEI", "--module", "5=REGLER-5", "--module", "6=OKV-TLX1-SECHS",
              "--module", "7=X-OKV-TLX1", "--plant", "off"});
    run([&] {
        UiTest_Press(panelHandle, PANEL_SCANN);
        EXPECT_EQ(leds(), (std::vector<int>{0, G, 0, 0, R, G, R, 0})) << "the name must stand at the start";
        EXPECT_EQ(std::vector({tooltip(panelHandle, PANEL_LED1), tooltip(panelHandle, PANEL_LED2),
                               tooltip(panelHandle, PANEL_LED5)}),
                  std::vector<std::string>({"Adresse 1: keine g\xFCltige Antwort (Fehler 403011)",
                                            "Adresse 2: TLX-1, Kennung OKV-TLX1-ZWEI",
                                            "Adresse 5: anderes Ger\xE4t, Kennung REGLER-5"}));
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "OKV-TLX1-SECHS") << "the highest TLX-1, not module 7";

        // Connected: the scan uses the open port and leaves it open; a malformed answer is none.
        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 2);
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        sim().command("fault wrongaddr 5");
        UiTest_Press(panelHandle, PANEL_SCANN);
        EXPECT_EQ(leds(), (std::vector<int>{0, G, 0, 0, 0, G, R, 0}));
        SetCtrlVal(panelHandle, PANEL_LED5, 1);
        EXPECT_EQ(leds()[4], R) << "an LED that went off keeps its colour";
        expectConnected(true);
        quit();
    });
}

// The operator presses "Abbrechen" while address `stopAt` is asked (the press comes in while the scan's
// callback runs, as it does from the window).
static int stopAt = 0;
static std::string labelDuringScan;
static void pressAbbrechenAt(int address)
{
    static UiBackend operatorAtTheWindow{};
    operatorAtTheWindow.controlChanged = [](int panel, int control) {
        if (panel == panelHandle && control == PANEL_TEXT &&
            UiModel_TextValue(panel, control) == "Suche nach Ger\xE4t " + std::to_string(stopAt)) {
            GetCtrlAttribute(panelHandle, PANEL_SCANN, ATTR_LABEL_TEXT, &labelDuringScan);
            UiOperator_Queue(panelHandle, PANEL_SCANN, [] { UiOperator_Press(panelHandle, PANEL_SCANN); });
        }
    };
    stopAt = address;
    SetUiBackend(&operatorAtTheWindow);
}

static std::vector<int> dimmedLeds()
{
    std::vector<int> v;
    for (int led = PANEL_LED1; led <= PANEL_LED8; ++led) {
        int d = -1;
        GetCtrlAttribute(panelHandle, led, ATTR_DIMMED, &d);
        v.push_back(d);
    }
    return v;
}

TEST_F(DeviceTest, AbbrechenEndsTheScanAfterTheAddressAskedAndDimsTheOthers)
{
    startSim({"--no-modules", "--module", "1=OKV-TLX1-EINS", "--module", "2=REGLER-2", "--module", "3=OKV-TLX1-DREI",
              "--module", "5=OKV-TLX1-FUENF", "--plant", "off"});
    run([&] {
        EXPECT_EQ(dimmedLeds(), std::vector<int>(8, 1)) << "nothing asked yet";
        SetCtrlVal(panelHandle, PANEL_LED5, 1);  // lit by an earlier scan
        pressAbbrechenAt(3);
        EXPECT_EQ(UiTest_Press(panelHandle, PANEL_SCANN), 0);
        EXPECT_EQ(labelDuringScan, "Abbrechen");
        EXPECT_EQ(takeReceived(), (Frames{"#1IDR", "#2IDR", "#3IDR"}))
            << "the press is taken as the stop, not as a new scan";
        EXPECT_EQ(leds(), (std::vector<int>{G, R, G, 0, G, 0, 0, 0}));
        EXPECT_EQ(dimmedLeds(), (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 1})) << "not asked";
        EXPECT_EQ(tooltip(panelHandle, PANEL_LED4), "Adresse 4: nicht gefragt (Scann fragt die Adressen 1 bis 8)");
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "OKV-TLX1-DREI");
        std::string label;
        GetCtrlAttribute(panelHandle, PANEL_SCANN, ATTR_LABEL_TEXT, &label);
        EXPECT_EQ(std::tuple(label, text(panelHandle, PANEL_TEXT), errorLamp()), std::tuple("Scann", "", 0));

        // The next scan lights the LEDs of the addresses it asks again.
        pressAbbrechenAt(5);
        UiTest_Press(panelHandle, PANEL_SCANN);
        EXPECT_EQ(dimmedLeds(), (std::vector<int>{0, 0, 0, 0, 0, 1, 1, 1}));
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "OKV-TLX1-FUENF");
        quit();
    });
}
