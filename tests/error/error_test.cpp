// Error texts and popups as the operator sees them: kind arithmetic, language,
// user string, exact bytes, and the popups through the headless toolkit.
#include "error/OKV_errorV3.h"
#include "platform/userint/userint.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>

namespace {

const std::string unbekannt = "Ein unbekannter Fehler ist aufgetreten";
const std::string keinFehler = "Es ist kein Fehler aufgetreten";
const std::string oeffnenCom = "Fehler beim \xF6"
                               "ffnen der seriellen Schnittstelle";

// Every test starts in German with no pending user string and no popups.
class Fehler : public ::testing::Test {
protected:
    void SetUp() override
    {
        OKV_Fehlersprache(1);
        OKV_Fehleruserstring(nullptr);
        UiTest_Reset();
    }
    void TearDown() override { SetUp(); }
};

// The text is the kind's, code / 1000 truncated toward zero; language 2 is English, every other German.
TEST_F(Fehler, TextFollowsTheKindAndTheLanguage)
{
    const std::tuple<int, int, std::string> faelle[] = {
        {1, 0, keinFehler},
        {1, -999, keinFehler},
        {1, 999, keinFehler},
        {1, -100000, oeffnenCom},
        {1, -100999, oeffnenCom},
        {1, -500077,
         "Parameter au\xDF"
         "erhalb der Grenzwerte"},
        {1, -802109, "INI-Datei nicht gefunden"},
        {1, -1032001,
         "Der Notausschalter ist gedr\xFC"
         "ckt"},
        {1, -1000, unbekannt},
        {1, -1999, unbekannt},
        {1, -10000, unbekannt},    // kinds -1 and -10 have no text
        {1, -1033000, unbekannt},  // just beyond the lowest kind
        {1, 1000, unbekannt},
        {1, 100002, unbekannt},
        {1, INT_MAX, unbekannt},
        {1, INT_MIN, unbekannt},
        {1, -6001, ""},
        {1, -9999, ""},
        {1, -403011, "Keine Antwort vom Ger\xE4t"},
        {2, -403011, "No answer from device"},
        {3, -403011, "Keine Antwort vom Ger\xE4t"},
        {0, -403011, "Keine Antwort vom Ger\xE4t"},
        {2, 0, "No error"},
        {2, -308103, "Error opening file"},
        {2, -112001, "Error flushing read- or writebuffer for com-port"},
        {2, -405002, "Command not possible at the moment (CAN received)"},
        {2, -1000, "A unknown error occured"},
        {2, -6000, ""},
        {2, -9000, ""},
    };
    for (const auto &[sprache, code, text] : faelle) {
        OKV_Fehlersprache(sprache);
        EXPECT_EQ(OKV_Fehlermeldung(code), text) << "language " << sprache << ", code " << code;
    }
}

TEST_F(Fehler, ExactlyTheCatalogueKindsHaveTextsOfTheirOwn)
{
    for (int sprache : {1, 2}) {
        OKV_Fehlersprache(sprache);
        const std::string fallback = sprache == 2 ? "A unknown error occured" : unbekannt;
        int eigene = 0;
        for (int art = -1100; art <= 10; ++art) {
            const std::string text = OKV_Fehlermeldung(art * 1000);
            eigene += text != fallback;
            EXPECT_LE(text.size(), 192u) << "kind " << art;  // no text is longer than the longest
            if (art <= 0) {                                  // the site never changes the text
                EXPECT_EQ(OKV_Fehlermeldung(art * 1000 - 999), text) << "kind " << art;
            }
        }
        EXPECT_EQ(eigene, 156) << "language " << sprache;
    }
}

TEST_F(Fehler, GermanTextsAreWindows1252ByteForByte)
{
    const std::pair<int, const char *> faelle[] = {
        // the longest text, with umlauts and line breaks
        {-1002000, "Die Anzahl der Pr\xFC"
                   "fschritte stimmt nicht mit der Anzahl\n"
                   "der Pr\xFC"
                   "fschritte in der Protokolldatei f\xFC"
                   "r diese BA-Nr. \xFC"
                   "berein.\n"
                   "Wahrscheinlich wurde dieser Auftrag mit einer\n"
                   "anderen Sequenz erstellt."},
        {-1000000, "F\xFC"
                   "r diesen Pr\xFC"
                   "fschritt ist als Grenzwertvergleich\nnur >&< erlaubt.\n"
                   "Passen Sie den Vergleich im Sequenzeditor an."},
        {-895000, "Ung\xFCltige Speichergr\xF6\xDF"
                  "e."},
        {-700000, "Timeout:\nMe\xDF"
                  "eingang konnte nicht gelesen werden"},
        {-406000, "Checksummenfehler bei der \xDC"
                  "bertragung"},
        {-400000, "Unzul\xE4ssige Ger\xE4teadresse"},
        {-308000, "Fehler beim \xD6"
                  "ffnen der Datei"},
        {-117000, "Das Echo des Befehls, der \xFC"
                  "ber sie serielle Schnittstelle geschickt wurde, "
                  "entspricht nicht dem urspr\xFCnglichen Befehl"},
        {-116000, "Keine oder falsche Antwort vom vom seriellem Ger\xE4t"},
        {-112000, "Fehler beim Leeren des Schreib- oder Leesepuffers der seriellen Schnittstelle"},
        {-509000, "Wert auserhalb der Toleranz."},
        {-7000, "Ein unerwarteter Fehler ist aufgetreten"},
    };
    for (const auto &[code, text] : faelle)
        EXPECT_STREQ(OKV_Fehlermeldung(code), text) << "code " << code;
    EXPECT_EQ(std::strlen(OKV_Fehlermeldung(-1002000)), 192u);
}

TEST_F(Fehler, UserStringIsAppendedOnceToWhateverComesNextInTheOneBuffer)
{
    OKV_Fehleruserstring(": Datei A.tlx");
    EXPECT_STREQ(OKV_Fehlermeldung(-308103), "Fehler beim \xD6"
                                             "ffnen der Datei: Datei A.tlx");
    EXPECT_STREQ(OKV_Fehlermeldung(-308103), "Fehler beim \xD6"
                                             "ffnen der Datei");
    // A new text replaces the pending one; it goes to the next lookup, fallback and empty kinds alike.
    OKV_Fehleruserstring("alt");
    OKV_Fehleruserstring("!");
    EXPECT_EQ(OKV_Fehlermeldung(-1000), unbekannt + "!");
    OKV_Fehleruserstring("x");
    EXPECT_STREQ(OKV_Fehlermeldung(-6000), "x");
    OKV_Fehleruserstring("weg");
    OKV_Fehleruserstring(nullptr);
    EXPECT_EQ(OKV_Fehlermeldung(0), keinFehler);

    // An overlong user string keeps its first 299 bytes; with the longest text it fits the buffer.
    const std::string laengster = OKV_Fehlermeldung(-1002000);
    for (size_t laenge : {299u, 300u, 5000u}) {
        std::string lang(laenge, 'a');
        lang[0] = 'B';
        OKV_Fehleruserstring(lang.c_str());
        EXPECT_EQ(OKV_Fehlermeldung(-1002000), laengster + lang.substr(0, 299)) << "length " << laenge;
    }

    // Every lookup returns the same buffer and overwrites it.
    char *erste = OKV_Fehlermeldung(-403011);
    EXPECT_EQ(OKV_Fehlermeldung(-100002), erste);
    EXPECT_EQ(erste, oeffnenCom);
    EXPECT_EQ(OKV_Fehlermeldung(INT_MIN), erste);
}

// The one message popup shown since the last clearing.
UiTestPopup EinzigesPopup()
{
    const std::vector<UiTestPopup> popups = UiTest_Popups();
    EXPECT_EQ(popups.size(), 1u);
    UiTest_ClearPopups();
    if (popups.empty())
        return {};
    EXPECT_EQ(popups[0].kind, UiTestPopup::MESSAGE);
    return popups[0];
}

TEST_F(Fehler, PopupShowsNumberAndTextInTheSelectedLanguage)
{
    const std::tuple<int, int, std::string, std::string> faelle[] = {
        {1, -308103, "Fehler #308103",
         "Fehler beim \xD6"
         "ffnen der Datei"},
        {2, -308103, "Error #308103", "Error opening file"},
        {3, 0, "Fehler #0", keinFehler},
        {1, -9001, "Fehler #9001", ""},
        {1, 5000, "Fehler #-5000", unbekannt},
        {1, INT_MIN, "Fehler #2147483648", unbekannt},
        {2, INT_MAX, "Error #-2147483647", "A unknown error occured"},
    };
    for (const auto &[sprache, code, titel, text] : faelle) {
        OKV_Fehlersprache(sprache);
        OKV_Fehlerpopup(code);
        const UiTestPopup popup = EinzigesPopup();
        EXPECT_EQ(popup.title, titel) << "code " << code;
        EXPECT_EQ(popup.text, text) << "code " << code;
    }
}

TEST_F(Fehler, PopupOfKindMinusSixShowsNothingAndLeavesTheUserStringPending)
{
    OKV_Fehleruserstring(" (COM 1)");
    for (int code : {-6000, -6999}) {
        OKV_Fehlerpopup(code);
        OKV_Fehlerpopup2(code, "Verbindung");
    }
    EXPECT_TRUE(UiTest_Popups().empty());
    OKV_Fehlerpopup(-100002);
    EXPECT_EQ(EinzigesPopup().text, oeffnenCom + " (COM 1)");
    EXPECT_EQ(OKV_Fehlermeldung(-100002), oeffnenCom);  // the popup used the user string up
}

TEST_F(Fehler, SecondPopupUsesTheCallersTitleCutToKeepTheNumber)
{
    OKV_Fehlerpopup2(-100002, "Verbindung");
    OKV_Fehlersprache(2);
    OKV_Fehlerpopup2(-403011, "Verbindung");
    OKV_Fehlerpopup2(-403011, nullptr);
    OKV_Fehlerpopup2(-403011, "100% %s");
    const std::vector<UiTestPopup> popups = UiTest_Popups();
    ASSERT_EQ(popups.size(), 4u);
    EXPECT_EQ(popups[0].title, "Verbindung #100002");
    EXPECT_EQ(popups[0].text, oeffnenCom);
    EXPECT_EQ(popups[1].title, "Verbindung #403011");
    EXPECT_EQ(popups[1].text, "No answer from device");
    EXPECT_EQ(popups[2].title, " #403011");
    EXPECT_EQ(popups[3].title, "100% %s #403011");

    // Caller text length, code, and the number that stays; the title holds at most 99 bytes.
    const std::tuple<size_t, int, std::string> faelle[] = {
        {91, -100002, " #100002"},
        {92, -100002, " #100002"},
        {2000, INT_MIN, " #2147483648"},
        {2000, INT_MAX, " #-2147483647"},
    };
    UiTest_ClearPopups();
    for (const auto &[laenge, code, nummer] : faelle) {
        const std::string lang(laenge, 'T');
        OKV_Fehlerpopup2(code, lang.c_str());
        EXPECT_EQ(EinzigesPopup().title, lang.substr(0, 99 - nummer.size()) + nummer) << "length " << laenge;
    }
}

}  // namespace
