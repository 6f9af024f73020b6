#include "ui/SerialTerminal.h"

#include "dock/Dock.h"
#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DashboardSettings.h"

#include <imgui.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

uint64_t TerminalHead = 0;
bool TerminalWrapped = false;
uint64_t TerminalMaxLines = 100;
char TerminalTxBuffer[512] = {};
TerminalSendOptionsState TerminalSendOptions;
bool TerminalStatusOk = false;
double TerminalStatusTime = 0.0;
int TerminalMaxLinesEdit = 0;
static bool TerminalMaxLinesEditSet = false;
static bool TerminalFollowing = true; // the line view keeps the newest line in sight
static int TerminalShownFrame = -1;   // ImGui frame in which the line view was last laid out

uint64_t TerminalSamplesShown = 0;
uint64_t TerminalLinesAdded = 0;
uint64_t TerminalLinesSaved = 0;

void UpdateSerialTerminal(const std::vector<std::vector<float>>& snapshotHistories, uint64_t samplesAppended)
{
    AppendTerminalSamples(snapshotHistories, samplesAppended);
    RenderSerialTerminal();
}

// Each channel's value at k, then a blank. Made for every new sample: to_chars with a precision
// writes what printf's "%.4f" (a fixed ostream of precision 4) would, at a fraction of its cost.
static void AppendSampleLine(std::string& line, const std::vector<std::vector<float>>& snapshotHistories, size_t k)
{
    char value[64]; // the largest float takes 45 characters
    for (const std::vector<float>& values : snapshotHistories)
        if (k < values.size())
        {
            const std::to_chars_result r =
                std::to_chars(value, value + sizeof(value), (double)values[k], std::chars_format::fixed, 4);
            line.append(value, r.ptr);
            line += ' ';
        }
}

std::string MakeTerminalLine(const std::vector<std::vector<float>>& snapshotHistories, size_t k)
{
    std::string line;
    AppendSampleLine(line, snapshotHistories, k);
    return line;
}

// The ring's slot for the next line, empty. Once the ring is full it is the oldest line's, whose
// storage is reused.
static std::string& NewTerminalLine()
{
    TerminalLinesAdded++;
    if (TerminalLines.size() < TerminalMaxLines)
        return TerminalLines.emplace_back();
    std::string& line = TerminalLines[TerminalHead];
    TerminalHead = (TerminalHead + 1) % TerminalMaxLines;
    TerminalWrapped = true;
    line.clear();
    return line;
}

void AppendTerminalSamples(const std::vector<std::vector<float>>& snapshotHistories, uint64_t samplesAppended)
{
    // The samples appended since the last call are the newest of the snapshot. Those that were
    // appended and trimmed away in between (the page was not shown) are no longer there.
    uint64_t fresh = samplesAppended > TerminalSamplesShown ? samplesAppended - TerminalSamplesShown : 0;
    TerminalSamplesShown = samplesAppended;
    size_t length = 0;
    for (const std::vector<float>& values : snapshotHistories)
        length = std::max(length, values.size());
    // Only the newest TerminalMaxLines lines would stay in the ring.
    fresh = std::min<uint64_t>({fresh, length, TerminalMaxLines});
    for (size_t k = length - (size_t)fresh; k < length; k++)
        AppendSampleLine(NewTerminalLine(), snapshotHistories, k);
}

void AppendTerminalLine(std::string line) { NewTerminalLine() = std::move(line); }

const std::string& TerminalLineAt(size_t i)
{
    const size_t count = TerminalLines.size();
    const size_t start = TerminalWrapped && count == TerminalMaxLines ? TerminalHead % count : 0;
    return TerminalLines[(start + i) % count];
}

std::string JoinTerminalLines(size_t newest)
{
    std::string text;
    if (TerminalLines.empty())
        return text;
    const size_t count = TerminalLines.size();
    newest = std::min(newest, count);
    text.reserve(newest * 50);
    for (size_t i = count - newest; i < count; i++)
    {
        text += TerminalLineAt(i);
        text += "\n";
    }
    return text;
}

size_t UnsavedTerminalLines()
{
    return (size_t)std::min<uint64_t>(TerminalLinesAdded - TerminalLinesSaved, TerminalLines.size());
}

void ClearTerminalLines()
{
    TerminalLines.clear();
    TerminalHead = 0;
    TerminalWrapped = false;
}

int ClampTerminalMaxLines(int value) { return std::clamp(value, TerminalMinMaxLines, TerminalMaxMaxLines); }

