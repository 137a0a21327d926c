// Why an open failed, in the operator's words: the one place these sentences are made, for the
// window's error display and for tlx1ctl. Windows-1252; the group owning a device is asked of the
// system's group database.
#include "platform/rs232/com_intern.h"

#include <cstring>

#include <grp.h>

namespace com_intern {

namespace {

std::string Berechtigung(const OeffnenFehler &f, const std::string &geraet)
{
    const group *g = getgrgid(f.gruppe);
    if (g != nullptr && g->gr_name != nullptr && std::strcmp(g->gr_name, "root") != 0 && f.gruppeDarf) {
        const std::string gruppe = g->gr_name;
        return "keine Berechtigung f\xFCr " + geraet + ": den Benutzer in die Gruppe \"" + gruppe +
               "\" aufnehmen, der das Ger\xE4t geh\xF6rt (sudo usermod -aG " + gruppe +
               " BENUTZER), danach neu anmelden";
    }
    return "keine Berechtigung f\xFCr " + geraet +
           ": das Ger\xE4t geh\xF6rt keiner Gruppe mit Lese- und "
           "Schreibrecht; \xFC"
           "blich ist die Gruppe \"dialout\" (Rechte crw-rw----) mit dem Benutzer als "
           "Mitglied, danach neu anmelden";
}

}  // namespace

std::string UrsacheText(const OeffnenFehler &f, const std::string &geraet)
{
    switch (f.grund) {
    case Grund::Keiner: return "";
    case Grund::NichtGefunden: return geraet + " nicht gefunden (Ger\xE4t nicht angeschlossen oder Pfad falsch)";
    case Grund::KeineBerechtigung: return Berechtigung(f, geraet);
    case Grund::Belegt: return geraet + " wird von einem anderen Programm benutzt";
    case Grund::KeineSerielle: return geraet + " ist keine serielle Schnittstelle";
    case Grund::KeinGeraet: return "an " + geraet + " ist keine Schnittstelle vorhanden";
    case Grund::LeitungAbgelehnt: return geraet + " nimmt die Leitungseinstellungen nicht an";
    case Grund::AdresseUngueltig:
        return geraet + " ist weder ein Ger\xE4tepfad noch eine Adresse tcp://RECHNER:PORT oder "
                        "rfc2217://RECHNER:PORT";
    case Grund::RechnerUnbekannt: return geraet + ": Rechnername unbekannt";
    case Grund::NichtErreichbar:
        return geraet + " ist nicht erreichbar (Netzwerk, Adresse und Port pr\xFC"
                        "fen)";
    case Grund::Abgelehnt: return geraet + " lehnt die Verbindung ab (an diesem Port l\xE4uft kein Dienst)";
    case Grund::KeinRfc2217: return geraet + ": der Server beherrscht die COM-Port-Steuerung (RFC 2217) nicht";
    case Grund::ServerGetrennt:
        return geraet +
               ": der Server hat die Verbindung beendet, bevor die Schnittstelle bereit war "
               "(belegt oder nicht verf\xFCgbar?)" +
               (f.einzelheit.empty() ? "" : ": " + f.einzelheit);
    case Grund::NichtBestaetigt:
        return geraet + ": der Server best\xE4tigt die Leitungseinstellungen nicht: " + f.einzelheit;
    case Grund::Sonstiges: break;
    }
    return geraet + ": " + std::strerror(f.fehlerNummer);
}

}  // namespace com_intern
