// Runs the program's main routine on the headless panel model, each test in a fresh working folder
// of its own (the settings file lands in the current directory).
#pragma once

#include "app/TLX1Konfig.h"
#include "app/TLX1Steuerung.h"
#include "platform/userint/userint.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

class AppTest : public ::testing::Test {
 protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program; the script plays the operator while the event loop runs and must end
    // with a way of quitting. Returns the main routine's exit code.
    int runProgram(std::function<void()> script);

    // Settings file of the working folder: read whole (empty when absent) and written.
    std::string settingsFile() const;
    void writeSettingsFile(const std::string &text) const;

    // Values on the panels as the model holds them.
    static double num(int panel, int control);
    static int integer(int panel, int control);
    static std::string text(int panel, int control);
    static std::string attrText(int panel, int control, int attribute);
    static int precision(int panel, int control);
    static double minValue(int panel, int control);
    static double maxValue(int panel, int control);

    // The operator applies a scaling through the dialog: "Skalieren...", five fields, "Ok".
    static void applyScaling(double vmin, double vmax, double emin, double emax, const char *unit);

    std::filesystem::path dir_;
    std::filesystem::path oldDir_;
};
