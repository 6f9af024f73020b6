// libFuzzer target for the serial line parser: any byte stream, any channel
// count and limit, cut into reads of any size. The store must stay whole, and
// its rows must be those that the line rules below give for the whole stream.
#include "serial/ChannelData.h"
#include "serial/SerialReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace
{
using Row = std::vector<float>;

// A field is kept if, of its digits, "-" and ".", there is a digit, at most
// one "." and at most one "-" that comes first, and nothing of them follows a
// blank after a digit or "."; it is converted as std::stof does, and dropped
// when out of range.
bool FieldValue(const std::string& field, float& value)
{
    std::string kept;
    for (char c : field)
        if (std::string_view("0123456789-.").find(c) != std::string_view::npos)
            kept += c;
        else if ((c == ' ' || c == '\t') && !kept.empty() && kept.back() != '-')
            kept += ' ';
    const size_t points = std::count(kept.begin(), kept.end(), '.');
    const size_t minus = std::count(kept.begin(), kept.end(), '-');
    if (kept.find_first_of("0123456789") == std::string::npos || points > 1 || minus > 1 ||
        (minus == 1 && kept[0] != '-') || kept.find_first_not_of(' ', kept.find(' ')) != std::string::npos)
        return false;
    try
    {
        value = std::stof(kept);
        return true;
    }
    catch (const std::out_of_range&)
    {
        return false;
    }
}

// Rows for the whole stream: a line runs from an LF to the next CR (later LFs
// inside it count for nothing) and is dropped when longer than the limit;
// bytes of 0x80 and above never reach the parser. Field n goes to channel n;
// a dropped or missing field's channel repeats the newest stored value, or 0.
std::vector<Row> ExpectedRows(std::string bytes, size_t channels, bool keeps_rows)
{
    std::erase_if(bytes, [](char c) { return (uint8_t)c >= 0x80; });
    std::vector<Row> rows;
    size_t at = 0;
    for (;;)
    {
        const size_t lf = bytes.find('\n', at);
        if (lf == std::string::npos)
            return rows;
        const size_t cr = bytes.find('\r', lf + 1);
        const size_t length = (cr == std::string::npos ? bytes.size() : cr) - (lf + 1);
        if (length > MaxSerialLineLength)
        {
            at = lf + 1 + MaxSerialLineLength + 1; // the byte past the limit is spent
            continue;
        }
        if (cr == std::string::npos)
            return rows;

        Row row(channels, NAN); // NAN: no number for the channel yet
        bool number = false;
        const std::string line = bytes.substr(lf + 1, length);
        size_t start = 0;
        for (size_t n = 0;; n++)
        {
            const size_t comma = line.find(',', start);
            float value;
            if (FieldValue(line.substr(start, comma - start), value))
            {
                number = true;
                if (n < channels)
                    row[n] = value;
            }
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        at = cr + 1;
        // A line that gives no channel a number (with no channels: that holds none) makes no row.
        if (channels > 0 ? std::all_of(row.begin(), row.end(), [](float v) { return std::isnan(v); }) : !number)
            continue;
        for (size_t i = 0; i < channels; i++)
            if (std::isnan(row[i]))
                row[i] = keeps_rows && !rows.empty() ? rows.back()[i] : 0.0f;
        rows.push_back(row);
    }
}

bool SameValue(float a, float b) { return memcmp(&a, &b, sizeof a) == 0; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t channels = data[0] % (MaxChannelCount + 1);
    const int limit = data[1] % 64;
    SetMaxPointsPerChannel(limit);
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
        if (SampleTimes.size() > (size_t)limit)
            abort();
    }

    // The store keeps the newest rows, up to the limit.
    const std::vector<Row> rows = ExpectedRows(std::string((const char*)data, size), channels, limit > 0);
    const size_t kept = std::min(rows.size(), (size_t)limit);
    if (SampleTimes.size() != kept)
        abort();
    for (size_t k = 0; k < kept; k++)
        for (size_t i = 0; i < channels; i++)
            if (!SameValue(ChannelHistories[i][k], rows[rows.size() - kept + k][i]))
                abort();
    return 0;
}
