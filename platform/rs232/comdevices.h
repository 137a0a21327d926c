#pragma once
// Serial devices present now, found through the system's device database (libudev), with what the
// system knows of each adapter; for lists the operator picks a device from.
#include <string>
#include <vector>

struct ComDeviceInfo {
    std::string path;   // device node, e.g. /dev/ttyUSB0
    std::string byId;   // stable name under /dev/serial/by-id that survives re-plugging, or ""
    std::string maker;  // Windows-1252; "" where the system does not know it
    std::string product;
    std::string serial;
};

// Every serial device with hardware behind it: first those with a /dev/serial/by-id name (in that
// name's order), then ttyUSB, ttyACM, ttyS and others, each in number order. Empty when there is
// none or the device database cannot be read.
std::vector<ComDeviceInfo> ComFindDevices();
