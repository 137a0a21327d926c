// The COM map: environment, settings-file entries, default device.
#include "platform/rs232/commap.h"

#include "platform/rs232/rs232.h"

#include <array>
#include <cstdlib>

namespace {

// Settings-file entries by COM number; index 0 unused.
std::array<std::string, COM_MAX_PORT + 1> gEintraege;

}  // namespace

ComMapping ComResolve(int port)
{
    if (port < 1 || port > COM_MAX_PORT)
        return {"", ComSource::Default};
    const std::string variable = "TLX1_COM" + std::to_string(port);
    if (const char *env = std::getenv(variable.c_str()); env != nullptr && env[0] != '\0')
        return {env, ComSource::Environment};
    if (!gEintraege[port].empty())
        return {gEintraege[port], ComSource::SettingsFile};
    return {"/dev/ttyS" + std::to_string(port - 1), ComSource::Default};
}

const char *ComSourceName(ComSource source)
{
    switch (source) {
    case ComSource::Environment: return "Umgebung";
    case ComSource::SettingsFile: return "Einstellungsdatei";
    case ComSource::Default: break;
    }
    return "Vorgabe";
}

void ComMapSet(int port, std::string_view device)
{
    if (port >= 1 && port <= COM_MAX_PORT)
        gEintraege[port] = device;
}

std::string ComMapEntry(int port)
{
    return port >= 1 && port <= COM_MAX_PORT ? gEintraege[port] : std::string();
}
