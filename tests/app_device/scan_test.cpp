// The bus scan and the identification read.
#include "DeviceFixture.h"

#include "app/TLX1Com.h"

static int onColour(int led)
{
    int c = -1;
    GetCtrlAttribute(panelHandle, led, ATTR_ON_COLOR, &c);
    return c;
}

static std::vector<int> leds()
{
    std::vector<int> v;
    for (int led = PANEL_LED1; led <= PANEL_LED8; ++led) {
        int on = -1;
        GetCtrlVal(panelHandle, led, &on);
        v.push_back(on);
    }
    return v;
}

TEST_F(DeviceTest, ScanFindsTheOneTlx1AndIdLesenReadsTheSelectedAddress)
{
    startSim({"--no-modules", "--module", "3=OKV-TLX1-DREI"});
    run([&] {
        recordStatusLine();
        EXPECT_EQ(UiTest_Press(panelHandle, PANEL_SCANN), 0);
        EXPECT_EQ(takeReceived(), (Frames{"#1IDR", "#2IDR", "#3IDR", "#4IDR", "#5IDR", "#6IDR", "#7IDR", "#8IDR"}));
        EXPECT_EQ(leds(), (std::vector<int>{0, 0, 1, 0, 0, 0, 0, 0}));
        EXPECT_EQ(onColour(PANEL_LED3), 0x00FF00);
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "OKV-TLX1-DREI");
        Frames progress;
        for (char n = '1'; n <= '8'; ++n)
            progress.push_back(std::string("Suche nach Ger\xE4t ") + n);
        progress.push_back("");
        EXPECT_EQ(statusLines(), progress);
        EXPECT_EQ(errorLamp(), 0) << "silent addresses are no error of the scan";
        EXPECT_EQ(integer(panelHandle, PANEL_ADRESSE), 1) << "the scan does not pick an address";
        EXPECT_EQ(OffenerComPort(), -1);

        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 3);
        SetCtrlVal(panelHandle, PANEL_IDSTRING, "alt");
        UiTest_Press(panelHandle, PANEL_IDLESEN);
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "OKV-TLX1-DREI");
        EXPECT_EQ(errorLamp(), 0);
        EXPECT_EQ(OffenerComPort(), -1);

        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 9);
        takeReceived();
        UiTest_Press(panelHandle, PANEL_IDLESEN);
        EXPECT_EQ(errorNumber(), 400005) << "\"alle\" has no identification";
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "");
        EXPECT_TRUE(takeReceived().empty());

        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 4);
        SetCtrlVal(panelHandle, PANEL_IDSTRING, "alt");
        UiTest_Press(panelHandle, PANEL_IDLESEN);
        EXPECT_EQ(errorNumber(), 403011);
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "");
        EXPECT_EQ(OffenerComPort(), -1);
        quit();
    });
}

// Green for a TLX-1, red for any other answer, off for none; the colour of an LED that goes off
// stays for its next answer.
TEST_F(DeviceTest, ScanTellsTlx1FromOtherModules)
{
    startSim({"--no-modules", "--module", "2=OKV-TLX1-ZWEI", "--module", "5=REGLER-5", "--module",
              "6=OKV-TLX1-SECHS", "--module", "7=X-OKV-TLX1", "--plant", "off"});
    run([&] {
        UiTest_Press(panelHandle, PANEL_SCANN);
        EXPECT_EQ(leds(), (std::vector<int>{0, 1, 0, 0, 1, 1, 1, 0}));
        EXPECT_EQ(onColour(PANEL_LED2), 0x00FF00);
        EXPECT_EQ(onColour(PANEL_LED5), 0xFF0000);
        EXPECT_EQ(onColour(PANEL_LED6), 0x00FF00);
        EXPECT_EQ(onColour(PANEL_LED7), 0xFF0000) << "the name must stand at the start";
        EXPECT_EQ(text(panelHandle, PANEL_IDSTRING), "OKV-TLX1-SECHS") << "the highest TLX-1, not module 7";

        // Connected: the scan uses the open port and leaves it open; a malformed answer is none.
        UiTest_PickRingValue(panelHandle, PANEL_ADRESSE, 2);
        UiTest_Press(panelHandle, PANEL_VERBINDEN);
        ASSERT_EQ(OffenerComPort(), 1);
        sim().command("fault wrongaddr 5");
        UiTest_Press(panelHandle, PANEL_SCANN);
        EXPECT_EQ(leds(), (std::vector<int>{0, 1, 0, 0, 0, 1, 1, 0}));
        EXPECT_EQ(onColour(PANEL_LED5), 0xFF0000);
        EXPECT_EQ(OffenerComPort(), 1);
        EXPECT_EQ(integer(panelHandle, PANEL_VERBINDEN), 1);
        quit();
    });
}
