// Error popups as the operator sees them through the headless toolkit: title, text, and when none comes.
#include "error/OKV_errorV3.h"
#include "platform/userint/userint.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

class Fehlerpopup : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiTest_Reset();
        OKV_Fehlersprache(1);
        OKV_Fehleruserstring(nullptr);
    }
    void TearDown() override
    {
        OKV_Fehlersprache(1);
        OKV_Fehleruserstring(nullptr);
        UiTest_Reset();
    }

    // The one message popup shown since the test began.
    static UiTestPopup EinzigesPopup()
    {
        const std::vector<UiTestPopup> popups = UiTest_Popups();
        EXPECT_EQ(popups.size(), 1u);
        if (popups.empty())
            return {};
        EXPECT_EQ(popups[0].kind, UiTestPopup::MESSAGE);
        return popups[0];
    }
};

TEST_F(Fehlerpopup, ShowsNumberAndTextInTheSelectedLanguage)
{
    const struct {
        int sprache;
        int code;
        std::string titel;
        std::string text;
    } faelle[] = {
        {1, -308103, "Fehler #308103", "Fehler beim \xD6" "ffnen der Datei"},
        {2, -308103, "Error #308103", "Error opening file"},
        {1, 0, "Fehler #0", "Es ist kein Fehler aufgetreten"},
        {1, -9001, "Fehler #9001", ""},
        {1, -5999, "Fehler #5999", "Datum/Zeit Funktion fehlgeschlagen"},
        {1, -7000, "Fehler #7000", "Ein unerwarteter Fehler ist aufgetreten"},
        {1, 5000, "Fehler #-5000", "Ein unbekannter Fehler ist aufgetreten"},
        {1, INT_MIN, "Fehler #2147483648", "Ein unbekannter Fehler ist aufgetreten"},
        {2, INT_MAX, "Error #-2147483647", "A unknown error occured"},
    };
    for (const auto &f : faelle) {
        UiTest_ClearPopups();
        OKV_Fehlersprache(f.sprache);
        OKV_Fehlerpopup(f.code);
        const UiTestPopup popup = EinzigesPopup();
        EXPECT_EQ(popup.title, f.titel) << "code " << f.code;
        EXPECT_EQ(popup.text, f.text) << "code " << f.code;
    }
}

TEST_F(Fehlerpopup, KindMinusSixShowsNothingAndLeavesTheUserStringPending)
{
    OKV_Fehleruserstring(" (COM 1)");
    for (int code : {-6000, -6123, -6999}) {
        OKV_Fehlerpopup(code);
        OKV_Fehlerpopup2(code, "Verbindung");
    }
    EXPECT_TRUE(UiTest_Popups().empty());

    OKV_Fehlerpopup(-100002);
    const UiTestPopup popup = EinzigesPopup();
    EXPECT_EQ(popup.text, "Fehler beim \xF6" "ffnen der seriellen Schnittstelle (COM 1)");
    // the popup used the user string up
    EXPECT_STREQ(OKV_Fehlermeldung(-100002), "Fehler beim \xF6" "ffnen der seriellen Schnittstelle");
}

TEST_F(Fehlerpopup, SecondFormUsesTheCallersTitleInEitherLanguage)
{
    OKV_Fehlerpopup2(-100002, "Verbindung");
    OKV_Fehlersprache(2);
    OKV_Fehlerpopup2(-403011, "Verbindung");
    OKV_Fehlerpopup2(-403011, nullptr);
    OKV_Fehlerpopup2(-403011, "100% %s");

    const std::vector<UiTestPopup> popups = UiTest_Popups();
    ASSERT_EQ(popups.size(), 4u);
    EXPECT_EQ(popups[0].title, "Verbindung #100002");
    EXPECT_EQ(popups[0].text, "Fehler beim \xF6" "ffnen der seriellen Schnittstelle");
    EXPECT_EQ(popups[1].title, "Verbindung #403011");
    EXPECT_EQ(popups[1].text, "No answer from device");
    EXPECT_EQ(popups[2].title, " #403011");
    EXPECT_EQ(popups[3].title, "100% %s #403011");
}

TEST_F(Fehlerpopup, LongCallerTitleIsCutButKeepsTheNumber)
{
    const struct {
        size_t laenge;
        int code;
        std::string nummer;
    } faelle[] = {
        {91, -100002, " #100002"},   // exactly 99 bytes: nothing cut
        {92, -100002, " #100002"},
        {500, -100002, " #100002"},
        {2000, INT_MIN, " #2147483648"},
        {2000, INT_MAX, " #-2147483647"},
    };
    for (const auto &f : faelle) {
        UiTest_ClearPopups();
        const std::string lang(f.laenge, 'T');
        OKV_Fehlerpopup2(f.code, lang.c_str());
        const UiTestPopup popup = EinzigesPopup();
        const size_t platz = 99 - f.nummer.size();
        EXPECT_EQ(popup.title, lang.substr(0, platz) + f.nummer) << "length " << f.laenge;
    }
}

} // namespace
