#include "ui/SerialSettings.h"

#include "platform/SerialPorts.h"
#include "serial/ChannelData.h"
#include "serial/SerialPort.h"

#include <imgui.h>

#include <algorithm>

int SelectedComPortIndex = 0;
int BaudRateIndex = 0;
uint32_t BaudRate = 9600;
int StopBitsIndex = 0;
uint8_t StopBits = 0;
int ParityIndex = 0;
uint8_t Parity = 0;
int LastOpenResult = SerialSuccess;

std::string SelectedComPortName;

std::string ComPortClassFolder = "/sys/class/tty";
std::string ComPortDeviceFolder = "/dev";
std::string ComPortLinkFolder = "/dev/serial/by-id";

static const char* const BaudRateLabels[] = {"9600", "19200", "38400", "57600", "115200"};
static const uint32_t BaudRateValues[] = {9600, 19200, 38400, 57600, 115200};
static const char* const StopBitsLabels[] = {"1", "1.5", "2"};
static const uint8_t StopBitsValues[] = {0, 1, 2};
// Not in code order: "Even" is 2 and "Odd" is 1.
static const char* const ParityLabels[] = {"None", "Even", "Odd"};
static const uint8_t ParityValues[] = {0, 2, 1};

// The ports of the last enumeration, so a shown name finds its device path.
static std::vector<platform::SerialPortEntry> ComPortEntries;

std::vector<std::string> EnumerateComPorts()
{
    ComPortEntries = platform::ListSerialPortsIn(ComPortClassFolder, ComPortDeviceFolder, ComPortLinkFolder);
    std::vector<std::string> names;
    names.reserve(ComPortEntries.size());
    for (const platform::SerialPortEntry& entry : ComPortEntries)
        names.push_back(entry.name);
    return names;
}

std::string ComPortDevicePath(const std::string& portName)
{
    for (const platform::SerialPortEntry& entry : ComPortEntries)
        if (entry.name == portName)
            return entry.path;
    return ComPortDeviceFolder + "/" + portName;
}

int ComPortCombo(std::string& portName)
{
    const std::vector<std::string> names = EnumerateComPorts();
    if (names.empty())
    {
        ImGui::Text("No COM ports available.");
        return NoComPorts;
    }

    // The choice is the port's name: the list changes under the index as
    // devices come and go. Until the user picks one, the first port is shown.
    if (SelectedComPortName.empty())
        SelectedComPortName = names[0];
    const auto chosen = std::find(names.begin(), names.end(), SelectedComPortName);
    SelectedComPortIndex = chosen == names.end() ? -1 : static_cast<int>(chosen - names.begin());

    std::vector<const char*> items;
    items.reserve(names.size());
    for (const std::string& name : names)
        items.push_back(name.c_str());
    ImGui::SetNextItemWidth(150);
    if (ImGui::Combo("COM Port", &SelectedComPortIndex, items.data(), static_cast<int>(items.size())))
        SelectedComPortName = names[SelectedComPortIndex];
    if (SelectedComPortIndex >= 0)
        portName = names[SelectedComPortIndex];
    return ComPortsFound;
}

void SerialSettingsPage()
{
    std::string portName;
    if (!ImGui::CollapsingHeader("Serial Communication Settings", ImGuiTreeNodeFlags_DefaultOpen))
        return;

    if (IsSerialPortOpen())
    {
        if (ImGui::Button("Close COM Port"))
        {
            // Cleared first, so the reader stops using the port before it closes.
            SetSerialPortOpen(false);
            CloseSerialPort();
        }
        return;
    }

    const int r = ComPortCombo(portName);

    ImGui::SetNextItemWidth(150);
    if (ImGui::Combo("Baud Rate", &BaudRateIndex, BaudRateLabels, IM_ARRAYSIZE(BaudRateLabels)))
        BaudRate = BaudRateValues[BaudRateIndex];
    ImGui::SetNextItemWidth(150);
    if (ImGui::Combo("Stop Bits", &StopBitsIndex, StopBitsLabels, IM_ARRAYSIZE(StopBitsLabels)))
        StopBits = StopBitsValues[StopBitsIndex];
    ImGui::SetNextItemWidth(150);
    if (ImGui::Combo("Parity", &ParityIndex, ParityLabels, IM_ARRAYSIZE(ParityLabels)))
        Parity = ParityValues[ParityIndex];

    // The reader closed the port because its device went away (unplugged).
    const std::string lost = GetLostSerialPort();
    if (!lost.empty())
        ImGui::Text("Device disconnected: %s", lost.c_str());

    if (r != ComPortsFound)
        return;

    if (ImGui::Button("Open COM Port"))
    {
        // The chosen port is gone: nothing to open until another is chosen.
        if (portName.empty())
            return;
        LastOpenResult = OpenSerialPort(ComPortDevicePath(portName), BaudRate, StopBits, Parity);
        if (LastOpenResult == SerialSuccess)
            SetSerialPortOpen(true);
        return;
    }
    if (portName.empty())
        ImGui::Text("%s is not available. Choose a COM port to open.", SelectedComPortName.c_str());
    if (LastOpenResult == SerialOpenFailed)
        ImGui::Text("Failed to open serial port");
    else if (LastOpenResult == SerialStateFailed)
        ImGui::Text("Error setting serial port state");
    else if (LastOpenResult == SerialTimeoutsFailed)
        ImGui::Text("Error setting serial port timeouts");
}
