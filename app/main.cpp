// Process entry of the window program: the Qt view paints on this thread while the program's main
// routine runs on a program thread of its own.
#include "app/TLX1Steuerung.h"
#include "platform/qt/qtview.h"

int main(int argc, char *argv[])
{
    UseQtView();
    return QtView_RunProgram(TLX1Steuerung_Main, argc, argv);
}
