#include "serial/ChannelData.h"

#include <algorithm>
#include <atomic>

std::vector<float> SampleTimes;
std::vector<std::vector<float>> ChannelHistories;
std::mutex ChannelDataMutex;
uint64_t SamplesAppended = 0;

static std::atomic<int> ChannelCount{0};
static std::atomic<bool> SerialPortOpen{false};
static std::atomic<bool> AcquisitionPaused{false};
static std::atomic<int> MaxPointsPerChannel{1000};

int GetChannelCount() { return ChannelCount.load(std::memory_order_relaxed); }
bool IsSerialPortOpen() { return SerialPortOpen.load(std::memory_order_relaxed); }
bool IsAcquisitionPaused() { return AcquisitionPaused.load(std::memory_order_relaxed); }
int GetMaxPointsPerChannel() { return MaxPointsPerChannel.load(std::memory_order_relaxed); }
void SetChannelCount(int count) { ChannelCount.store(count, std::memory_order_relaxed); }
void SetSerialPortOpen(bool open) { SerialPortOpen.store(open, std::memory_order_relaxed); }
void SetAcquisitionPaused(bool paused) { AcquisitionPaused.store(paused, std::memory_order_relaxed); }
void SetMaxPointsPerChannel(int max_points) { MaxPointsPerChannel.store(max_points, std::memory_order_relaxed); }

void GetChannelDataSnapshot(std::vector<float>& times, std::vector<std::vector<float>>& channels)
{
    uint64_t appended;
    GetChannelDataSnapshot(times, channels, appended);
}

void GetChannelDataSnapshot(std::vector<float>& times, std::vector<std::vector<float>>& channels, uint64_t& appended)
{
    std::lock_guard<std::mutex> lock(ChannelDataMutex);
    times = SampleTimes;
    channels = ChannelHistories;
    appended = SamplesAppended;
}

void AppendSample(const std::vector<float>& values, float time)
{
    AppendSampleUntrimmed(values, time);
    TrimChannelData(GetMaxPointsPerChannel());
}

void AppendSampleUntrimmed(const std::vector<float>& values, float time)
{
    for (size_t i = 0; i < values.size() && i < ChannelHistories.size(); i++)
        ChannelHistories[i].push_back(values[i]);
    SampleTimes.push_back(time);
    SamplesAppended++;
}

void TrimChannelData(int max_points)
{
    const size_t max = (size_t)std::max(0, max_points);
    size_t excess = SampleTimes.size() > max ? SampleTimes.size() - max : 0;
    for (const std::vector<float>& history : ChannelHistories)
        if (history.size() > max)
            excess = std::max(excess, history.size() - max);
    if (excess == 0)
        return;

    SampleTimes.erase(SampleTimes.begin(), SampleTimes.begin() + std::min(excess, SampleTimes.size()));
    for (std::vector<float>& history : ChannelHistories)
        history.erase(history.begin(), history.begin() + std::min(excess, history.size()));
}
