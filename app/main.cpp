// Process entry of the window program: the command line, then the Qt view paints on this thread while
// the program's main routine runs on a program thread of its own.
#include "app/TLX1Befehlszeile.h"
#include "app/TLX1Steuerung.h"
#include "platform/qt/qtview.h"

int main(int argc, char *argv[])
{
    // Before any Qt object exists: --version and --help need no display.
    if (const int ende = Befehlszeile_Pruefen(argc, argv); ende >= 0)
        return ende;
    UseQtView();
    return QtView_RunProgram(TLX1Steuerung_Main, argc, argv);
}
