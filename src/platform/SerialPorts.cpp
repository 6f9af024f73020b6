#include "platform/SerialPorts.h"

#include "platform/SerialDevice.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace platform
{
// Device name prefixes of serial ports (the rest of /dev is not probed).
static const char* const SerialDevicePrefixes[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "ttymxc", "ttySAC", "rfcomm"};

static bool IsSerialDeviceName(const std::string& name)
{
    for (const char* prefix : SerialDevicePrefixes)
    {
        const size_t n = strlen(prefix);
        if (name.size() > n && name.compare(0, n, prefix) == 0 &&
            std::all_of(name.begin() + (long)n, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return true;
    }
    return false;
}

// "ttyS2" before "ttyS10": the prefix by text, then the number by value.
static bool NaturalLess(const std::string& a, const std::string& b)
{
    const size_t da = a.find_first_of("0123456789");
    const size_t db = b.find_first_of("0123456789");
    const std::string pa = a.substr(0, da), pb = b.substr(0, db);
    if (pa != pb)
        return pa < pb;
    const std::string na = da == std::string::npos ? "" : a.substr(da);
    const std::string nb = db == std::string::npos ? "" : b.substr(db);
    if (na.size() != nb.size())
        return na.size() < nb.size();
    return na < nb;
}

static std::vector<std::string> ListFolder(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    closedir(d);
    return names;
}

bool CanOpenSerialDevice(const std::string& path)
{
    const int fd = OpenSerialDevice(path);
    if (fd == InvalidSerialDevice)
        return false;
    termios state;
    bool ok = GetSerialDeviceState(fd, state) == 0;
    // A legacy UART slot with no chip behind it opens but is of unknown type.
    serial_struct info;
    if (ok && ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN)
        ok = false;
    CloseSerialDevice(fd);
    return ok;
}

std::vector<SerialPortEntry> ListSerialPortsIn(const std::string& dev_dir, const std::string& by_id_dir)
{
    std::vector<SerialPortEntry> ports;

    std::vector<std::string> devices = ListFolder(dev_dir);
    devices.erase(
        std::remove_if(devices.begin(), devices.end(), [](const std::string& n) { return !IsSerialDeviceName(n); }),
        devices.end());
    std::sort(devices.begin(), devices.end(), NaturalLess);
    for (const std::string& name : devices)
    {
        const std::string path = dev_dir + "/" + name;
        if (CanOpenSerialDevice(path))
            ports.push_back({name, path});
    }

    std::vector<std::string> links = ListFolder(by_id_dir);
    std::sort(links.begin(), links.end());
    for (const std::string& name : links)
    {
        const std::string path = by_id_dir + "/" + name;
        if (CanOpenSerialDevice(path))
            ports.push_back({name, path});
    }
    return ports;
}

std::vector<SerialPortEntry> ListSerialPorts() { return ListSerialPortsIn("/dev", "/dev/serial/by-id"); }
} // namespace platform
