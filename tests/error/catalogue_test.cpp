// Error texts as the operator reads them: kind arithmetic, language, user string, exact bytes.
#include "error/OKV_errorV3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace {

const std::string unbekanntDeutsch = "Ein unbekannter Fehler ist aufgetreten";
const std::string unbekanntEnglisch = "A unknown error occured";
const std::string keinFehler = "Es ist kein Fehler aufgetreten";

// Every test starts in German with no pending user string.
class Fehlermeldung : public ::testing::Test {
protected:
    void SetUp() override
    {
        OKV_Fehlersprache(1);
        OKV_Fehleruserstring(nullptr);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(Fehlermeldung, KindIsCodeDividedByThousandTruncatedTowardZero)
{
    const struct {
        int code;
        std::string text;
    } faelle[] = {
        {0, keinFehler},
        {-1, keinFehler},
        {-999, keinFehler},
        {1, keinFehler},
        {999, keinFehler},
        {-404, keinFehler},
        {-100000, "Fehler beim \xF6" "ffnen der seriellen Schnittstelle"},
        {-100002, "Fehler beim \xF6" "ffnen der seriellen Schnittstelle"},
        {-100999, "Fehler beim \xF6" "ffnen der seriellen Schnittstelle"},
        {-500077, "Parameter au\xDF" "erhalb der Grenzwerte"},
        {-500025, "Parameter au\xDF" "erhalb der Grenzwerte"},
        {-802109, "INI-Datei nicht gefunden"},
        {-1000, unbekanntDeutsch},      // kind -1
        {-1999, unbekanntDeutsch},
        {-10000, unbekanntDeutsch},     // kind -10
        {-121000, unbekanntDeutsch},
        {-1006000, unbekanntDeutsch},
        {-1009500, unbekanntDeutsch},
        {-1033000, unbekanntDeutsch},   // just beyond the lowest kind
        {1000, unbekanntDeutsch},       // positive kinds have no text
        {5000, unbekanntDeutsch},
        {100002, unbekanntDeutsch},
        {INT_MAX, unbekanntDeutsch},
        {INT_MIN, unbekanntDeutsch},
        {-6001, ""},
        {-9999, ""},
        {-1032001, "Der Notausschalter ist gedr\xFC" "ckt"},
    };
    for (const auto &f : faelle)
        EXPECT_EQ(OKV_Fehlermeldung(f.code), f.text) << "code " << f.code;
}

TEST_F(Fehlermeldung, ExactlyTheCatalogueKindsHaveTextsOfTheirOwn)
{
    for (int sprache : {1, 2}) {
        OKV_Fehlersprache(sprache);
        const std::string unbekannt = sprache == 2 ? unbekanntEnglisch : unbekanntDeutsch;
        int eigene = 0;
        for (int art = -1100; art <= 10; ++art) {
            const std::string text = OKV_Fehlermeldung(art * 1000);
            if (text != unbekannt)
                ++eigene;
            if (art <= 0) { // the site never changes the text
                EXPECT_EQ(OKV_Fehlermeldung(art * 1000 - 999), text) << "kind " << art;
            }
        }
        EXPECT_EQ(eigene, 156) << "language " << sprache;
    }
}

TEST_F(Fehlermeldung, LanguageTwoIsEnglishEveryOtherValueGerman)
{
    const struct {
        int sprache;
        int code;
        std::string text;
    } faelle[] = {
        {1, -403011, "Keine Antwort vom Ger\xE4t"},
        {2, -403011, "No answer from device"},
        {3, -403011, "Keine Antwort vom Ger\xE4t"},
        {0, -403011, "Keine Antwort vom Ger\xE4t"},
        {-2, -403011, "Keine Antwort vom Ger\xE4t"},
        {2, 0, "No error"},
        {2, -308103, "Error opening file"},
        {2, -112001, "Error flushing read- or writebuffer for com-port"},
        {2, -405002, "Command not possible at the moment (CAN received)"},
        {2, -1000, unbekanntEnglisch},
        {2, -6000, ""},
        {2, -9000, ""},
    };
    for (const auto &f : faelle) {
        OKV_Fehlersprache(f.sprache);
        EXPECT_EQ(OKV_Fehlermeldung(f.code), f.text) << "language " << f.sprache << ", code " << f.code;
    }
}

TEST_F(Fehlermeldung, GermanTextsAreWindows1252ByteForByte)
{
    const struct {
        int code;
        const char *text;
    } faelle[] = {
        // the longest text, with umlauts and line breaks
        {-1002000, "Die Anzahl der Pr\xFC" "fschritte stimmt nicht mit der Anzahl\n"
                   "der Pr\xFC" "fschritte in der Protokolldatei f\xFC" "r diese BA-Nr. \xFC" "berein.\n"
                   "Wahrscheinlich wurde dieser Auftrag mit einer\n"
                   "anderen Sequenz erstellt."},
        {-1000000, "F\xFC" "r diesen Pr\xFC" "fschritt ist als Grenzwertvergleich\nnur >&< erlaubt.\n"
                   "Passen Sie den Vergleich im Sequenzeditor an."},
        {-1005000, "Die Kombination aus vorhandenen Seriennummern\nund Losumfang ist ung\xFClting.\n"
                   "Erlaubter Bereich f\xFC" "r die Seriennummern ist unklar."},
        {-895000, "Ung\xFCltige Speichergr\xF6\xDF" "e."},
        {-706000, "Me\xDF" "werterfassung konnte nicht gestoppt werden"},
        {-700000, "Timeout:\nMe\xDF" "eingang konnte nicht gelesen werden"},
        {-507000, "Wert zu gro\xDF."},
        {-406000, "Checksummenfehler bei der \xDC" "bertragung"},
        {-400000, "Unzul\xE4ssige Ger\xE4teadresse"},
        {-308000, "Fehler beim \xD6" "ffnen der Datei"},
        {-117000, "Das Echo des Befehls, der \xFC" "ber sie serielle Schnittstelle geschickt wurde, "
                  "entspricht nicht dem urspr\xFCnglichen Befehl"},
        {-116000, "Keine oder falsche Antwort vom vom seriellem Ger\xE4t"},
        {-112000, "Fehler beim Leeren des Schreib- oder Leesepuffers der seriellen Schnittstelle"},
        {-111000, "Konnte kein Timeout f\xFC" "r die serielle Schnittstelle setzten"},
        {-103000, "Fehler beim schliesen der seriellen Schnittstelle"},
        {-766000, "Digitalport konnte nicht konfiguruert werden"},
        {-509000, "Wert auserhalb der Toleranz."},
        {-315000, "Arbeitsverzeichnis konnte nicht ermittel werden"},
        {-7000, "Ein unerwarteter Fehler ist aufgetreten"},
    };
    for (const auto &f : faelle)
        EXPECT_STREQ(OKV_Fehlermeldung(f.code), f.text) << "code " << f.code;

    EXPECT_EQ(std::strlen(OKV_Fehlermeldung(-1002000)), 192u);
}

TEST_F(Fehlermeldung, NoTextIsLongerThanTheLongest)
{
    for (int sprache : {1, 2}) {
        OKV_Fehlersprache(sprache);
        for (int art = -1100; art <= 10; ++art)
            EXPECT_LE(std::strlen(OKV_Fehlermeldung(art * 1000)), 192u) << "kind " << art;
    }
}

TEST_F(Fehlermeldung, UserStringIsAppendedOnceToWhateverComesNext)
{
    OKV_Fehleruserstring(": Datei A.tlx");
    EXPECT_STREQ(OKV_Fehlermeldung(-308103), "Fehler beim \xD6" "ffnen der Datei: Datei A.tlx");
    EXPECT_STREQ(OKV_Fehlermeldung(-308103), "Fehler beim \xD6" "ffnen der Datei");

    // a new text replaces the pending one; it goes to the next lookup, success or fallback alike
    OKV_Fehleruserstring("alt");
    OKV_Fehleruserstring(" (neu)");
    EXPECT_EQ(std::string(OKV_Fehlermeldung(0)), keinFehler + " (neu)");
    OKV_Fehleruserstring("!");
    EXPECT_EQ(std::string(OKV_Fehlermeldung(-1000)), unbekanntDeutsch + "!");
    OKV_Fehleruserstring("x");
    EXPECT_STREQ(OKV_Fehlermeldung(-6000), "x");

    OKV_Fehleruserstring("weg");
    OKV_Fehleruserstring(nullptr);
    EXPECT_EQ(std::string(OKV_Fehlermeldung(0)), keinFehler);
}

TEST_F(Fehlermeldung, OverlongUserStringKeepsItsFirst299Bytes)
{
    const std::string laengster = OKV_Fehlermeldung(-1002000);
    for (size_t laenge : {298u, 299u, 300u, 301u, 5000u}) {
        std::string lang(laenge, 'a');
        lang[0] = 'B';
        OKV_Fehleruserstring(lang.c_str());
        lang.resize(std::min<size_t>(laenge, 299));
        // the longest text and the longest user string fit the buffer together
        EXPECT_EQ(OKV_Fehlermeldung(-1002000), laengster + lang) << "length " << laenge;
    }
}

TEST_F(Fehlermeldung, EveryLookupReturnsTheSameBufferAndOverwritesIt)
{
    char *erste = OKV_Fehlermeldung(-403011);
    EXPECT_STREQ(erste, "Keine Antwort vom Ger\xE4t");
    char *zweite = OKV_Fehlermeldung(-100002);
    EXPECT_EQ(erste, zweite);
    EXPECT_STREQ(erste, "Fehler beim \xF6" "ffnen der seriellen Schnittstelle");
    EXPECT_EQ(OKV_Fehlermeldung(INT_MIN), erste);
}

} // namespace
