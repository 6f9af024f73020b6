// The plain-text summary of the live data that goes into the assistant's prompt.
#pragma once

#include <string>
#include <vector>

extern const char* const NoDataContextText;
extern const char* const DataContextErrorText;

// Takes one snapshot of the channel store and returns the alerts and readings
// text. labels are the channel labels of GetChannelLabels, taken on the UI
// thread (ChannelDisplayNames is UI-thread state, and this runs on the reply
// task's thread). Never throws.
std::string BuildDataContextText(const std::vector<std::string>& labels);
