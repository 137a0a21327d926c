// The service record: every value a program of this package writes to a module is appended as one
// CSV line to protokoll.csv in the user's state folder, by the window and by tlx1ctl alike.
//
//   zeit,programm,geraet,adresse,modul_id,parameter,wert,ergebnis
//   2026-12-07T10:15:02.123+01:00,tlx1ctl,/dev/ttyUSB0,1,OKV-TLX1-V1.2,P1,2.5000,0
//
// A line reaches the file in one write() on a descriptor opened with O_APPEND, so programs that
// append at once never mix their lines, and a new file appears with its header already in it. The
// record is only ever appended to. Texts are UTF-8; fields holding a comma or a quote are quoted.
#pragma once

#include <string>

inline constexpr char PROTOKOLL_KOPF[] = "zeit,programm,geraet,adresse,modul_id,parameter,wert,ergebnis";

// Starts a run of `programm` (its name for the column programm): forgets the identifications noted
// and whether a failure was reported. No result.
void Protokoll_Starten(const char *programm);

// Where the record lives: $XDG_STATE_HOME/tlx1steuerung/protokoll.csv, with ~/.local/state in place
// of XDG_STATE_HOME when that is unset, empty or not an absolute path. "" when no home is known.
std::string Protokoll_Pfad(void);

// Notes the identification just read from the module at `geraet`, `adresse`, for the column modul_id
// of the lines that follow; null or "" forgets it (the read failed). No result.
void Protokoll_Kennung(const char *geraet, int adresse, const char *kennung);

// Appends the line of one write: `wert` as sent, `ergebnis` the write's code (0 success). Missing
// folders are created with mode 0700, a new file with mode 0600. 0, or -1 when the line could not be
// written (no home, folder or file not creatable or writable, not a regular file, disk full); the
// reason then waits in Protokoll_Meldung. The write to the module is never affected.
int Protokoll_Eintragen(const char *geraet, int adresse, const char *parameter, const char *wert, int ergebnis);

// Writes one value with OKVTLX1_ParameterSchreiben over the open `port` and enters the attempt with
// the port's device, the value as the frame carries it (one the driver refuses as the number it is)
// and the driver's code: the one way the programs write to a module. The driver's code.
int Protokoll_ParameterSchreiben(int port, int adresse, const char *name, double wert);

// "Protokoll nicht schreibbar: <Grund>" the first time it is asked after a failed Protokoll_Eintragen
// in this run; "" at every other time, so a run reports it once.
std::string Protokoll_Meldung(void);

// One record line split into its eight fields (quotes removed); false when it does not have eight.
bool Protokoll_Felder(const std::string &zeile, std::string felder[8]);
