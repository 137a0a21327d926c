// TLX1Befehlszeile: the window program's command line. It is read before anything of the user
// interface exists, so that --version and --help need no display.
#pragma once

// Checks the arguments: --version and --help print to standard output; an unknown option, or an
// argument the program does not take, is refused with a message on standard error. The toolkit's
// own options (-platform NAME, -style NAME, -reverse, ...) pass unchecked.
// -1 (start the program), 0 (printed the version or the help), 2 (refused).
int Befehlszeile_Pruefen(int argc, char *argv[]);

// 1 when the arguments ask for settings kept per user (--benutzereinstellungen), else 0.
int Befehlszeile_Benutzereinstellungen(int argc, char *argv[]);
