#pragma once
// The parameter-set file: a 160-byte little-endian record holding the controller parameters as
// the main panel shows them, the chart's zoom limits and the scaling they are shown in.
//
// Byte layout (undefined bytes are written as zero and never read):
//   0  char[32] type text "okv tlx1 parameterdatei", zero at 23     32  int32 version 2
//  40  ten doubles: P, I, D, min, max, anfangssoll, anstiegszeit, betriebsart, zoom min, zoom max
// 120  the scaling: vmin, vmax, einheitmin, einheitmax (doubles), einheit char[6], 2 bytes unused

#include "app/TLX1Konfig.h"
#include "driver/okvtlx1.h"

#include <cstdint>

inline constexpr int PARAMETERDATEI_GROESSE = 160;
inline constexpr int PARAMETERDATEI_KOPF = 36;  // type text and version, checked before the rest
inline constexpr char PARAMETERDATEI_TYP[] = "okv tlx1 parameterdatei";
inline constexpr int PARAMETERDATEI_VERSION = 2;

// The record, with the fields at the offsets they have in the file. The file is still written and
// read field by field, so it does not depend on the host's byte order or on how the compiler lays
// out this struct.
struct Parameterdatei {
    char typ[32];          // type text as read; written as PARAMETERDATEI_TYP
    std::int32_t version;  // as read; written as PARAMETERDATEI_VERSION
    Parametersatz satz;    // in the field order of the file; anfangssoll and anstiegszeit in the file's unit
    double zoommin;        // chart value axis, in the file's unit
    double zoommax;
    KonfigStruktur konfig;  // the scaling the values are shown in
};

// The 160 bytes of a record; the head always holds the type text and version 2.
void Parameterdatei_Kodieren(const Parameterdatei *datei, unsigned char bytes[PARAMETERDATEI_GROESSE]);

// Checks the first 36 bytes. 0, -302105 (not a parameter-set file), -303106 (version is not 2).
int Parameterdatei_KopfPruefen(const unsigned char kopf[PARAMETERDATEI_KOPF]);

// The record held in 160 bytes whose head passed the check. A unit text without its terminating
// zero is cut after the fifth character.
void Parameterdatei_Dekodieren(const unsigned char bytes[PARAMETERDATEI_GROESSE], Parameterdatei *datei);

// Writes the record as the file `pfad`. The bytes go into a temporary file beside it, which replaces
// the target only once all 160 bytes are written and on the disk: a failed save leaves an earlier
// file as it was and no temporary file behind. Through a symbolic link the file it points to is
// replaced and the link stays. 0, -308101 (the file cannot be created or replaced: missing or
// write-protected folder, a folder, FIFO, device or write-protected file of that name, a dangling
// link), -301102 (not all 160 bytes reached the disk: short write, failed close or rename).
int Parameterdatei_Schreiben(const char *pfad, const Parameterdatei *datei);

// Reads and checks the file `pfad` into *datei, which is changed only when the whole record was read
// and is sound; bytes after the record are ignored. 0, -308103 (cannot be opened, a dangling link,
// not a regular file), -304104 (shorter than 36 bytes), -302105 (not a parameter-set file), -303106
// (version is not 2), -304107 (shorter than 160 bytes), -304108 (a value is not finite or the
// scaling cannot be applied).
int Parameterdatei_Lesen(const char *pfad, Parameterdatei *datei);
