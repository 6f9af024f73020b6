// The "Serial Terminal" window: a ring of text lines made from the newest channel values,
// pause and resume of acquisition, sending typed text or hex bytes, and appending the lines
// to "serial_log.txt". UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// TerminalLines, TerminalTxText and TerminalStatusMessage live in DashboardSettings.h.
extern uint64_t TerminalHead;     // oldest line once wrapped, else 0
extern bool TerminalWrapped;      // the ring has overwritten a line since it was last emptied or rebuilt
extern uint64_t TerminalMaxLines; // ring capacity, 10..1000
extern char TerminalTxBuffer[512];

struct TerminalSendOptionsState
{
    bool appendCR = true;
    bool appendLF = true;
    bool hexMode = false;
};
extern TerminalSendOptionsState TerminalSendOptions;

extern bool TerminalStatusOk;
extern double TerminalStatusTime; // ImGui time of the last status; 0.0 = none yet
extern int TerminalMaxLinesEdit;

constexpr int TerminalMinMaxLines = 10;
constexpr int TerminalMaxMaxLines = 1000;
constexpr double TerminalStatusSeconds = 3.0;

// The per-frame entry of the Live View.
void UpdateSerialTerminal(const std::vector<std::vector<float>>& snapshotHistories);
void AppendTerminalLine(const std::vector<std::vector<float>>& snapshotHistories);
// Every line in chronological order, each followed by "\n".
std::string JoinTerminalLines();
void RenderSerialTerminal();

// " Clear": empty, unwrapped.
void ClearTerminalLines();
// "Apply" of "BufferConfig": new capacity m (clamped to 10..1000), chronological order kept,
// only the newest m lines remain.
void ApplyTerminalMaxLines(int m);
int ClampTerminalMaxLines(int value);

// Outcome of one send; the text to show for it is TerminalSendMessage.
enum TerminalSendResult
{
    TerminalSendSent,
    TerminalSendEmpty,        // empty text: nothing sent, nothing to report
    TerminalSendBadHex,       // hex mode and the text is not a list of bytes 00..FF
    TerminalSendNotConnected, // the port is not open
    TerminalSendWriteFailed,  // the write failed
};
TerminalSendResult SendTerminalTextResult(const std::string& text, bool appendCR, bool appendLF, bool hexMode);
// True when the port layer reports the data sent.
bool SendTerminalText(const std::string& text, bool appendCR, bool appendLF, bool hexMode);
// Empty for TerminalSendSent and TerminalSendEmpty.
std::string TerminalSendMessage(TerminalSendResult result);

// Whitespace-separated hex byte tokens ("0d 0A 1") into bytes. False for a token of more than
// two characters, one that is not wholly a hex number, a value above 0xFF, or no token at all.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes);

// The current directory joined with "serial_log.txt" (the plain name when it is unknown).
std::string TerminalLogPath();
// Appends JoinTerminalLines() to path. Returns true and "Saved to <path>", or false and
// "Save failed: <reason>" when the file cannot be opened or written.
bool SaveTerminalLines(const std::string& path, std::string& message);
// " Save": SaveTerminalLines to TerminalLogPath(), with the status for the window at time now.
void SaveSerialTerminal(double now);
// Sets the status line shown for TerminalStatusSeconds from now.
void SetTerminalStatus(bool ok, const std::string& message, double now);
bool IsTerminalStatusShown(double now);
