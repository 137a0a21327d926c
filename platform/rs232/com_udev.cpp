// Finding serial devices through libudev: the only file that asks the device database.
#include "platform/rs232/comdevices.h"

#include "platform/text/cp1252.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <tuple>

#include <libudev.h>

namespace {

struct UdevFrei {
    void operator()(udev *u) const { udev_unref(u); }
    void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
    void operator()(udev_device *d) const { udev_device_unref(d); }
};

// UTF-8 from the database as Windows-1252; a character it lacks becomes '?'.
std::string Cp1252(const char *utf8)
{
    std::string aus;
    for (std::string_view s = utf8 != nullptr ? utf8 : ""; !s.empty();) {
        const auto c = static_cast<unsigned char>(s[0]);
        const int laenge = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        char32_t zeichen = laenge == 1 ? c : c & (0x7F >> laenge);
        bool gut = laenge == 1 ? c < 0x80 : static_cast<int>(s.size()) >= laenge;
        for (int i = 1; gut && i < laenge; ++i) {
            gut = (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
            zeichen = (zeichen << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        }
        const int byte = gut && zeichen <= 0xFFFF ? Cp1252FromUnicode(static_cast<char16_t>(zeichen)) : -1;
        aus += byte >= 0 ? static_cast<char>(byte) : '?';
        s.remove_prefix(gut ? static_cast<std::size_t>(laenge) : 1);
    }
    return aus;
}

std::string Eigenschaft(udev_device *d, const char *name, const char *ersatz = nullptr)
{
    const char *wert = udev_device_get_property_value(d, name);
    if ((wert == nullptr || wert[0] == '\0') && ersatz != nullptr)
        wert = udev_device_get_property_value(d, ersatz);
    return Cp1252(wert);
}

// Device names sort by kind, then by number: ttyUSB2 before ttyUSB10.
std::tuple<int, std::string, long> Reihenfolge(const ComDeviceInfo &g)
{
    if (!g.byId.empty())
        return {0, g.byId, 0};
    static constexpr std::string_view kArten[] = {"/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyS"};
    for (int i = 0; i < 3; ++i)
        if (g.path.starts_with(kArten[i]))
            return {i + 1, std::string(kArten[i]), std::strtol(g.path.c_str() + kArten[i].size(), nullptr, 10)};
    return {4, g.path, 0};
}

}  // namespace

std::vector<ComDeviceInfo> ComFindDevices()
{
    std::vector<ComDeviceInfo> geraete;
    std::unique_ptr<udev, UdevFrei> u(udev_new());
    if (!u)
        return geraete;
    std::unique_ptr<udev_enumerate, UdevFrei> liste(udev_enumerate_new(u.get()));
    if (!liste || udev_enumerate_add_match_subsystem(liste.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(liste.get()) < 0)
        return geraete;
    udev_list_entry *eintrag = nullptr;
    udev_list_entry_foreach(eintrag, udev_enumerate_get_list_entry(liste.get()))
    {
        std::unique_ptr<udev_device, UdevFrei> d(
            udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(eintrag)));
        if (!d || udev_device_get_devnode(d.get()) == nullptr)
            continue;
        // Consoles and pseudo-terminals have no hardware behind them; the 8250 driver's
        // placeholders for ports that may not exist hang off its platform device.
        udev_device *eltern = udev_device_get_parent(d.get());
        if (eltern == nullptr || std::string_view(udev_device_get_sysname(eltern)) == "serial8250")
            continue;
        ComDeviceInfo g;
        g.path = udev_device_get_devnode(d.get());
        for (udev_list_entry *l = udev_device_get_devlinks_list_entry(d.get()); l != nullptr;
             l = udev_list_entry_get_next(l))
            if (std::string_view name = udev_list_entry_get_name(l); name.starts_with("/dev/serial/by-id/"))
                g.byId = name;
        g.maker = Eigenschaft(d.get(), "ID_VENDOR_FROM_DATABASE", "ID_VENDOR");
        g.product = Eigenschaft(d.get(), "ID_MODEL_FROM_DATABASE", "ID_MODEL");
        g.serial = Eigenschaft(d.get(), "ID_SERIAL_SHORT");
        geraete.push_back(std::move(g));
    }
    std::sort(geraete.begin(), geraete.end(),
              [](const ComDeviceInfo &a, const ComDeviceInfo &b) { return Reihenfolge(a) < Reihenfolge(b); });
    return geraete;
}
