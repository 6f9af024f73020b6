#include "ui/ChannelLabels.h"

#include "serial/ChannelData.h"
#include "ui/DashboardSettings.h"

#include <algorithm>
#include <map>

std::vector<std::string> MakeUniqueChannelLabels(const std::vector<std::string>& names)
{
    std::vector<std::string> labels = names;
    for (size_t i = 0; i < labels.size(); i++)
        if (labels[i].empty())
            labels[i] = "Channel " + std::to_string(i + 1);

    std::map<std::string, int> counts;
    for (const std::string& label : labels)
        counts[label]++;

    // Every occurrence of a repeated label is numbered, the first included.
    // No second pass: a numbered label may still equal a typed one.
    std::map<std::string, int> running;
    for (std::string& label : labels)
    {
        if (counts[label] < 2)
            continue;
        int n = ++running[label];
        label += " (" + std::to_string(n) + ")";
    }
    return labels;
}

void GetChannelLabels(std::vector<std::string>& labels)
{
    // One label per channel of the current count, as if "Live View Settings" had just resized
    // the names: a collapsed section must not leave channels without a label, or with the
    // labels of channels that are gone.
    std::vector<std::string> names = ChannelDisplayNames;
    names.resize((size_t)std::max(0, GetChannelCount()));
    labels = MakeUniqueChannelLabels(names);
}
