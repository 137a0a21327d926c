// Error catalogue and message lookup; the popups show a looked-up text with its number.
#include "error/OKV_errorV3.h"

#include "platform/userint/userint.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

namespace {
struct Fehlertext {
    int art;  // kind: code / 1000, truncated toward zero
    const char *englisch;
    const char *deutsch;  // Windows-1252
};
}  // namespace

// One row per kind, ordered by kind so that the lookup can search it binarily.
// Kinds -6 and -9 have an empty text; kinds not listed get the fallback text.
// clang-format off
static constexpr Fehlertext katalog[] = {
    { -1032, "The emergency stop switch is pressed",
             "Der Notausschalter ist gedr\xFC" "ckt"},
    { -1031, "For zero back pressure please use a free-flow step.",
             "F\xFCr Null Gegendruck bitte Freeflow-Schritt benutzen."},
    { -1030, "Outside temperature test step is missing.",
             "Aussentemperaturpr\xFC" "fschritt fehlt."},
    { -1029, "Outside pressure test step is missing.",
             "Aussendruckpr\xFC" "fschritt fehlt."},
    { -1028, "An internal supply voltage is missing.",
             "Eine interne Betriebsspannung fehlt."},
    { -1027, "Control signal could not be evaluated.",
             "Ansteuersignal konnte nicht ausgewertet werden."},
    { -1026, "Switching valve state unknown.",
             "Schaltventilzustand unbekannt."},
    { -1025, "Valves of the unit under test not configured\nAdd the test step VPKonfig to the sequence!",
             "Pr\xFC" "flingsventile nicht konfiguriert\nPr\xFC" "fschritt VPKonfig in die Sequenz aufnehmen!"},
    { -1024, "No current value available.",
             "Kein Stromwert vorhanden."},
    { -1023, "Outside pressure not available.",
             "Aussendruck nicht vorhanden."},
    { -1022, "Invalid outside temperature.",
             "Ung\xFCltige Aussentemperatur."},
    { -1021, "Invalid outside pressure.",
             "Ung\xFCltiger Aussendruck."},
    { -1020, "Temporary file already exists.",
             "Tempor\xE4re Datei existiert bereits."},
    { -1019, "Log file not found.",
             "Protokolldatei nicht gefunden."},
    { -1018, "The file with the outside pressure could not be read.",
             "Die Datei mit dem Au\xDF" "endruck konnte nicht gelesen werden."},
    { -1017, "The file is not a PLW-1 curve file.",
             "Die Datei ist keine PLW-1 Kurvendatei."},
    { -1016, "Unknown unit of weight",
             "Unbekannte Gewichtseinheit"},
    { -1015, "Weight below range",
             "Gewichtsbereich unterschritten"},
    { -1014, "Weight above range",
             "Gewichtsbereich \xFC" "berschritten"},
    { -1013, "Vacuum already too high at the start of the measurement.",
             "Vakuum zu Beginn der Messung bereits zu hoch."},
    { -1012, "Pressure already too high at the start of the measurement.",
             "Druck zu Beginn der Messung bereits zu hoch."},
    { -1011, "The curve has too many data points.",
             "Die Kurve besteht aus zu vielen Datenpunkten."},
    { -1010, "Time base not allowed.",
             "Unerlaubte Zeitbasis."},
    { -1008, "Pressure and temperature information\nis too old.",
             "Druck- und Temperaturinformationen\nsind zu alt."},
    { -1007, "The file with pressure and temperature information\ncould not be accessed.",
             "Auf die Datei mit Druck und Temperaturinformation\nkonnte nicht zugegriffen werden."},
    { -1005, "The combination of existing serial numbers\nand lot size is invalid.\nAllowed range of serial numbers is unclear.",
             "Die Kombination aus vorhandenen Seriennummern\nund Losumfang ist ung\xFClting.\nErlaubter Bereich f\xFCr die Seriennummern ist unklar."},
    { -1004, "Wrong or missing entry for the lot size.\nAllowed range of serial numbers is unclear.",
             "Falscher oder Fehlender Eintrag f\xFCr Losumfang.\nErlaubter Bereich f\xFCr die Seriennummern ist unklar."},
    { -1003, "The name of a test step does not match the\nname in the log file for this order number.\nThis order was probably created with\na different sequence.",
             "Der Name eines Pr\xFC" "fschrittes stimmt nicht mit dem\nNamen in der Protokolldatei f\xFCr diese BA-Nr. \xFC" "berein.\nWahrscheinlich wurde dieser Auftrag mit einer\nanderen Sequenz erstellt."},
    { -1002, "The number of test steps does not match the number\nof test steps in the log file for this order number.\nThis order was probably created with\na different sequence.",
             "Die Anzahl der Pr\xFC" "fschritte stimmt nicht mit der Anzahl\nder Pr\xFC" "fschritte in der Protokolldatei f\xFCr diese BA-Nr. \xFC" "berein.\nWahrscheinlich wurde dieser Auftrag mit einer\nanderen Sequenz erstellt."},
    { -1001, "No information about the lot size\nwas found in the log file.",
             "In der Protokolldatei wurde keine Information \xFC" "ber\nden Losumfang gefunden."},
    { -1000, "Only >&< is allowed as limit comparison\nfor this test step.\nAdjust the comparison in the sequence editor.",
             "F\xFCr diesen Pr\xFC" "fschritt ist als Grenzwertvergleich\nnur >&< erlaubt.\nPassen Sie den Vergleich im Sequenzeditor an."},
    {  -898, "Invalid memory area.",
             "Ung\xFCltiger Speicherbereich."},
    {  -897, "Checksum error in EEPROM memory.",
             "Checksummenfehler im EEPROM Speicher."},
    {  -896, "Invalid memory type.",
             "Ung\xFCltiger Speichertyp."},
    {  -895, "Invalid memory size.",
             "Ung\xFCltige Speichergr\xF6\xDF" "e."},
    {  -894, "Invalid start address.",
             "Ung\xFCltige Startadresse."},
    {  -880, "DAQ task could not be created",
             "DAQ-Task konnte nicht erstellt werden"},
    {  -855, "Error writing to database table",
             "Fehler beim schreiben in die Datenbanktabelle"},
    {  -854, "Error altering database table",
             "Fehler beim anpassen der Datenbanktabelle"},
    {  -853, "Error creating database table",
             "Fehler beim erstellen der Datenbanktabelle"},
    {  -852, "Error opening database table",
             "Fehler beim \xF6" "ffnen der Datenbanktabelle"},
    {  -851, "Error creating the map for the database table",
             "Fehler beim erstellen der Map f\xFCr die Datenbanktabelle"},
    {  -850, "Could not connect to the database",
             "Verbindung mit der Datenbank konnte nicht hergestellt werden"},
    {  -805, "Test bench name in INI-File is invalid",
             "Pr\xFC" "fstandname in der INI-Datei ist ung\xFCltig"},
    {  -803, "INI-File is corrupted",
             "INI-Datei ist besch\xE4" "digt"},
    {  -802, "INI-File not found",
             "INI-Datei nicht gefunden"},
    {  -801, "Error reading from INI-File",
             "Fehler beim lesen der INI-Datei"},
    {  -800, "Error writing to INI-File",
             "Fehler beim schreiben in die INI-Datei"},
    {  -786, "The emergency stop switch is pressed.",
             "Der Notaus-Schalter ist gedr\xFC" "ckt."},
    {  -785, "A device of the wrong type was found.",
             "Es wurde ein Ger\xE4t vom falschen Typ gefunden."},
    {  -784, "Controller card not found.",
             "Regelkarte wurde nicht gefunden."},
    {  -783, "Controller card reports a memory error",
             "Regelkarte meldet Speicherfehler"},
    {  -780, "Device not found",
             "Ger\xE4t nicht gefunden"},
    {  -766, "Digital port could not be configured",
             "Digitalport konnte nicht konfiguruert werden"},
    {  -765, "Digital output could not be read",
             "Digitalausgang konnte nicht gelesen werden"},
    {  -764, "Relay could not be set",
             "Relais konnte nicht gesetzt werden"},
    {  -763, "Relay position could not be read",
             "Relaisposition konnte nicht abgefragt werden"},
    {  -760, "Digital output could not be set",
             "Digitalausgang konnte nicht gesetzt werden"},
    {  -706, "Data acquisition could not be stopped",
             "Me\xDFwerterfassung konnte nicht gestoppt werden"},
    {  -705, "Data acquisition could not be started",
             "Me\xDFwerterfassung konnte nicht gestartet werden"},
    {  -704, "Outside pressure sensor defective or not connected",
             "Au\xDF" "endrucksensor defekt oder nicht angeschlossen"},
    {  -703, "Outside temperature sensor defective or not connected",
             "Au\xDF" "entemperatursensor defekt oder nicht angeschlossen"},
    {  -702, "Measurement input could not be read",
             "Me\xDF" "eingang konnten nicht gelesen werden"},
    {  -701, "Measured values cannot be processed fast enough",
             "Me\xDFwerte k\xF6nnen nicht schnell genug verarbeitet werden"},
    {  -700, "Timeout:\nMeasurement input could not be read",
             "Timeout:\nMe\xDF" "eingang konnte nicht gelesen werden"},
    {  -652, "Control could not be created",
             "Bedienelement konnte nicht erstellt werden"},
    {  -651, "Panel could not be created",
             "Panel konnte nicht erstellt werden"},
    {  -600, "Memory allocation failed",
             "Speicherreservierung fehlgeschlagen"},
    {  -550, "Invalid sequence",
             "Sequenz ung\xFCltig"},
    {  -509, "Value out of tolerance.",
             "Wert auserhalb der Toleranz."},
    {  -508, "Value too small.",
             "Wert zu klein."},
    {  -507, "Value too large.",
             "Wert zu gro\xDF."},
    {  -506, "Negative values are not allowed.",
             "Es sind keine negativen Werte erlaubt."},
    {  -505, "The data are corrupt",
             "Die Daten sind fehlerhaft"},
    {  -504, "Wrong parameter",
             "Falscher Parameter"},
    {  -503, "Missing values",
             "Fehlende Werte"},
    {  -500, "Parameter out of limits",
             "Parameter au\xDF" "erhalb der Grenzwerte"},
    {  -409, "Device reports a parameter error",
             "Ger\xE4t meldet Parameterfehler"},
    {  -408, "Missing checksum",
             "Fehlende Checksumme"},
    {  -407, "Read command not possible with the broadcast address",
             "Lesebefehl ist mit Sammeladresse nicht m\xF6glich"},
    {  -406, "Checksum error in transmission",
             "Checksummenfehler bei der \xDC" "bertragung"},
    {  -405, "Command not possible at the moment (CAN received)",
             "Befehlsausf\xFChrung momentan nicht m\xF6glich (CAN erhalten)"},
    {  -404, "Wrong answer from device",
             "Fehlerhafte Antwort vom Ger\xE4t"},
    {  -403, "No answer from device",
             "Keine Antwort vom Ger\xE4t"},
    {  -402, "Errormessage (NAK) received from device",
             "Fehlermeldung (NAK) vom Ger\xE4t erhalten"},
    {  -401, "invalid parameter",
             "Unzul\xE4ssiger Parameter"},
    {  -400, "invalid deviceaddress",
             "Unzul\xE4ssige Ger\xE4teadresse"},
    {  -382, "Water supply has reached its minimum",
             "Wasservorrat hat Minimum erreicht"},
    {  -381, "Water column has reached its minimum",
             "Wassers\xE4ule hat Minimum erreicht"},
    {  -380, "Water column has reached its maximum",
             "Wassers\xE4ule hat Maximum erreicht"},
    {  -363, "Timeout:\nPressure could not be set.",
             "Timeout:\nDruck konnte nicht eingestellt werden."},
    {  -362, "Vacuum already too low at the start of the measurement.",
             "Vakuum zu Beginn der Messung bereits zu niedrig."},
    {  -361, "Pressure already too low at the start of the measurement.",
             "Druck zu Beginn der Messung bereits zu niedrig."},
    {  -360, "Vacuum already too high at the start of the measurement.",
             "Vakuum zu Beginn der Messung bereits zu hoch."},
    {  -359, "Pressure already too high at the start of the measurement.",
             "Druck zu Beginn der Messung bereits zu hoch."},
    {  -358, "Timeout:\nPressure did not equalise.",
             "Timeout:\nDruck hat sich nicht ausgeglichen."},
    {  -355, "Timeout:\nVacuum could not be released.",
             "Timeout:\nVakuum konnte nicht abgelassen werden."},
    {  -354, "Timeout:\nVacuum could not be built up.",
             "Timeout:\nVakuum konnte nicht aufgebaut werden."},
    {  -353, "Timeout:\nPressure could not be released.",
             "Timeout:\nDruck konnte nicht abgelassen werden."},
    {  -352, "Timeout:\nVacuum did not stabilise.",
             "Timeout:\nVakuum hat sich nicht stabilisiert."},
    {  -351, "Timeout:\nPressure did not stabilise.",
             "Timeout:\nDruck hat sich nicht stabilisiert."},
    {  -350, "Timeout:\nPressure could not be built up.",
             "Timeout:\nDruck konnte nicht aufgebaut werden."},
    {  -325, "File attribute could not be set.",
             "Dateiattribut konnte nicht gesetzt werden."},
    {  -324, "The file already exists.",
             "Die Datei existiert schon."},
    {  -323, "Error renaming the file.",
             "Fehler beim Umbenennen der Datei."},
    {  -322, "The file is corrupted.",
             "Die Datei wurde besch\xE4" "digt."},
    {  -321, "The file contains no values.",
             "Die Datei enth\xE4lt keine Werte."},
    {  -320, "The file contains too many values.",
             "Die Datei enth\xE4lt zu viele Werte."},
    {  -319, "A line in the file is too long.",
             "Eine Zeile in der Datei ist zu lang."},
    {  -318, "The file contains a character that is not allowed.",
             "Die Datei enth\xE4lt ein nicht erlaubtes Zeichen."},
    {  -317, "Error opening the file selection dialog",
             "Fehler beim Aufrufen des Dateiauswahlfensters"},
    {  -316, "Directory not found",
             "Verzeichnis nicht gefunden"},
    {  -315, "Working directory could not be determined",
             "Arbeitsverzeichnis konnte nicht ermittel werden"},
    {  -312, "Data read from file do not have the expected format",
             "Aus Datei gelesene Daten haben nicht das erwartete Format"},
    {  -311, "File cannot be edited",
             "Datei kann nicht editiert werden"},
    {  -310, "Error creating the directory",
             "Fehler beim erstellen des Verzeichnisses"},
    {  -308, "Error opening file",
             "Fehler beim \xD6" "ffnen der Datei"},
    {  -307, "Error building the file path",
             "Fehler beim Erstellen des Dateipfades"},
    {  -306, "The file could not be deleted",
             "Die Datei konnte nicht gel\xF6scht werden"},
    {  -305, "Access to the file was denied",
             "Der Zugriff auf die Datei wurde verweigert"},
    {  -304, "Error reading from file",
             "Fehler beim Lesen der Datei"},
    {  -303, "Wrong fileversion",
             "Die Datei hat die falsche Versionsnummer"},
    {  -302, "Wrong filetype",
             "Die Datei ist nicht vom richtigen Typ"},
    {  -301, "Error writing to file",
             "Fehler beim Schreiben auf Datei"},
    {  -300, "File not found",
             "Datei nicht gefunden"},
    {  -202, "Error formatting the values",
             "Fehler beim Formatieren der Werte"},
    {  -201, "Error processing the current value",
             "Fehler beim verarbeiten des Stromwertes"},
    {  -200, "Error processing the voltage value",
             "Fehler beim verarbeiten des Spannungswertes"},
    {  -126, "Serial device reports command not possible",
             "Serielles Ger\xE4t meldet Befehlsausf\xFChrung nicht m\xF6glich"},
    {  -125, "Invalid baud rate",
             "Unzul\xE4ssige Baudrate"},
    {  -124, "Error flushing readbuffer of com-port",
             "Fehler beim Leeren des Lesepuffers der seriellen Schnittstelle"},
    {  -123, "Error flushing writebuffer of com-port",
             "Fehler beim Leeren des Schreibpuffers der seriellen Schnittstelle"},
    {  -122, "Com-port is not open",
             "Serielle Schnittstelle ist nicht ge\xF6" "ffnet"},
    {  -120, "The string read back from the com-port does not have the expected format",
             "Die von der seriellen Schnittstelle zur\xFC" "ckgelesene Zeichenkette hat nicht das erwartete Format"},
    {  -119, "The device on the com-port reports an error executing the command",
             "Das Ger\xE4t an der seriellen Schnittstelle meldet einen Fehler bei der Befehlsausf\xFChrung"},
    {  -118, "The device on the com-port did not acknowledge the command correctly",
             "Das Ger\xE4t an der seriellen Schnittstelle hat die Befehlsausf\xFChrung nicht korrekt best\xE4tigt"},
    {  -117, "The echo of the command sent over the com-port does not match the original command",
             "Das Echo des Befehls, der \xFC" "ber sie serielle Schnittstelle geschickt wurde, entspricht nicht dem urspr\xFCnglichen Befehl"},
    {  -116, "No or wrong answer from serial device",
             "Keine oder falsche Antwort vom vom seriellem Ger\xE4t"},
    {  -114, "Was not able to write any or all characters to a com-port",
             "Keine oder nicht alle Zeichen konnten auf die serielle Schnittstelle geschrieben werden"},
    {  -113, "The string to be sent over the com-port is too long",
             "Die Zeichenkette, die \xFC" "ber die serielle Schnittstelle gesendet werden soll, ist zu lang"},
    {  -112, "Error flushing read- or writebuffer for com-port",
             "Fehler beim Leeren des Schreib- oder Leesepuffers der seriellen Schnittstelle"},
    {  -111, "Unable to set com-port timeout",
             "Konnte kein Timeout f\xFCr die serielle Schnittstelle setzten"},
    {  -110, "Invalid com-port number",
             "Ung\xFCltige COM-Port Nummer"},
    {  -103, "Error closing com-port",
             "Fehler beim schliesen der seriellen Schnittstelle"},
    {  -102, "Error reading from com-port",
             "Fehler beim lesen von der seriellen Schnittstelle"},
    {  -101, "Error writing to COM Port",
             "Fehler beim schreiben auf die serielle Schnittstelle"},
    {  -100, "Error opening com-port",
             "Fehler beim \xF6" "ffnen der seriellen Schnittstelle"},
    {    -9, "",
             ""},
    {    -8, "Timer could not be accessed",
             "Timer konnte nicht angesprochen werden"},
    {    -7, "An unexpected error occurred",
             "Ein unerwarteter Fehler ist aufgetreten"},
    {    -6, "",
             ""},
    {    -5, "Date/time function failed",
             "Datum/Zeit Funktion fehlgeschlagen"},
    {    -4, "Aborted by the user",
             "Abbruch durch Benutzer"},
    {    -3, "Timeout reached",
             "Timeout erreicht"},
    {    -2, "An error occurred",
             "Ein Fehler ist aufgetreten"},
    {     0, "No error",
             "Es ist kein Fehler aufgetreten"},
};
// clang-format on

