// The "Serial Terminal" window: a ring of text lines made from the newest channel values,
// pause and resume of acquisition, sending typed text or hex bytes, and appending the lines
// to "serial_log.txt". UI thread only.
#pragma once

#include <cstddef>
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

// Counters that tie the lines to the samples and to the log file.
extern uint64_t TerminalSamplesShown; // SamplesAppended of the store when lines were last made
extern uint64_t TerminalLinesAdded;   // lines put into the ring since start-up
extern uint64_t TerminalLinesSaved;   // TerminalLinesAdded at the last successful Save

// The per-frame entry of the Live View, with the frame's snapshot and its appended count.
void UpdateSerialTerminal(const std::vector<std::vector<float>>& snapshotHistories, uint64_t samplesAppended);
// One line for each sample appended since the last call (the newest ones of the snapshot); none
// when nothing new arrived.
void AppendTerminalSamples(const std::vector<std::vector<float>>& snapshotHistories, uint64_t samplesAppended);
// The line of sample k of the snapshot: each channel's value at k, each followed by a blank.
std::string MakeTerminalLine(const std::vector<std::vector<float>>& snapshotHistories, size_t k);
// Puts one line into the ring, overwriting the oldest once it is full.
void AppendTerminalLine(std::string line);
// Line i of the ring, counted from the oldest.
const std::string& TerminalLineAt(size_t i);
// The newest lines (all by default) in chronological order, each followed by "\n".
std::string JoinTerminalLines(size_t newest = SIZE_MAX);
// How many of the ring's newest lines no Save has written yet.
size_t UnsavedTerminalLines();
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
// Appends the lines not saved before to path. Returns true and "Saved to <path>", or false and
// "Save failed: <reason>" when the file cannot be opened or written.
bool SaveTerminalLines(const std::string& path, std::string& message);
// " Save": SaveTerminalLines to TerminalLogPath(), with the status for the window at time now.
void SaveSerialTerminal(double now);
// Sets the status line shown for TerminalStatusSeconds from now.
void SetTerminalStatus(bool ok, const std::string& message, double now);
bool IsTerminalStatusShown(double now);
