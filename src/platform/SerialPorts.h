// Lists the serial ports the kernel publishes, without opening any of them:
// on Linux an open raises DTR (many boards reset) and a probe can clear
// another program's exclusive hold.
#pragma once

#include <string>
#include <vector>

namespace platform
{
struct SerialPortEntry
{
    std::string name; // shown to the user: "ttyUSB0", or the by-id link's name
    std::string path; // opened: "/dev/ttyUSB0", "/dev/serial/by-id/usb-..."
};

// The tty class entries of sysfs that have a device behind them, less the
// legacy UART slots with no chip (port type 0), whose /dev node is a
// character device, in natural order (ttyS2 before ttyS10); then the links
// of /dev/serial/by-id that lead to a character device, by name. A port in
// use by another program is listed: it fails when opened.
std::vector<SerialPortEntry> ListSerialPorts();

// The same over other folders (tests): the tty class folder, the device
// folder and the by-id folder.
std::vector<SerialPortEntry> ListSerialPortsIn(const std::string& class_dir, const std::string& dev_dir,
                                               const std::string& by_id_dir);
} // namespace platform
