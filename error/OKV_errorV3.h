// OKV_errorV3: turns an error code into the text the operator reads, and shows it in a popup.
//
// An error code is 0 for success or kind * 1000 - site for a failure (-403011: kind -403, site 11).
// The kind, code / 1000 truncated toward zero, alone selects the text; the operator sees -code.
// All texts are single-byte Windows-1252. Call from the user-interface thread only.
#pragma once

// Size of the message buffer that OKV_Fehlermeldung returns, terminating zero included.
inline constexpr int OKV_FEHLERMELDUNG_LAENGE = 500;
// Size of the user string buffer: at most 299 characters and the terminating zero.
inline constexpr int OKV_USERSTRING_LAENGE = 300;

// Text of the code's kind in the selected language, then the pending user string (which is emptied).
// Never fails: a kind without its own text gives the fallback text. Always returns the same static
// buffer, overwritten by the next call.
char *OKV_Fehlermeldung(int code);

// Selects the language of the texts: 2 English, any other value German (the start value is 1). No result.
void OKV_Fehlersprache(int sprache);

// Sets the user string appended once to the next OKV_Fehlermeldung result. No result.
// Keeps the first 299 bytes of a longer text; a null text empties the user string.
void OKV_Fehleruserstring(const char *text);

// Shows the code in a modal MessagePopup titled "Fehler #<-code>" ("Error #<-code>" in English) with the
// code's text; returns when the operator has closed it. Shows nothing, and leaves the user string
// pending, for kind -6 (codes -6999 to -6000). No result.
void OKV_Fehlerpopup(int code);

// Like OKV_Fehlerpopup, but titled "<titel> #<-code>" in either language. The title is cut to 99 bytes
// by shortening the caller's text, so the number stays visible; a null titel counts as empty. No result.
void OKV_Fehlerpopup2(int code, const char *titel);
