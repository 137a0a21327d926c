// The program's main routine on the headless panels against tlx1sim, whose pseudo-terminal is
// COM 1; each test runs in a working folder of its own.
#pragma once

#include "app/TLX1Steuerung.h"
#include "platform/userint/userint.h"
#include "tests/support/SimProcess.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Frames = std::vector<std::string>;

class DeviceTest : public ::testing::Test {
 protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the program's main routine; the script plays the operator and ends by quitting.
    static int runProgram(std::function<void()> script);
    static void quit();

    // Starts the simulator with these options and maps COM 1 to it.
    tlx1test::SimProcess &startSim(const std::vector<std::string> &args);
    tlx1test::SimProcess &sim() { return *sim_; }

    // Frames the simulator received since the last call, oldest first.
    Frames takeReceived();

    // From now until the end of the run, every text the status line TEXT shows is recorded.
    static void recordStatusLine();
    static Frames statusLines();

    // The error display's number (0 when cleared) and lamp.
    static int errorNumber();
    static int errorLamp();
    static int dimmed(int control);

    // Values on the main panel as the model holds them.
    static double num(int panel, int control);
    static int integer(int panel, int control);
    static std::string text(int panel, int control);
    static int precision(int panel, int control);

    // The operator applies a scaling through "Skalieren...": five fields, then "Ok".
    static void applyScaling(double vmin, double vmax, double emin, double emax, const char *unit);

    std::filesystem::path dir_;
    std::filesystem::path oldDir_;

    std::unique_ptr<tlx1test::SimProcess> sim_;
};
