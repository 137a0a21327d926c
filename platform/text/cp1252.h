#pragma once
// Windows-1252, the program's text encoding, and Unicode: one table for every place where texts
// leave the program (the window, the terminal).

// The Unicode character of a byte. The five bytes Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) give the C1 control of the same number, so any byte string survives a round trip.
char16_t Cp1252ToUnicode(unsigned char byte);

// Whether the byte has a character of its own (false for the five unassigned bytes).
bool Cp1252Assigned(unsigned char byte);

// The byte of a character, or -1 when Windows-1252 has none.
int Cp1252FromUnicode(char16_t character);