static_assert(std::size(katalog) == 156, "the catalogue holds 156 kinds");
static_assert(std::adjacent_find(std::begin(katalog), std::end(katalog),
                                 [](const Fehlertext &a, const Fehlertext &b) { return a.art >= b.art; }) ==
                  std::end(katalog),
              "the catalogue must be strictly ordered by kind");

// The longest text and a full user string must fit the message buffer together.
static constexpr bool PasstMitUserstring()
{
    for (const Fehlertext &z : katalog)
        for (const char *t : {z.englisch, z.deutsch})
            if (std::char_traits<char>::length(t) + OKV_USERSTRING_LAENGE > OKV_FEHLERMELDUNG_LAENGE)
                return false;
    return true;
}
static_assert(PasstMitUserstring(), "a text is too long for the message buffer");

static constexpr const char *unbekanntEnglisch = "A unknown error occured";
static constexpr const char *unbekanntDeutsch = "Ein unbekannter Fehler ist aufgetreten";

static constexpr int englisch = 2;
// Codes of this kind get no popup at all, the only kind the popups treat apart.
static constexpr int artOhnePopup = -6;
// Popup titles, terminating zero included.
static constexpr size_t titelLaenge = 100;

static int gewaehlteSprache = 1;
static char meldung[OKV_FEHLERMELDUNG_LAENGE];
static char userstring[OKV_USERSTRING_LAENGE];

