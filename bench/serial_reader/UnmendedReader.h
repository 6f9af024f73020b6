// The reader step as first written, kept only to measure against: at most 64
// bytes a step into a 256-byte ring that overwrites unparsed bytes, and at
// most one line a step. Field rule and fill as first written too (the lines
// sent here are clean, so the program reads them the same).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class UnmendedReader
{
public:
    UnmendedReader(int fd, size_t channel_count, std::function<void(const std::vector<float>&)> on_sample);
    void Step();

private:
    void ApplyFieldRule();
    void FinishLine();

    int fd;
    size_t channelCount;
    std::function<void(const std::vector<float>&)> onSample;
    uint8_t ring[256] = {};
    size_t head = 0, tail = 0, count = 0;
    bool lineSynced = false;
    std::string token;
    std::vector<float> lineValues;
    std::vector<float> newest; // the newest value of each channel, for the fill
    std::vector<bool> hasNewest;
};
