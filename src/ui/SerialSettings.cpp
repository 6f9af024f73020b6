#include "ui/SerialSettings.h"

#include "platform/SerialPorts.h"
#include "serial/ChannelData.h"
#include "serial/SerialPort.h"

#include <imgui.h>

int SelectedComPortIndex = 0;
int BaudRateIndex = 0;
uint32_t BaudRate = 9600;
int StopBitsIndex = 0;
uint8_t StopBits = 0;
int ParityIndex = 0;
uint8_t Parity = 0;
int LastOpenResult = SerialSuccess;

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
    ComPortEntries = platform::ListSerialPortsIn(ComPortDeviceFolder, ComPortLinkFolder);
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

    // A port that went away may leave the index past the end of the list:
    // keep it on the last port rather than read outside the list.
    const int count = static_cast<int>(names.size());
    if (SelectedComPortIndex >= count)
        SelectedComPortIndex = count - 1;
    if (SelectedComPortIndex < 0)
        SelectedComPortIndex = 0;

    std::vector<const char*> items;
    items.reserve(names.size());
    for (const std::string& name : names)
        items.push_back(name.c_str());
    ImGui::SetNextItemWidth(150);
    ImGui::Combo("COM Port", &SelectedComPortIndex, items.data(), count);
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

    if (r != ComPortsFound)
        return;

    if (ImGui::Button("Open COM Port"))
    {
        LastOpenResult = OpenSerialPort(ComPortDevicePath(portName), BaudRate, StopBits, Parity);
        if (LastOpenResult == SerialSuccess)
            SetSerialPortOpen(true);
        return;
    }
    if (LastOpenResult == SerialOpenFailed)
        ImGui::Text("Failed to open serial port");
    else if (LastOpenResult == SerialStateFailed)
        ImGui::Text("Error setting serial port state");
}