static const char *TextZurArt(int art)
{
    const Fehlertext *zeile = std::lower_bound(std::begin(katalog), std::end(katalog), art,
                                               [](const Fehlertext &z, int a) { return z.art < a; });
    const bool gefunden = zeile != std::end(katalog) && zeile->art == art;
    if (gewaehlteSprache == englisch)
        return gefunden ? zeile->englisch : unbekanntEnglisch;
    return gefunden ? zeile->deutsch : unbekanntDeutsch;
}

// Appends text to the zero-terminated buffer, cutting it where the buffer ends.
static void Anhaengen(char *puffer, size_t groesse, const char *text)
{
    const size_t belegt = std::strlen(puffer);
    const size_t n = strnlen(text, groesse - 1 - belegt);
    std::memcpy(puffer + belegt, text, n);
    puffer[belegt + n] = '\0';
}

char *OKV_Fehlermeldung(int code)
{
    meldung[0] = '\0';
    Anhaengen(meldung, sizeof meldung, TextZurArt(code / 1000));
    Anhaengen(meldung, sizeof meldung, userstring);
    userstring[0] = '\0';
    return meldung;
}

void OKV_Fehlersprache(int sprache)
{
    gewaehlteSprache = sprache;
}

void OKV_Fehleruserstring(const char *text)
{
    userstring[0] = '\0';
    if (text != nullptr)
        Anhaengen(userstring, sizeof userstring, text);
}

void OKV_Fehlerpopup(int code)
{
    if (code / 1000 == artOhnePopup)
        return;
    // -code in long long: the number of INT_MIN does not fit an int.
    char titel[titelLaenge];
    std::snprintf(titel, sizeof titel, gewaehlteSprache == englisch ? "Error #%lld" : "Fehler #%lld",
                  -static_cast<long long>(code));
    MessagePopup(titel, OKV_Fehlermeldung(code));
}

void OKV_Fehlerpopup2(int code, const char *titel)
{
    if (code / 1000 == artOhnePopup)
        return;
    char nummer[24];
    const int nummerLaenge = std::snprintf(nummer, sizeof nummer, " #%lld", -static_cast<long long>(code));
    // A long caller text is cut, not the number: the operator needs the number to report the fault.
    char kopf[titelLaenge] = "";
    Anhaengen(kopf, sizeof kopf - static_cast<size_t>(nummerLaenge), titel != nullptr ? titel : "");
    Anhaengen(kopf, sizeof kopf, nummer);
    MessagePopup(kopf, OKV_Fehlermeldung(code));
}
