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

// A field is kept if it is: blanks, an optional label (a letter, then up to
// the first ":" or "="), blanks, a number as strtod reads it in decimal, then
// anything without a digit that is not the "x" of "0x"; it is converted as
// std::stof does, and dropped when out of range.
bool FieldValue(const std::string& field, float& value)
{
    std::string rest = field.substr(std::min(field.size(), field.find_first_not_of(" \t")));
    if (!rest.empty() && isalpha((unsigned char)rest[0]))
    {
        const size_t end = rest.find_first_of(":=");
        if (end == std::string::npos)
            return false;
        rest = rest.substr(end + 1);
        rest = rest.substr(std::min(rest.size(), rest.find_first_not_of(" \t")));
    }
    if (rest.empty() || !strchr("+-.0123456789", rest[0]))
        return false;
    char* end = nullptr;
    strtod(rest.c_str(), &end);
    const std::string number = rest.substr(0, (size_t)(end - rest.c_str()));
    const std::string unit = rest.substr(number.size());
    if (number.find_first_of("0123456789") == std::string::npos ||
        number.find_first_not_of("+-.0123456789eE") != std::string::npos ||
        unit.find_first_of("0123456789") != std::string::npos ||
        (!unit.empty() && (unit[0] == 'x' || unit[0] == 'X') &&
         number.find_first_of("123456789.eE") == std::string::npos))
        return false;
    try
    {
        value = std::stof(number);
        return true;
    }
    catch (const std::out_of_range&)
    {
        return false;
    }
}

// Rows for the whole stream: CR and LF each end a line, the bytes before the
// first line end are skipped, and a line longer than the limit is dropped with
// the rest up to the next line end. Bytes of 0x80 and above and NULs spoil
// their line. Field n goes to channel n; a dropped or missing field's channel
// repeats the newest stored value, or 0.
std::vector<Row> ExpectedRows(const std::string& bytes, size_t channels, bool keeps_rows)
{
    std::vector<Row> rows;
    size_t at = bytes.find_first_of("\r\n");
    while (at != std::string::npos)
    {
        const size_t start = at + 1;
        const size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos)
            return rows;
        at = end;
        std::string line = bytes.substr(start, end - start);
        if (line.size() > MaxSerialLineLength)
            continue;
        // A byte of 0x80 and above arrives as a NUL.
        if (std::any_of(line.begin(), line.end(), [](char c) { return c == 0 || (uint8_t)c >= 0x80; }))
            continue;

        Row row(channels, NAN); // NAN: no number for the channel yet
        bool number = false;
        size_t field_start = 0;
        for (size_t n = 0;; n++)
        {
            const size_t comma = line.find(',', field_start);
            float value;
            if (FieldValue(line.substr(field_start, comma - field_start), value))
            {
                number = true;
                if (n < channels)
                    row[n] = value;
            }
            if (comma == std::string::npos)
                break;
            field_start = comma + 1;
        }
        // A line that gives no channel a number (with no channels: that holds none) makes no row.
        if (channels > 0 ? std::all_of(row.begin(), row.end(), [](float v) { return std::isnan(v); }) : !number)
            continue;
        for (size_t i = 0; i < channels; i++)
            if (std::isnan(row[i]))
                row[i] = keeps_rows && !rows.empty() ? rows.back()[i] : 0.0f;
        rows.push_back(row);
    }
    return rows;
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
