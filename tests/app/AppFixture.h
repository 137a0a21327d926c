// Runs the program's main routine on the headless panel model, each test in a working folder of its
// own (the settings file lands in the current directory) and a state folder of its own for the service
// record.
#pragma once

#include "app/TLX1Konfig.h"
#include "app/TLX1Steuerung.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <tuple>
#include <vector>

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        old_ = std::filesystem::current_path();
        std::string d = (std::filesystem::temp_directory_path() / "tlx1app-XXXXXX").string();
        ASSERT_NE(mkdtemp(d.data()), nullptr);
        dir_ = d;
        std::filesystem::current_path(dir_);
        std::string z = (std::filesystem::temp_directory_path() / "tlx1state-XXXXXX").string();
        ASSERT_NE(mkdtemp(z.data()), nullptr);
        state_ = z;
        setenv("XDG_STATE_HOME", z.c_str(), 1);
    }
    void TearDown() override
    {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
        std::filesystem::remove_all(state_);
    }

    // Starts the program with the given options; the script plays the operator while the event loop
    // runs.
    static int run(std::function<void()> script, std::vector<std::string> options = {})
    {
        UiTest_Reset();
        UiTest_SetRunScript(std::move(script));
        options.insert(options.begin(), "tlx1steuerung");
        std::vector<char *> argv;
        for (std::string &o : options)
            argv.push_back(o.data());
        argv.push_back(nullptr);
        return TLX1Steuerung_Main(static_cast<int>(options.size()), argv.data());
    }
    static void quit() { UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN); }

    // Files of the working folder, byte for byte.
    std::string readFile(const std::string &name) const
    {
        std::ifstream f(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
    void writeFile(const std::string &n, const std::string &b) const { std::ofstream(dir_ / n, std::ios::binary) << b; }
    std::string ini() const { return readFile("tlx1steuerung.ini"); }
    // A text's lines without their ends.
    static std::vector<std::string> lines(const std::string &text)
    {
        std::vector<std::string> v;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);)
            v.push_back(l);
        return v;
    }
    std::string record() const { return readFile(state_ / "tlx1steuerung/protokoll.csv"); }

    // What the working folder holds, one entry a line, sorted, folders entered: "name -> target" for
    // a link, "name/" for a folder, "name |" for a FIFO, the plain name for a file.
    std::string bestand() const
    {
        std::vector<std::string> zeilen;
        for (auto it = std::filesystem::recursive_directory_iterator(dir_); it != decltype(it)(); ++it) {
            const std::string name = it->path().lexically_relative(dir_).string();
            const auto art = it->symlink_status().type();
            if (art == std::filesystem::file_type::symlink)
                zeilen.push_back(name + " -> " + std::filesystem::read_symlink(it->path()).string());
            else if (art == std::filesystem::file_type::directory)
                zeilen.push_back(name + "/");
            else if (art == std::filesystem::file_type::fifo)
                zeilen.push_back(name + " |");
            else
                zeilen.push_back(name);
        }
        std::sort(zeilen.begin(), zeilen.end());
        std::string text;
        for (const std::string &z : zeilen)
            text += z + "\n";
        return text;
    }
    void writeIni(const std::string &text) const { writeFile("tlx1steuerung.ini", text); }

    // Control values and attributes as the model holds them.
    static double num(int p, int c)
    {
        double v = -1e9;
        GetCtrlVal(p, c, &v);
        return v;
    }
    static int integer(int p, int c)
    {
        int v = -1;
        GetCtrlVal(p, c, &v);
        return v;
    }
    static std::string text(int p, int c)
    {
        char b[256] = "?";
        GetCtrlVal(p, c, b, sizeof b);
        return b;
    }
    static std::string tooltip(int p, int c)
    {
        std::string t;
        GetCtrlAttribute(p, c, ATTR_TOOLTIP, &t);
        return t;
    }
    static int precision(int c)
    {
        int v = -1;
        GetCtrlAttribute(panelHandle, c, ATTR_PRECISION, &v);
        return v;
    }
    static double limit(int c, int attr)
    {
        double v = -1e9;
        GetCtrlAttribute(panelHandle, c, attr, &v);
        return v;
    }
    static std::string axisName()
    {
        std::string v;
        GetCtrlAttribute(panelHandle, PANEL_STRIPCHART, ATTR_YNAME, &v);
        return v;
    }
    // The chart's value axis: scaling mode, lower and upper end.
    static std::tuple<int, double, double> axis()
    {
        int mode = -1;
        double lo = 0, hi = 0;
        GetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        return {mode, lo, hi};
    }
    // Message popups shown since the last call, as "title|text".
    static std::vector<std::string> messages()
    {
        std::vector<std::string> m;
        for (const UiTestPopup &p : UiTest_Popups())
            if (p.kind == UiTestPopup::MESSAGE)
                m.push_back(p.title + "|" + p.text);
        UiTest_ClearPopups();
        return m;
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

    std::filesystem::path dir_, old_, state_;
};
