#include "UnmendedReader.h"

#include "platform/SerialDevice.h"

#include <cerrno>
#include <cstdlib>

UnmendedReader::UnmendedReader(int fd_, size_t channel_count, std::function<void(const std::vector<float>&)> on_sample)
    : fd(fd_), channelCount(channel_count), onSample(std::move(on_sample)), newest(channel_count, 0.0f),
      hasNewest(channel_count, false)
{}

void UnmendedReader::ApplyFieldRule()
{
    size_t digits = 0, points = 0, minus = 0;
    for (size_t i = 0; i < token.size(); i++)
    {
        if (token[i] >= '0' && token[i] <= '9')
            digits++;
        else if (token[i] == '.')
            points++;
        else if (token[i] == '-')
        {
            minus++;
            if (i != 0)
                return;
        }
    }
    if (token.empty() || digits == 0 || points > 1 || minus > 1)
        return;
    errno = 0;
    const float value = strtof(token.c_str(), nullptr);
    if (errno != ERANGE)
        lineValues.push_back(value);
}

void UnmendedReader::FinishLine()
{
    ApplyFieldRule();
    token.clear();
    lineSynced = false;
    if (lineValues.size() > channelCount)
        lineValues.resize(channelCount);
    for (size_t i = lineValues.size(); i < channelCount; i++)
        lineValues.push_back(hasNewest[i] ? newest[i] : 0.0f);
    for (size_t i = 0; i < channelCount; i++)
    {
        newest[i] = lineValues[i];
        hasNewest[i] = true;
    }
    onSample(lineValues);
}

void UnmendedReader::Step()
{
    uint8_t buffer[64];
    const long got = platform::ReadSerialDevice(fd, buffer, sizeof(buffer));
    for (long i = 0; i < got; i++)
    {
        if (buffer[i] >= 0x80)
            continue;
        if (count == 256)
            tail = (tail + 1) % 256; // the oldest unparsed byte is overwritten
        else
            count++;
        ring[head] = buffer[i];
        head = (head + 1) % 256;
    }
    while (count > 0)
    {
        const uint8_t byte = ring[tail];
        tail = (tail + 1) % 256;
        count--;
        if (!lineSynced)
        {
            if (byte == '\n')
            {
                lineSynced = true;
                token.clear();
                lineValues.clear();
            }
            continue;
        }
        if (byte == '\r')
        {
            FinishLine();
            return; // one line a step
        }
        if (byte == ',')
        {
            ApplyFieldRule();
            token.clear();
        }
        else if ((byte >= '0' && byte <= '9') || byte == '-' || byte == '.')
            token.push_back((char)byte);
    }
}
