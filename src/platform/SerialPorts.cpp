#include "platform/SerialPorts.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{
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

static bool IsCharacterDevice(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// The serial core publishes the port type; 0 (PORT_UNKNOWN) is a UART slot
// the driver reserved with no chip behind it. USB and other drivers publish
// no type.
static bool IsEmptyUartSlot(const std::string& entry)
{
    const int fd = open((entry + "/type").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[16] = {};
    const ssize_t n = read(fd, text, sizeof(text) - 1);
    close(fd);
    return n > 0 && atoi(text) == 0;
}

std::vector<SerialPortEntry> ListSerialPortsIn(const std::string& class_dir, const std::string& dev_dir,
                                               const std::string& by_id_dir)
{
    std::vector<SerialPortEntry> ports;

    // Virtual consoles, pseudo-terminals and the like have no device behind them.
    std::vector<std::string> devices;
    for (const std::string& name : ListFolder(class_dir))
    {
        const std::string entry = class_dir + "/" + name;
        if (access((entry + "/device").c_str(), F_OK) == 0 && !IsEmptyUartSlot(entry) &&
            IsCharacterDevice(dev_dir + "/" + name))
            devices.push_back(name);
    }
    std::sort(devices.begin(), devices.end(), NaturalLess);
    for (const std::string& name : devices)
        ports.push_back({name, dev_dir + "/" + name});

    std::vector<std::string> links = ListFolder(by_id_dir);
    std::sort(links.begin(), links.end());
    for (const std::string& name : links)
    {
        const std::string path = by_id_dir + "/" + name;
        if (IsCharacterDevice(path))
            ports.push_back({name, path});
    }
    return ports;
}

std::vector<SerialPortEntry> ListSerialPorts()
{
    return ListSerialPortsIn("/sys/class/tty", "/dev", "/dev/serial/by-id");
}
} // namespace platform
