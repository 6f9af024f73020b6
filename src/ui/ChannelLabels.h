// Unique, never empty channel labels built from ChannelDisplayNames.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> MakeUniqueChannelLabels(const std::vector<std::string>& names);
// One label per channel of ChannelCount, "Channel N" for a channel without a name.
void GetChannelLabels(std::vector<std::string>& labels);
