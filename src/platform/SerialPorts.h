// Lists the serial ports that can be opened now.
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

// Serial devices of /dev (ttyS, ttyUSB, ttyACM, ...) in natural order
// (ttyS2 before ttyS10), then the links of /dev/serial/by-id by name. Only
// entries that open now as a terminal, not held by anyone, are listed.
std::vector<SerialPortEntry> ListSerialPorts();

// The same over other folders (tests).
std::vector<SerialPortEntry> ListSerialPortsIn(const std::string& dev_dir, const std::string& by_id_dir);

// True when the path opens exclusively as a terminal right now.
bool CanOpenSerialDevice(const std::string& path);
} // namespace platform