void ApplyTerminalMaxLines(int m)
{
    // The ring's modulo needs a capacity of at least one; the field is clamped already.
    m = ClampTerminalMaxLines(m);
    TerminalMaxLines = (uint64_t)m;
    if (TerminalWrapped)
    {
        std::rotate(TerminalLines.begin(), TerminalLines.begin() + (ptrdiff_t)(TerminalHead % TerminalLines.size()),
                    TerminalLines.end());
        TerminalHead = 0;
        TerminalWrapped = false;
    }
    if (TerminalLines.size() > (size_t)m)
        TerminalLines.erase(TerminalLines.begin(), TerminalLines.end() - m);
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    size_t i = 0;
    while (i < text.size())
    {
        while (i < text.size() && std::isspace((unsigned char)text[i]))
            i++;
        if (i == text.size())
            break;
        size_t end = i;
        while (end < text.size() && !std::isspace((unsigned char)text[end]))
            end++;
        const std::string token = text.substr(i, end - i);
        i = end;

        if (token.size() > 2)
            return false;
        char* stop = nullptr;
        const long value = std::strtol(token.c_str(), &stop, 16);
        // A token must be a hex number as a whole: "1G" or "0x" would otherwise send a byte
        // the user did not type.
        if (stop == token.c_str() || *stop != '\0')
            return false;
        if ((uint32_t)value > 0xFF)
            return false;
        bytes.push_back((uint8_t)value);
    }
    return !bytes.empty();
}

// Bytes of the last send, and how many of them went out, for the message of a send cut short.
static size_t TerminalSendBytes = 0, TerminalSentBytes = 0;

TerminalSendResult SendTerminalTextResult(const std::string& text, bool appendCR, bool appendLF, bool hexMode)
{
    TerminalSendBytes = TerminalSentBytes = 0;
    if (text.empty())
        return TerminalSendEmpty;

    int result = SerialWriteFailed;
    if (hexMode)
    {
        std::vector<uint8_t> bytes;
        if (!ParseHexBytes(text, bytes))
            return TerminalSendBadHex;
        if (appendCR)
            bytes.push_back(0x0D);
        if (appendLF)
            bytes.push_back(0x0A);
        TerminalSendBytes = bytes.size();
        result = SendSerialBytes(bytes.data(), bytes.size(), &TerminalSentBytes);
    }
    else
    {
        std::string line = text;
        if (appendCR)
            line += "\r";
        if (appendLF)
            line += "\n";
        TerminalSendBytes = line.size();
        result = SendSerialString(line, &TerminalSentBytes);
    }

    if (result == SerialSuccess)
        return TerminalSendSent;
    if (result == SerialNothingSent)
        return TerminalSendNotConnected;
    return TerminalSendWriteFailed;
}

bool SendTerminalText(const std::string& text, bool appendCR, bool appendLF, bool hexMode)
{
    return SendTerminalTextResult(text, appendCR, appendLF, hexMode) == TerminalSendSent;
}

std::string TerminalSendMessage(TerminalSendResult result)
{
    switch (result)
    {
    case TerminalSendBadHex: return "Send failed: not hex bytes (00 to FF separated by blanks)";
    case TerminalSendNotConnected: return "Send failed: the serial port is not open";
    case TerminalSendWriteFailed:
        if (TerminalSentBytes > 0)
            return "Send failed: only " + std::to_string(TerminalSentBytes) + " of " +
                   std::to_string(TerminalSendBytes) + " bytes were sent";
        return "Send failed: the write to the serial port failed";
    default: return "";
    }
}

std::string TerminalLogPath()
{
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    if (error)
        return "serial_log.txt";
    return (directory / "serial_log.txt").string();
}

bool SaveTerminalLines(const std::string& path, std::string& message)
{
    errno = 0;
    std::ofstream file(path, std::ios::out | std::ios::app);
    if (!file.good())
    {
        message = std::string("Save failed: ") + std::strerror(errno);
        return false;
    }
    // A full disk or a device that refuses the data shows only at the write or the close.
    file << JoinTerminalLines(UnsavedTerminalLines());
    file.flush();
    const int writeError = errno;
    const bool written = file.good();
    file.close();
    if (!written || file.fail())
    {
        message = std::string("Save failed: ") + std::strerror(written ? errno : writeError);
        return false;
    }
    TerminalLinesSaved = TerminalLinesAdded;
    message = "Saved to " + path;
    return true;
}

void SetTerminalStatus(bool ok, const std::string& message, double now)
{
    TerminalStatusOk = ok;
    TerminalStatusMessage = message;
    TerminalStatusTime = now;
}

bool IsTerminalStatusShown(double now)
{
    return TerminalStatusTime > 0.0 && now - TerminalStatusTime < TerminalStatusSeconds;
}

void SaveSerialTerminal(double now)
{
    std::string message;
    const bool ok = SaveTerminalLines(TerminalLogPath(), message);
    SetTerminalStatus(ok, message, now);
}

// Send as Enter and " Send" do it; a failure is told in the status line.
static void SendFromTerminal()
{
    const TerminalSendResult result = SendTerminalTextResult(TerminalTxText, TerminalSendOptions.appendCR,
                                                             TerminalSendOptions.appendLF, TerminalSendOptions.hexMode);
    const std::string message = TerminalSendMessage(result);
    if (!message.empty())
        SetTerminalStatus(false, message, ImGui::GetTime());
}

