// The "Serial Communication Settings" section of the Settings page: choose,
// configure, open and close the serial port. UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern int SelectedComPortIndex; // index into the names the "COM Port" combo shows; -1 when the chosen port is gone
extern std::string SelectedComPortName; // the chosen port; empty until the list first shows one
extern int BaudRateIndex;
extern uint32_t BaudRate;
extern int StopBitsIndex;
extern uint8_t StopBits; // 0 one, 1 one and a half, 2 two
extern int ParityIndex;
extern uint8_t Parity;     // 0 none, 1 odd, 2 even
extern int LastOpenResult; // result of the last OpenSerialPort call

// Where the port list is read from: the kernel's tty class, the device
// nodes, and udev's by-id links. Tests point them at folders of their own.
extern std::string ComPortClassFolder;
extern std::string ComPortDeviceFolder;
extern std::string ComPortLinkFolder;

constexpr int ComPortsFound = 1;
constexpr int NoComPorts = 6;

// Names of the serial ports present now, read anew on every call (nothing is opened).
std::vector<std::string> EnumerateComPorts();

// The device path of a name of the last enumeration ("ttyUSB0" ->
// "/dev/ttyUSB0", a by-id link name -> the link's path).
std::string ComPortDevicePath(const std::string& portName);

// Returns ComPortsFound, with portName set to the chosen port while it is
// listed (left empty when it is gone), or NoComPorts.
int ComPortCombo(std::string& portName);

void SerialSettingsPage();
