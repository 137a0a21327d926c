// The panel file "TLX1Steuerung.uir" as data: the three panels, their controls and the menu bar.
//
// Positions are the control's body in pixels at scale 1; a field's, ring's or LED's label sits above
// it (one 18-pixel line per label line) unless the row reads as a sentence, where it sits to the right.
// All texts are Windows-1252.
#include "ui/TLX1Steuerung.h"

#include "platform/userint/userint.h"

#include <climits>
#include <iterator>
#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Box {
    int top, left, width, height;
};

constexpr CtrlDef Base(int id, const char *name, CtrlKind kind, DataType type, const char *label, Box b)
{
    CtrlDef d{};
    d.id = id;
    d.constantName = name;
    d.kind = kind;
    d.dataType = type;
    d.label = label;
    d.minValue = -kInf;
    d.maxValue = kInf;
    d.increment = 1.0;
    d.top = b.top;
    d.left = b.left;
    d.width = b.width;
    d.height = b.height;
    d.maxEntryLength = -1;
    return d;
}

constexpr CtrlDef Text(int id, const char *name, const char *text, Box b)
{
    CtrlDef d = Base(id, name, CTRL_TEXT_MSG, VAL_STRING, nullptr, b);
    d.startText = text;
    return d;
}

constexpr CtrlDef Numeric(int id, const char *name, const char *label, double start, double min, double max,
                          double incr, int digits, const char *callback, Box b)
{
    CtrlDef d = Base(id, name, CTRL_NUMERIC, VAL_DOUBLE, label, b);
    d.startValue = start;
    d.minValue = min;
    d.maxValue = max;
    d.increment = incr;
    d.precision = digits;
    d.callbackName = callback;
    return d;
}

constexpr CtrlDef Indicator(CtrlDef d)
{
    d.kind = CTRL_NUMERIC_INDICATOR;
    return d;
}

constexpr CtrlDef Ring(int id, const char *name, const char *label, DataType type, const RingItemDef *items, int count,
                       const char *callback, Box b)
{
    CtrlDef d = Base(id, name, CTRL_RING, type, label, b);
    d.items = items;
    d.itemCount = count;
    d.startValue = items[0].value;  // a ring starts on its first item
    d.callbackName = callback;
    return d;
}

constexpr CtrlDef Button(int id, const char *name, const char *label, const char *callback, Box b)
{
    CtrlDef d = Base(id, name, CTRL_COMMAND_BUTTON, VAL_NO_TYPE, label, b);
    d.callbackName = callback;
    return d;
}

constexpr CtrlDef Toggle(int id, const char *name, const char *offText, const char *onText, const char *callback, Box b)
{
    CtrlDef d = Base(id, name, CTRL_TOGGLE_BUTTON, VAL_INTEGER, nullptr, b);
    d.minValue = 0;
    d.maxValue = 1;
    d.offText = offText;
    d.onText = onText;
    d.callbackName = callback;
    return d;
}

constexpr CtrlDef Led(int id, const char *name, const char *label, int onColor, Box b)
{
    CtrlDef d = Base(id, name, CTRL_LED, VAL_INTEGER, label, b);
    d.minValue = 0;
    d.maxValue = 1;
    d.onColor = onColor;
    return d;
}

constexpr CtrlDef String(int id, const char *name, const char *label, const char *start, Box b)
{
    CtrlDef d = Base(id, name, CTRL_STRING, VAL_STRING, label, b);
    d.startText = start;
    return d;
}

constexpr CtrlDef StringIndicator(int id, const char *name, const char *label, Box b)
{
    CtrlDef d = Base(id, name, CTRL_STRING_INDICATOR, VAL_STRING, label, b);
    d.startText = "";
    return d;
}

constexpr CtrlDef Timer(int id, const char *name, double interval, const char *callback, Box b)
{
    CtrlDef d = Base(id, name, CTRL_TIMER, VAL_NO_TYPE, nullptr, b);
    d.startValue = 1;  // running
    d.extra = interval;
    d.callbackName = callback;
    return d;
}

constexpr CtrlDef Frame(int id, const char *name, Box b)
{
    return Base(id, name, CTRL_DECORATION, VAL_NO_TYPE, nullptr, b);
}

constexpr CtrlDef Dimmed(CtrlDef d)
{
    d.dimmed = 1;
    return d;
}