static void RenderBufferConfigPopup()
{
    if (!ImGui::BeginPopup("BufferConfig"))
        return;
    ImGui::Text("Buffer Size Configuration");
    ImGui::Separator();
    if (!TerminalMaxLinesEditSet)
    {
        TerminalMaxLinesEdit = (int)TerminalMaxLines;
        TerminalMaxLinesEditSet = true;
    }
    ImGui::InputInt("Max Lines", &TerminalMaxLinesEdit, 10, 100);
    TerminalMaxLinesEdit = ClampTerminalMaxLines(TerminalMaxLinesEdit);
    if (ImGui::Button("Apply"))
    {
        ApplyTerminalMaxLines(TerminalMaxLinesEdit);
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel"))
        ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

void RenderSerialTerminal()
{
    dock::SetNextWindowDockID(GetDashboardDockSpaceId(), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(500, 300), ImGuiCond_FirstUseEver);
    dock::Begin("Serial Terminal", nullptr, 0);

    const float w = (ImGui::GetContentRegionAvail().x - ImGui::GetStyle().ItemSpacing.x) * 0.5f;
    if (ImGui::Button("\xEF\x81\x8B Play", ImVec2(w, 0)))
        SetAcquisitionPaused(false);
    ImGui::SameLine(0, 10);
    if (ImGui::Button("\xEF\x81\x8D Stop", ImVec2(w, 0)))
        SetAcquisitionPaused(true);

    ImGui::Separator();

    ImGui::PushItemWidth(-1);
    const size_t copied = std::min(TerminalTxText.size(), sizeof(TerminalTxBuffer) - 1);
    memcpy(TerminalTxBuffer, TerminalTxText.data(), copied);
    TerminalTxBuffer[copied] = '\0';
    const bool entered =
        ImGui::InputText("##tx", TerminalTxBuffer, sizeof(TerminalTxBuffer), ImGuiInputTextFlags_EnterReturnsTrue);
    ImGui::PopItemWidth();
    TerminalTxText = TerminalTxBuffer;
    if (entered)
        SendFromTerminal();

    if (ImGui::Button("\xEF\x87\x98 Send", ImVec2(80, 0)))
        SendFromTerminal();
    ImGui::SameLine();
    ImGui::Checkbox("CR", &TerminalSendOptions.appendCR);
    ImGui::SameLine();
    ImGui::Checkbox("LF", &TerminalSendOptions.appendLF);
    ImGui::SameLine();
    ImGui::Checkbox("Hex", &TerminalSendOptions.hexMode);

    if (ImGui::Button("\xEF\x87\xB8 Clear", ImVec2(80, 0)))
        ClearTerminalLines();
    ImGui::SameLine();
    if (ImGui::Button("\xEF\x83\x87 Save", ImVec2(80, 0)))
        SaveSerialTerminal(ImGui::GetTime());

    ImGui::Separator();
    if (IsTerminalStatusShown(ImGui::GetTime()))
    {
        const ImVec4 colour = TerminalStatusOk ? ImVec4(0.4f, 0.9f, 0.5f, 1.0f) : ImVec4(0.95f, 0.4f, 0.4f, 1.0f);
        ImGui::TextColored(colour, "%s", TerminalStatusMessage.c_str());
    }

    ImGui::Text("Buffer: %zu/%zu lines", TerminalLines.size(), (size_t)TerminalMaxLines);
    ImGui::SameLine();
    if (ImGui::Button("Config"))
        ImGui::OpenPopup("BufferConfig");
    RenderBufferConfigPopup();

    ImGui::Separator();
    // While another tab is in front the child lays nothing out: a scroll set then would go to
    // its top. Lines added meanwhile grow the maximum before the view is shown again, so at the
    // first frame back the view follows as it did when it was last shown.
    if (ImGui::BeginChild("ScrollingRegion", ImVec2(0, -ImGui::GetTextLineHeightWithSpacing()), ImGuiChildFlags_None,
                          ImGuiWindowFlags_HorizontalScrollbar))
    {
        if (TerminalShownFrame == ImGui::GetFrameCount() - 1)
            TerminalFollowing = ImGui::GetScrollY() >= ImGui::GetScrollMaxY();
        TerminalShownFrame = ImGui::GetFrameCount();
        // Only the lines in sight are laid out, one text line apart, as one block of text would be.
        ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(ImGui::GetStyle().ItemSpacing.x, 0.0f));
        ImGuiListClipper clipper;
        clipper.Begin((int)TerminalLines.size());
        while (clipper.Step())
            for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; i++)
                ImGui::TextUnformatted(TerminalLineAt((size_t)i).c_str());
        ImGui::PopStyleVar();
        if (TerminalFollowing)
            ImGui::SetScrollHereY(1.0f);
    }
    ImGui::EndChild();

    dock::End();
}
