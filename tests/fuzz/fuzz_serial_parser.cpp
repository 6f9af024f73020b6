// libFuzzer target for the serial line parser: any byte stream, any channel
// count and limit, cut into reads of any size. The store must stay whole and
// every row must hold finite or infinite floats only from accepted fields.
#include "serial/ChannelData.h"
#include "serial/SerialReader.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t channels = data[0] % (MaxChannelCount + 1);
    SetMaxPointsPerChannel(data[1] % 64);
    data += 2;
    size -= 2;

    std::lock_guard<std::mutex> lock(ChannelDataMutex);
    ResetSerialParser();
    SampleTimes.clear();
    ChannelHistories.assign(channels, {});

    // Reads of 1 to 256 bytes, their lengths taken from the data itself.
    size_t at = 0;
    while (at < size)
    {
        const size_t chunk = std::min<size_t>(size - at, (size_t)(data[at] % 255) + 1);
        ParseSerialBytes(data + at, chunk);
        at += chunk;

        if (ChannelHistories.size() != channels)
            abort();
        for (const std::vector<float>& history : ChannelHistories)
            if (history.size() != SampleTimes.size())
                abort();
        if (SampleTimes.size() > (size_t)GetMaxPointsPerChannel())
            abort();
        for (const std::vector<float>& history : ChannelHistories)
            for (float v : history)
                if (v != v) // no conversion yields NaN
                    abort();
    }
    return 0;
}