constexpr CtrlDef Hidden(CtrlDef d)
{
    d.hidden = 1;
    return d;
}

constexpr CtrlDef LabelRight(CtrlDef d)
{
    d.labelPosition = LABEL_RIGHT;
    return d;
}

constexpr CtrlDef EntryLength(CtrlDef d, int length)
{
    d.maxEntryLength = length;
    return d;
}

constexpr CtrlDef Grows(CtrlDef d, int growth)
{
    d.growth = growth;
    return d;
}

constexpr CtrlDef Table(int id, const char *name, const char *header, Box b)
{
    CtrlDef d = Base(id, name, CTRL_TABLE, VAL_STRING, nullptr, b);
    d.startText = header;
    return d;
}

// Enter or Escape (VAL_ENTER_KEY, VAL_ESCAPE_KEY) press this button from anywhere on its panel.
constexpr CtrlDef PanelKeys(CtrlDef d, int keys)
{
    d.panelKeys = keys;
    return d;
}

constexpr CtrlDef IntegerValues(CtrlDef d)
{
    d.dataType = VAL_INTEGER;
    d.minValue = INT_MIN;
    d.maxValue = INT_MAX;
    return d;
}

// ---- PANEL: main window ----------------------------------------------------------------------------

// clang-format off
constexpr RingItemDef kBetriebsarten[] = {
    {"Digitaler Sollwert", 1.0},
    {"Analoger Sollwert",  2.0},
    {"Stellbetrieb",       3.0},
};
// clang-format on

