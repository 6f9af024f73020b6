// Channel data store and acquisition settings.
// The reader thread is the only writer of the store; everyone else reads a
// snapshot taken under ChannelDataMutex.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

constexpr int MaxChannelCount = 3;
constexpr int MaxPointsLimit = 10000;

extern std::vector<float> SampleTimes;
extern std::vector<std::vector<float>> ChannelHistories;
extern std::mutex ChannelDataMutex;
extern uint64_t SamplesAppended; // guarded by ChannelDataMutex

// Acquisition settings: written on the UI thread, read by the reader thread
// without a lock (each is an atomic).
int GetChannelCount();
bool IsSerialPortOpen();
bool IsAcquisitionPaused();
int GetMaxPointsPerChannel();
void SetChannelCount(int count);
void SetSerialPortOpen(bool open);
void SetAcquisitionPaused(bool paused);
void SetMaxPointsPerChannel(int max_points);

void GetChannelDataSnapshot(std::vector<float>& times, std::vector<std::vector<float>>& channels);
// The same, with the number of samples appended since start-up (never reset), so that a reader
// can tell which samples of the snapshot it has not seen: the last appended - seen ones.
void GetChannelDataSnapshot(std::vector<float>& times, std::vector<std::vector<float>>& channels, uint64_t& appended);

// The caller holds ChannelDataMutex.
void AppendSample(const std::vector<float>& values, float time);
// The two halves of AppendSample. The reader appends every line of a step and
// trims once at its end: one erase from the front per step, not per line, and
// the store is back within the limit before the lock is released.
void AppendSampleUntrimmed(const std::vector<float>& values, float time);
void TrimChannelData(int max_points);
