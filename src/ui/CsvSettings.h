// The "CSV Recording Settings" section of the Settings page: the file name and
// column names of a recording, and its start and stop. UI thread only.
#pragma once

#include <string>
#include <vector>

extern bool UseTimestampedFileName;
extern char CsvFileNameBuffer[256];
extern char CsvChannelNames[3][64]; // CSV column names, independent of the display names
extern bool ShowCsvChannelNameEditor;

// The column names of the first min(ChannelCount, 3) channels; empty below one channel.
std::vector<std::string> GetCsvChannelNames();

void CsvSettingsPage();
