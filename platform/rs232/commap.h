#pragma once
// The COM map: which device COM n opens. The one place where a COM number becomes a device, for
// the window and for tlx1ctl alike:
//   1. the environment variable TLX1_COM<n>, when it is set and not empty;
//   2. else the settings file's entry for COM n (item "com<n>" of section "Schnittstellen"), which
//      the program hands in with ComMapSet;
//   3. else /dev/ttyS<n-1>.
// A device is a path or a network address (rs232.h). Call from one thread only.
#include <string>
#include <string_view>

// Where the device of a COM number came from.
enum class ComSource { Environment, SettingsFile, Default };

struct ComMapping {
    std::string device;  // path or address; "" for a port number outside 1..COM_MAX_PORT
    ComSource source;
};

// COM numbers that have an item in the settings file: com1 .. com8.
inline constexpr int COM_MAP_ENTRIES = 8;

// Which device COM n opens, and which of the three sources said so.
ComMapping ComResolve(int port);

// The source as the operator reads it: "Umgebung", "Einstellungsdatei" or "Vorgabe".
const char *ComSourceName(ComSource source);

// Sets the settings-file entry of COM n (1 .. COM_MAX_PORT; "" removes it). No result; a port
// number outside the range is ignored.
void ComMapSet(int port, std::string_view device);

// The settings-file entry of COM n as set, "" when there is none.
std::string ComMapEntry(int port);
