// Process entry of the window program: the command line, the Qt view, then the program's main routine.
#include "app/TLX1Befehlszeile.h"
#include "app/TLX1Steuerung.h"
#include "platform/qt/qtview.h"

int main(int argc, char *argv[])
{
    // Before any Qt object exists: --version and --help need no display.
    if (const int ende = Befehlszeile_Pruefen(argc, argv); ende >= 0)
        return ende;
    UseQtView();
    return TLX1Steuerung_Main(argc, argv);
}