constexpr RingItemDef kAdressen[] = {
    {"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}, {"alle", 9},
};

constexpr RingItemDef kPorts[] = {
    {"COM 1", 1}, {"COM 2", 2}, {"COM 3", 3}, {"COM 4", 4}, {"COM 5", 5}, {"COM 6", 6}, {"COM 7", 7}, {"COM 8", 8},
};

constexpr const char *kParameterCb = "Callback_Main_Numerics_Parametereingabe";
constexpr const char *kZoomCb = "Callback_Main_MultipleControls_Graphzoom";

constexpr CtrlDef Chart(int id, const char *name, const char *yName, const char *xName, int points, Box b)
{
    CtrlDef d = Base(id, name, CTRL_STRIP_CHART, VAL_DOUBLE, nullptr, b);
    d.minValue = 0.0;
    d.maxValue = 10.0;
    d.onText = yName;
    d.offText = xName;
    d.extra = points;  // points per screen
    return d;
}

// The chart's span in points at one point per 0.1 s.
constexpr RingItemDef kZeitspannen[] = {
    {"20 s", 200},
    {"1 min", 600},
    {"5 min", 3000},
    {"30 min", 18000},
};

constexpr CtrlDef kMainControls[] = {
    Text(PANEL_TEXTMSG, "TEXTMSG", "PARAMETER", {20, 24, 140, 18}),
    Numeric(PANEL_PANTEIL, "PANTEIL", "P-Anteil", 0, -99999, 99999, 1, 4, kParameterCb, {64, 24, 110, 22}),
    Numeric(PANEL_IANTEIL, "IANTEIL", "I-Anteil", 1, -99999, 99999, 1, 4, kParameterCb, {64, 180, 110, 22}),
    Numeric(PANEL_DANTEIL, "DANTEIL", "D-Anteil", 0, -99999, 99999, 0.001, 4, kParameterCb, {114, 24, 110, 22}),
    Numeric(PANEL_STELLMIN, "STELLMIN",
            "min. Stellgr\xF6\xDF"
            "e [V]",
            0, 0, 10, 1, 3, kParameterCb, {164, 24, 110, 22}),
    Numeric(PANEL_STELLMAX, "STELLMAX",
            "max. Stellgr\xF6\xDF"
            "e [V]",
            10, 0, 10, 1, 3, kParameterCb, {164, 180, 110, 22}),
    Numeric(PANEL_ANFANGSSOLLWERT, "ANFANGSSOLLWERT", "Sollwert beim\nEinschalten", 0, 0, 10, 1, 3, nullptr,
            {232, 24, 110, 22}),
    Numeric(PANEL_ANSTIEGSZEIT, "ANSTIEGSZEIT", "max. Anstiegsgeschwindigkeit\ndes Sollwertes", 1000, 0, 1000, 1, 3,
            kParameterCb, {302, 24, 110, 22}),
    Ring(PANEL_BETRIEBSART, "BETRIEBSART", "Betriebsart", VAL_DOUBLE, kBetriebsarten, int(std::size(kBetriebsarten)),
         "Callback_Main_Ring_Betriebsart", {354, 24, 160, 22}),
    Button(PANEL_LESEN, "LESEN", "Lesen", "Callback_Main_ButtonLesen", {392, 24, 110, 28}),
    Button(PANEL_SCHREIBEN, "SCHREIBEN", "Schreiben", "Callback_Main_Button_Schreiben", {392, 180, 110, 28}),
    Toggle(PANEL_VERBINDEN, "VERBINDEN", "verbinden", "trennen", "Callback_Main_Togglebutton_Verbinden",
           {472, 356, 100, 28}),
    Numeric(PANEL_STELLWERT, "STELLWERT", "Stellwert", 0, 0, 10, 1, 3, "Callback_Main_Numeric_Stellwert",
            {476, 640, 96, 22}),
    Numeric(PANEL_SOLLWERT, "SOLLWERT", "Sollwert", 0, 0, 10, 1, 3, "Callback_Main_Numeric_Sollwert",
            {476, 476, 96, 22}),
    Dimmed(Indicator(Numeric(PANEL_ISTWERT, "ISTWERT", "Istwert", 0, -kInf, kInf, 1, 3, nullptr, {476, 796, 96, 22}))),
    Numeric(PANEL_GRAPHZOOMMIN, "GRAPHZOOMMIN", "min.", 0, -kInf, kInf, 1, 2, kZoomCb, {404, 368, 80, 22}),
    Numeric(PANEL_GRAPHZOOMMAX, "GRAPHZOOMMAX", "max.", 10, -kInf, kInf, 1, 2, kZoomCb, {404, 512, 80, 22}),
    Button(PANEL_GRAPHZOOMZURUECK, "GRAPHZOOMZURUECK", "Zoom 1:1", kZoomCb, {402, 660, 84, 26}),
    Text(PANEL_TEXTMSG_3, "TEXTMSG_3", "COM-Einstellungen", {452, 24, 160, 18}),
    Ring(PANEL_ADRESSE, "ADRESSE", "TLX-1 Adresse", VAL_INTEGER, kAdressen, int(std::size(kAdressen)), nullptr,
         {496, 24, 90, 22}),
    Ring(PANEL_PORT, "PORT", "COM-Port", VAL_INTEGER, kPorts, int(std::size(kPorts)), nullptr, {496, 130, 90, 22}),
    Led(PANEL_LED1, "LED1", "1", VAL_GREEN, {548, 24, 18, 18}),
    Led(PANEL_LED2, "LED2", "2", VAL_GREEN, {548, 50, 18, 18}),
    Led(PANEL_LED3, "LED3", "3", VAL_GREEN, {548, 76, 18, 18}),
    Led(PANEL_LED4, "LED4", "4", VAL_GREEN, {548, 102, 18, 18}),
    Led(PANEL_LED5, "LED5", "5", VAL_GREEN, {548, 128, 18, 18}),
    Led(PANEL_LED6, "LED6", "6", VAL_GREEN, {548, 154, 18, 18}),
    Led(PANEL_LED7, "LED7", "7", VAL_GREEN, {548, 180, 18, 18}),
    Led(PANEL_LED8, "LED8", "8", VAL_GREEN, {548, 206, 18, 18}),
    Button(PANEL_SCANN, "SCANN", "Scann", "Callback_Main_Button_Scann", {494, 236, 94, 26}),
    Button(PANEL_IDLESEN, "IDLESEN", "ID lesen", "Callback_Main_Button_IDLesen", {542, 236, 94, 26}),
    Led(PANEL_FEHLERLED, "FEHLERLED", "Fehler", VAL_RED, {534, 362, 20, 20}),
    StringIndicator(PANEL_FEHLERSTRING, "FEHLERSTRING", nullptr, {533, 490, 478, 22}),
    IntegerValues(
        Indicator(Numeric(PANEL_FEHLERNUMMER, "FEHLERNUMMER", nullptr, 0, 0, 0, 1, 0, nullptr, {533, 400, 80, 22}))),
    // "TEST" is a leftover of the panel's design that no code uses; an operator would only wonder.
    Hidden(Text(PANEL_TEXTMSG_2, "TEXTMSG_2", "TEST", {600, 356, 40, 18})),
    Timer(PANEL_TIMER, "TIMER", 0.1, "Callback_Main_Timer", {600, 944, 24, 24}),
    Text(PANEL_TEXT, "TEXT", "Text Message", {574, 356, 612, 18}),
    StringIndicator(PANEL_IDSTRING, "IDSTRING", "ID", {596, 24, 306, 22}),
    Frame(PANEL_DECORATION, "DECORATION", {12, 12, 330, 420}),       // PARAMETER
    Frame(PANEL_DECORATION_2, "DECORATION_2", {444, 12, 330, 186}),  // COM-Einstellungen
    Frame(PANEL_DECORATION_3, "DECORATION_3", {354, 356, 400, 88}),  // Diagramm Zoom
    Text(PANEL_ANFANGSSOLLWERTEINHEI, "ANFANGSSOLLWERTEINHEI", "[V]", {234, 138, 56, 18}),
    // The slope is in volts per second, as the scaling writes it ("[%s/s]").
    Text(PANEL_ANSTEIGSZEITEINHEIT, "ANSTEIGSZEITEINHEIT", "[V/s]", {304, 138, 64, 18}),
    Text(PANEL_STELLWERTEINHEIT, "STELLWERTEINHEIT", "[V]", {478, 740, 40, 18}),
    Dimmed(Text(PANEL_ISTWERTEINHEIT, "ISTWERTEINHEIT", "[V]", {478, 896, 52, 18})),
    Text(PANEL_SOLLWERTEINHEIT, "SOLLWERTEINHEIT", "[V]", {478, 576, 52, 18}),
    // 200 points per screen: 20 s at one point per 0.1 s. It takes the width the window gains.
    Grows(Chart(PANEL_STRIPCHART, "STRIPCHART", "Istwert [V]", "4 s / div", 200, {12, 356, 612, 330}), GROW_WIDTH),
    Text(PANEL_ZOOMMINEINHEIT, "ZOOMMINEINHEIT", "[V]", {406, 452, 52, 18}),
    Text(PANEL_ZOOMMAXEINHEIT, "ZOOMMAXEINHEIT", "[V]", {406, 596, 52, 18}),
    Text(PANEL_TEXTMSG_4, "TEXTMSG_4", "Diagramm Zoom", {362, 368, 140, 18}),
    Ring(PANEL_ZEITSPANNE, "ZEITSPANNE", "Zeitspanne", VAL_INTEGER, kZeitspannen, int(std::size(kZeitspannen)),
         "Callback_Main_Diagramm", {382, 772, 80, 22}),
    Toggle(PANEL_ANHALTEN, "ANHALTEN", "Anhalten", "Weiter", "Callback_Main_Diagramm", {380, 866, 96, 26}),
    Text(PANEL_AUFZEICHNUNG, "AUFZEICHNUNG", "", {418, 772, 196, 18}),
    // Below the controls: the list takes whatever the window gains in width and height.
    Grows(Table(PANEL_SPRUENGE, "SPRUENGE", "", {652, 12, 956, 100}), GROW_WIDTH | GROW_HEIGHT),
};
static_assert(std::size(kMainControls) == 54, "PANEL has the controls 2 to 55");

// clang-format off
constexpr MenuItemDef kDateiItems[] = {
    {MENUBAR_DATEI_PARAMETE,   "PARAMETE",   "Parametersatz laden",     0, "Callback_Menu_Laden",     "Ctrl+O"},
    {MENUBAR_DATEI_PARAMETE_2, "PARAMETE_2", "Parametersatz speichern", 0, "Callback_Menu_Speichern", "Ctrl+S"},
    {MENUBAR_DATEI_VERGLEICHEN, "VERGLEICHEN", "Vergleichen...",        0, "Callback_Menu_Vergleichen"},
    {MENUBAR_DATEI_SEPARATOR_2, "SEPARATOR_2", nullptr,                 1, nullptr},
    {MENUBAR_DATEI_AUFZEICHNUNG_SPEICHERN, "AUFZEICHNUNG_SPEICHERN", "Aufzeichnung speichern...", 0,
     "Callback_Menu_AufzeichnungSpeichern"},
    {MENUBAR_DATEI_BILD_SPEICHERN, "BILD_SPEICHERN", "Diagramm als Bild speichern...", 0, "Callback_Menu_BildSpeichern"},
    {MENUBAR_DATEI_AUFZEICHNUNG_STARTEN, "AUFZEICHNUNG_STARTEN", "Aufzeichnung starten...", 0,
     "Callback_Menu_AufzeichnungStarten"},
    {MENUBAR_DATEI_AUFZEICHNUNG_BEENDEN, "AUFZEICHNUNG_BEENDEN", "Aufzeichnung beenden", 0,
     "Callback_Menu_AufzeichnungBeenden"},
    {MENUBAR_DATEI_SEPARATOR,  "SEPARATOR",  nullptr,                   1, nullptr},
    {MENUBAR_DATEI_BEENDEN,    "BEENDEN",    "Beenden",                 0, "Callback_Menu_Beenden",   "Ctrl+Q"},
};
constexpr MenuItemDef kKonfigItems[] = {
    {MENUBAR_KONFIG_SKALIERUNG,     "SKALIERUNG",     "Skalieren...",       0, "Callback_Menu_Skalieren"},
    {MENUBAR_KONFIG_SCHNITTSTELLEN, "SCHNITTSTELLEN", "Schnittstellen...",  0, "Callback_Menu_Schnittstellen"},
};
// clang-format on
constexpr MenuItemDef kAnalyseItems[] = {
    {MENUBAR_ANALYSE_STRECKE, "STRECKE", "Strecke identifizieren...", 0, "Callback_Menu_Strecke"},
};
// clang-format off
constexpr MenuItemDef kInfoItems[] = {
    {MENUBAR_MENU_HANDBUCH, "HANDBUCH", "Handbuch", 0, "Callback_Menu_Handbuch", "F1"},
    {MENUBAR_MENU_BER,      "BER",      "Info...",  0, "Callback_Menu_Info"},
};
constexpr MenuDef kMenus[] = {
    {MENUBAR_DATEI,  "DATEI",  "Datei",         kDateiItems,  int(std::size(kDateiItems)),  'D'},
    {MENUBAR_KONFIG, "KONFIG", "Konfiguration", kKonfigItems, int(std::size(kKonfigItems)), 'K'},
    {MENUBAR_ANALYSE, "ANALYSE", "Analyse",     kAnalyseItems, int(std::size(kAnalyseItems)), 'A'},
    {MENUBAR_MENU,   "MENU",   "?",             kInfoItems,   int(std::size(kInfoItems)),   '?'},
};
// clang-format on
constexpr MenuBarDef kMenuBar = {MENUBAR, kMenus, int(std::size(kMenus))};

// ---- KONFIGPNL: scaling dialog; its rows read as one sentence, labels to the right -----------------

constexpr CtrlDef kKonfigControls[] = {
    Text(KONFIGPNL_TEXTMSG, "TEXTMSG", "Skalierung von Sollwert und Istwert", {14, 16, 400, 20}),
    LabelRight(
        Numeric(KONFIGPNL_SKALMIN_VOLT, "SKALMIN_VOLT", "V bis", 0, -kInf, kInf, 1, 3, nullptr, {48, 16, 90, 22})),
    LabelRight(Numeric(KONFIGPNL_SKALMAX_VOLT, "SKALMAX_VOLT", "V am TLX-1", 10, -kInf, kInf, 1, 3, nullptr,
                       {48, 160, 90, 22})),
    Text(KONFIGPNL_TEXTMSG_2, "TEXTMSG_2", "wird umgerechnet in", {86, 16, 220, 18}),
    LabelRight(Numeric(KONFIGPNL_SKALMIN_UMGERECHNET, "SKALMIN_UMGERECHNET", "bis", 0, -kInf, kInf, 1, 3, nullptr,
                       {112, 16, 90, 22})),
    Numeric(KONFIGPNL_SKALMAX_UMGERECHNET, "SKALMAX_UMGERECHNET", nullptr, 10, -kInf, kInf, 1, 3, nullptr,
            {112, 160, 90, 22}),
    // The unit field of the scaling record holds 5 characters; the program sets this again at start.
    LabelRight(EntryLength(String(KONFIGPNL_SKAL_EINHEIT, "SKAL_EINHEIT", "(Einheit)", "V", {112, 262, 70, 22}), 5)),
    Button(KONFIGPNL_AUFSTANDARDWERTE, "AUFSTANDARDWERTE",
           "auf Standardwerte zur\xFC"
           "cksetzen",
           "Callback_Konfig_Button_AufStandardwerte", {156, 16, 230, 28}),
    PanelKeys(Button(KONFIGPNL_ABBRUCH, "ABBRUCH", "Abbruch", "Callback_Konfig_Button_Abbruch", {156, 330, 90, 28}),
              VAL_ESCAPE_KEY),
    PanelKeys(Button(KONFIGPNL_OK, "OK", "Ok", "Callback_Konfig_Button_Ok", {156, 430, 90, 28}), VAL_ENTER_KEY),
};
static_assert(std::size(kKonfigControls) == 10, "KONFIGPNL has the controls 2 to 11");

// ---- ABOUTPANEL: about box ---------------------------------------------------------------------------

constexpr CtrlDef Picture(int id, const char *name, const char *image, Box b)
{
    CtrlDef d = Base(id, name, CTRL_PICTURE, VAL_NO_TYPE, nullptr, b);
    d.startText = image;
    return d;
}

constexpr CtrlDef kAboutControls[] = {
    Text(ABOUTPANEL_TEXTMSG, "TEXTMSG", "TLX1-Steuerung", {20, 96, 320, 24}),
    Text(ABOUTPANEL_VERSION, "VERSION", "Version", {52, 96, 100, 18}),
    Text(ABOUTPANEL_DATUM, "DATUM", "Datum", {52, 204, 100, 18}),
    Text(ABOUTPANEL_TEXTMSG_4, "TEXTMSG_4", "TLX1-Steuerung \x96 Bediensoftware f\xFCr das TLX-1 Regelmodul",
         {100, 16, 408, 18}),
    Text(ABOUTPANEL_TEXTMSG_5, "TEXTMSG_5",
         "Mit TLX1-Steuerung k\xF6nnen die Regelparameter\neines TLX-1 Regelmoduls eingestellt werden.",
         {130, 16, 408, 40}),
    PanelKeys(Button(ABOUTPANEL_OK, "OK", "OK", "Callback_Info_Button_Ok", {196, 180, 80, 28}),
              VAL_ENTER_KEY | VAL_ESCAPE_KEY),
    // The view draws this emblem itself: a stylised control loop with the letters TLX-1.
    Picture(ABOUTPANEL_PICTURE, "PICTURE", "tlx1-emblem", {16, 16, 64, 64}),
    // The program sets the version at start; the panel grew by this line.
    Text(ABOUTPANEL_PROGRAMMVERSION, "PROGRAMMVERSION", "Programmversion", {236, 16, 408, 18}),
};
static_assert(std::size(kAboutControls) == 8, "ABOUTPANEL has the controls 2 to 9");

// ---- SCHNITTPNL: the device of each COM port ----------------------------------------------------------

// A device: a path or a network address, as long as the settings file's line can hold it.
constexpr int kGeraetLaenge = 240;

constexpr CtrlDef Combo(int id, const char *name, const char *label, Box b)
{
    CtrlDef d = Base(id, name, CTRL_COMBO_BOX, VAL_STRING, label, b);
    d.startText = "";
    d.maxEntryLength = kGeraetLaenge;
    d.labelPosition = LABEL_LEFT;
    return d;
}

constexpr CtrlDef CheckBox(int id, const char *name, const char *label, Box b)
{
    CtrlDef d = Base(id, name, CTRL_CHECK_BOX, VAL_INTEGER, label, b);
    d.minValue = 0;
    d.maxValue = 1;
    return d;
}

// Row n (1..8): the device field and, beside it, where its device comes from.
constexpr Box GeraetZeile(int n)
{
    return {48 + 32 * (n - 1), 64, 440, 22};
}
constexpr Box QuelleZeile(int n)
{
    return {50 + 32 * (n - 1), 516, 248, 18};
}

constexpr CtrlDef kSchnittControls[] = {
    Text(SCHNITTPNL_TEXTMSG, "TEXTMSG",
         "Welches Ger\xE4t COM 1 bis COM 8 \xF6"
         "ffnen",
         {14, 16, 560, 20}),
    Combo(SCHNITTPNL_COM1, "COM1", "COM 1", GeraetZeile(1)),
    Combo(SCHNITTPNL_COM2, "COM2", "COM 2", GeraetZeile(2)),
    Combo(SCHNITTPNL_COM3, "COM3", "COM 3", GeraetZeile(3)),
    Combo(SCHNITTPNL_COM4, "COM4", "COM 4", GeraetZeile(4)),
    Combo(SCHNITTPNL_COM5, "COM5", "COM 5", GeraetZeile(5)),
    Combo(SCHNITTPNL_COM6, "COM6", "COM 6", GeraetZeile(6)),
    Combo(SCHNITTPNL_COM7, "COM7", "COM 7", GeraetZeile(7)),
    Combo(SCHNITTPNL_COM8, "COM8", "COM 8", GeraetZeile(8)),
    Text(SCHNITTPNL_QUELLE1, "QUELLE1", "", QuelleZeile(1)),
    Text(SCHNITTPNL_QUELLE2, "QUELLE2", "", QuelleZeile(2)),
    Text(SCHNITTPNL_QUELLE3, "QUELLE3", "", QuelleZeile(3)),
    Text(SCHNITTPNL_QUELLE4, "QUELLE4", "", QuelleZeile(4)),
    Text(SCHNITTPNL_QUELLE5, "QUELLE5", "", QuelleZeile(5)),
    Text(SCHNITTPNL_QUELLE6, "QUELLE6", "", QuelleZeile(6)),
    Text(SCHNITTPNL_QUELLE7, "QUELLE7", "", QuelleZeile(7)),
    Text(SCHNITTPNL_QUELLE8, "QUELLE8", "", QuelleZeile(8)),
    Text(SCHNITTPNL_HINWEIS, "HINWEIS",
         "Ein Ger\xE4t aus der Liste w\xE4hlen oder einen Pfad oder eine Netzadresse eingeben:\n"
         "tcp://RECHNER:PORT (Bytes unver\xE4ndert) oder rfc2217://RECHNER:PORT (der Server stellt die Leitung ein).\n"
         "Eine gesetzte Umgebungsvariable TLX1_COMn gilt vor dieser Auswahl; ihre Zeile ist gesperrt.",
         {304, 16, 748, 54}),
    CheckBox(SCHNITTPNL_WIEDERVERBINDEN, "WIEDERVERBINDEN", "Automatisch wieder verbinden", {370, 16, 400, 22}),
    PanelKeys(Button(SCHNITTPNL_ABBRUCH, "ABBRUCH", "Abbruch", "Callback_Schnittstellen_Abbruch", {404, 580, 90, 28}),
              VAL_ESCAPE_KEY),
    PanelKeys(Button(SCHNITTPNL_OK, "OK", "OK", "Callback_Schnittstellen_Ok", {404, 680, 90, 28}), VAL_ENTER_KEY),
};
static_assert(std::size(kSchnittControls) == 21, "SCHNITTPNL has the controls 2 to 22");

// ---- ANALYSEPNL: plant test and tuning proposal --------------------------------------------------------

constexpr const char *kAnalyseText =
    "F\xFCr den Test schaltet das Programm das Modul in den Stellbetrieb (Betriebsart 3), h\xE4lt die\n"
    "Stellgr\xF6\xDF"
    "e eine Sekunde und l\xE4sst sie dann auf den neuen Wert springen. Danach stellt es\n"
    "Betriebsart und Stellgr\xF6\xDF"
    "e wieder her, auch wenn der Test abgebrochen wird.";

constexpr CtrlDef kAnalyseControls[] = {
    Text(ANALYSEPNL_TEXT, "TEXT", kAnalyseText, {12, 16, 568, 54}),
    Indicator(Numeric(ANALYSEPNL_STELLALT, "STELLALT",
                      "Stellgr\xF6\xDF"
                      "e jetzt [V]",
                      0, -kInf, kInf, 1, 3, nullptr, {92, 16, 110, 22})),
    Numeric(ANALYSEPNL_STELLNEU, "STELLNEU",
            "Stellgr\xF6\xDF"
            "e im Test [V]",
            0, 0, 10, 0.1, 3, nullptr, {92, 172, 110, 22}),
    Numeric(ANALYSEPNL_DAUER, "DAUER",
            "Aufnahme h\xF6"
            "chstens [s]",
            60, 2, 600, 10, 0, nullptr, {92, 332, 110, 22}),
    Button(ANALYSEPNL_STARTEN, "STARTEN", "Test starten", "Callback_Analyse_Starten", {88, 490, 98, 28}),
    Text(ANALYSEPNL_STATUS, "STATUS", "", {124, 16, 568, 18}),
    Chart(ANALYSEPNL_DIAGRAMM, "DIAGRAMM", "Istwert [V]", "Antwort auf den Sprung", 600, {150, 16, 568, 210}),
    Indicator(Numeric(ANALYSEPNL_K, "K", "Verst\xE4rkung K", 0, -kInf, kInf, 1, 3, nullptr, {392, 16, 110, 22})),
    Indicator(Numeric(ANALYSEPNL_T, "T", "Zeitkonstante T [s]", 0, -kInf, kInf, 1, 2, nullptr, {392, 166, 110, 22})),
    Indicator(Numeric(ANALYSEPNL_L, "L", "Totzeit L [s]", 0, -kInf, kInf, 1, 2, nullptr, {392, 316, 110, 22})),
    Indicator(
        Numeric(ANALYSEPNL_R2, "R2", "Bestimmtheitsma\xDF R\xB2", 0, -kInf, kInf, 1, 3, nullptr, {392, 466, 110, 22})),
    Text(ANALYSEPNL_REGEL, "REGEL", "", {426, 16, 568, 18}),
    Numeric(ANALYSEPNL_TAUC, "TAUC", "Zeitkonstante des\nRegelkreises [s]", 1, 0.01, 10000, 0.1, 2,
            "Callback_Analyse_TauC", {486, 16, 110, 22}),
    Indicator(Numeric(ANALYSEPNL_P, "P", "P-Anteil", 0, -kInf, kInf, 1, 4, nullptr, {486, 166, 110, 22})),
    Indicator(Numeric(ANALYSEPNL_I, "I", "I-Anteil", 0, -kInf, kInf, 1, 4, nullptr, {486, 316, 110, 22})),
    Indicator(Numeric(ANALYSEPNL_D, "D", "D-Anteil", 0, -kInf, kInf, 1, 4, nullptr, {486, 466, 110, 22})),
    Dimmed(Button(ANALYSEPNL_UEBERNEHMEN, "UEBERNEHMEN",
                  "\xDC"
                  "bernehmen",
                  "Callback_Analyse_Uebernehmen", {530, 346, 114, 28})),
    PanelKeys(Button(ANALYSEPNL_SCHLIESSEN, "SCHLIESSEN",
                     "Schlie\xDF"
                     "en",
                     "Callback_Analyse_Schliessen", {530, 466, 114, 28}),
              VAL_ESCAPE_KEY),
};
static_assert(std::size(kAnalyseControls) == 18, "ANALYSEPNL has the controls 2 to 19");

// Each table numbers its controls 2, 3, ... in order; a slip here would rename controls silently.
template <size_t N>
constexpr bool NumberedFromTwo(const CtrlDef (&controls)[N])
{
    for (size_t i = 0; i < N; ++i)
        if (controls[i].id != int(i) + 2)
            return false;
    return true;
}
static_assert(NumberedFromTwo(kMainControls) && NumberedFromTwo(kKonfigControls) && NumberedFromTwo(kAboutControls) &&
              NumberedFromTwo(kSchnittControls) && NumberedFromTwo(kAnalyseControls));

constexpr PanelDef kPanels[] = {
    {ABOUTPANEL, "ABOUTPANEL",
     "\xDC"
     "ber TLX1-Steuerung",
     nullptr, 440, 266, kAboutControls, int(std::size(kAboutControls)), nullptr},
    {KONFIGPNL, "KONFIGPNL", "Konfiguration", "Callback_MainAndKonfig_Panel", 536, 200, kKonfigControls,
     int(std::size(kKonfigControls)), nullptr},
    // The window may be enlarged; the list of steps below the controls made it taller than the design.
    {PANEL, "PANEL", "TLX-1 Steuerung", "Callback_MainAndKonfig_Panel", 980, 764, kMainControls,
     int(std::size(kMainControls)), &kMenuBar, 1},
    {SCHNITTPNL, "SCHNITTPNL", "Schnittstellen", "Callback_Schnittstellen_Panel", 780, 448, kSchnittControls,
     int(std::size(kSchnittControls)), nullptr},
    {ANALYSEPNL, "ANALYSEPNL", "Strecke identifizieren", "Callback_Analyse_Panel", 600, 572, kAnalyseControls,
     int(std::size(kAnalyseControls)), nullptr},
};

}  // namespace

void TLX1Steuerung_PanelDateiRegistrieren(void)
{
    RegisterPanelFile(TLX1STEUERUNG_UIR, kPanels, int(std::size(kPanels)));
}
