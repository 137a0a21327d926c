#pragma once
// Recordings as CSV files: UTF-8, comma-separated, a header line, one row per point, the time as
// local ISO 8601 with milliseconds and offset, numbers with a decimal point.
//
// A running recording writes each row to the file as it comes (a crashed program loses nothing)
// and flushes it to the disk at least once a second (a crashed machine loses at most a second).
// A one-shot export goes to a temporary file beside the target and is renamed over it when
// complete. Failures give a German reason in Windows-1252, the program's text encoding.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// The header of the window's recordings, without the line end.
inline constexpr std::string_view kAufzeichnungKopf = "zeit,sollwert,istwert,einheit,sollwert_V,istwert_V";

// One point of the window's recording: setpoint and actual value in the user unit and in volts.
struct Aufzeichnungspunkt {
    std::chrono::system_clock::time_point zeit;
    double sollwert;
    double istwert;
    double sollwertV;
    double istwertV;
};

// The row of a point, with the line end; `einheit` is the user unit in Windows-1252 (quoted when
// it holds a comma, a quote or a line break), a value that is not a finite number an empty field.
// No result.
std::string AufzeichnungZeile(const Aufzeichnungspunkt &p, std::string_view einheit);

// A field of a CSV row: UTF-8, quoted when it holds a comma, a quote or a line break.
std::string CsvFeld(std::string_view utf8);

// ---- running recording ---------------------------------------------------------------------------

inline constexpr double kAufzeichnungSync = 1.0;  // s between flushes to the disk, at most

struct Aufzeichnung {
    int fd = -1;        // -1: none running
    std::string offen;  // rows the file has not taken yet
    std::chrono::steady_clock::time_point letzterSync{};
    bool synchronisiert = true;
};

// Creates (or empties) the file `pfad` and writes `kopf` and a line end. 0; -1 with the reason in
// *grund when the file cannot be created or written (nothing then runs).
int Aufzeichnung_Starten(Aufzeichnung *a, const char *pfad, std::string_view kopf, std::string *grund);

// Appends one row (with its line end). 0; -1 with the reason in *grund when the file did not take
// it: the row and what came before stays in a->offen and goes out first with the next row.
int Aufzeichnung_Zeile(Aufzeichnung *a, std::string_view zeile, std::string *grund);

// Flushes to the disk when the last flush is kAufzeichnungSync ago, for a caller that has no new
// row (a tick without a value). 0; -1 with the reason as above.
int Aufzeichnung_Takt(Aufzeichnung *a, std::string *grund);

// Writes what is still open, flushes and closes. 0; -1 with the reason (the file is closed; rows
// it did not take stay in a->offen, so the caller can still save them elsewhere).
int Aufzeichnung_Beenden(Aufzeichnung *a, std::string *grund);

// ---- one-shot export -----------------------------------------------------------------------------

// Writes `inhalt` to `pfad` through a temporary file beside it and a rename: the file is either
// the earlier one or the complete new one. 0; -1 with the reason in *grund (an earlier file of that
// name stays as it was, the temporary file is removed).
int DateiErsetzen(const char *pfad, std::string_view inhalt, std::string *grund);
