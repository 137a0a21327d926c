// Process entry of the window program: the Qt view, then the program's main routine.
#include "app/TLX1Steuerung.h"
#include "platform/qt/qtview.h"

int main(int argc, char *argv[])
{
    UseQtView();
    return TLX1Steuerung_Main(argc, argv);
}
