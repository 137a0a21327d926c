#pragma once
// Texts that leave the program for a terminal or a file: numbers without the locale, Windows-1252
// as UTF-8, text from a module made printable, and timestamps.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The number with a point as decimal separator, shortest text that reads back to the same
// double, never an exponent ("12.5", "10", "-0.001"); -0 prints as "0".
std::string ZahlText(double value);

// A finite decimal number: optional sign, digits, optional point or comma and fraction,
// optional exponent, nothing else. std::nullopt for anything else (empty, "1.2.3", "inf", "nan").
std::optional<double> ZahlLesen(std::string_view text);

// A whole decimal number within lo..hi, nothing else. std::nullopt otherwise.
std::optional<long> GanzzahlLesen(std::string_view text, long lo, long hi);

// Windows-1252 text as UTF-8; the five unassigned bytes become U+FFFD.
std::string Utf8AusCp1252(std::string_view text);

// UTF-8 text (a file name, say) as Windows-1252 for the window: a character Windows-1252 lacks,
// and every byte of a malformed sequence, becomes '?'.
std::string Cp1252AusUtf8(std::string_view text);

// Text from a module made safe for a terminal: control bytes and bytes >= 0x7F as \xNN.
std::string Druckbar(std::string_view text);

// Local time as ISO 8601 with milliseconds and offset, e.g. "2026-12-06T21:19:04.123+01:00".
std::string Zeitstempel(std::chrono::system_clock::time_point t);
