// Windows-1252 <-> Unicode for the Qt view's boundary. Every text inside the program is single-byte
// Windows-1252; only texts handed to or taken from Qt are converted, here and nowhere else.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// Every byte maps to one character; the five bytes Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 control of the same number, so any byte string survives a round trip.
QString Cp1252ToQString(std::string_view bytes);
// Characters Windows-1252 cannot hold become '?'; *unmapped (if given) receives how many did.
std::string QStringToCp1252(const QString &text, int *unmapped = nullptr);
// 1 if the character has a Windows-1252 byte, else 0.
int Cp1252CanEncode(QChar c);

class QLineEdit;
// From now on the line edit drops, as they are typed or pasted, the characters the program's texts
// cannot hold (no Windows-1252 byte, control characters); the text still counts as edited.
void KeepCp1252Typing(QLineEdit *edit);
