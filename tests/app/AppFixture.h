// Runs the program's main routine on the headless panel model, each test in a working folder of its
// own (the settings file lands in the current directory).
#pragma once

#include "app/TLX1Konfig.h"
#include "app/TLX1Steuerung.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdlib.h>
#include <string>

class AppTest : public ::testing::Test {
 protected:
    void SetUp() override
    {
        old_ = std::filesystem::current_path();
        std::string d = (std::filesystem::temp_directory_path() / "tlx1app-XXXXXX").string();
        ASSERT_NE(mkdtemp(d.data()), nullptr);
        dir_ = d;
        std::filesystem::current_path(dir_);
    }
    void TearDown() override
    {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }

    // Starts the program; the script plays the operator while the event loop runs.
    static int run(std::function<void()> script)
    {
        UiTest_Reset();
        UiTest_SetRunScript(std::move(script));
        char name[] = "tlx1steuerung";
        char *argv[] = {name, nullptr};
        return TLX1Steuerung_Main(1, argv);
    }
    static void quit() { UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN); }

    std::string ini() const
    {
        std::ostringstream s;
        s << std::ifstream(dir_ / "tlx1steuerung.ini", std::ios::binary).rdbuf();
        return s.str();
    }
    void writeIni(const std::string &text) const { std::ofstream(dir_ / "tlx1steuerung.ini", std::ios::binary) << text; }

    // Control values and attributes as the model holds them.
    static double num(int p, int c) { double v = -1e9; GetCtrlVal(p, c, &v); return v; }
    static int integer(int p, int c) { int v = -1; GetCtrlVal(p, c, &v); return v; }
    static std::string text(int p, int c) { char b[256] = "?"; GetCtrlVal(p, c, b, sizeof b); return b; }
    static int precision(int c) { int v = -1; GetCtrlAttribute(panelHandle, c, ATTR_PRECISION, &v); return v; }
    static double limit(int c, int attr) { double v = -1e9; GetCtrlAttribute(panelHandle, c, attr, &v); return v; }
    static std::string axisName()
    {
        std::string v;
        GetCtrlAttribute(panelHandle, PANEL_STRIPCHART, ATTR_YNAME, &v);
        return v;
    }

    // The operator applies a scaling: "Skalieren...", the five fields, "Ok".
    static void scale(double vmin, double vmax, double emin, double emax, const char *unit)
    {
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_KONFIG_SKALIERUNG);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMIN_VOLT, vmin);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_VOLT, vmax);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMIN_UMGERECHNET, emin);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKALMAX_UMGERECHNET, emax);
        UiTest_Enter(konfigpanelHandle, KONFIGPNL_SKAL_EINHEIT, unit);
        UiTest_Press(konfigpanelHandle, KONFIGPNL_OK);
    }

    std::filesystem::path dir_, old_;
};
