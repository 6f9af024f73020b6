// Store set-up shared by the store tests.
#pragma once

#include "serial/ChannelData.h"

#include <mutex>
#include <vector>

inline void ResetStore(int channels, int max_points)
{
    std::lock_guard<std::mutex> lock(ChannelDataMutex);
    SampleTimes.clear();
    ChannelHistories.assign(channels, {});
    SetMaxPointsPerChannel(max_points);
}

// One row whose time and values all equal the line number.
inline void Append(int line, int channels)
{
    std::lock_guard<std::mutex> lock(ChannelDataMutex);
    std::vector<float> values(channels, (float)line);
    AppendSample(values, (float)line);
}
