#include "ai/AIDataContext.h"

#include "serial/ChannelData.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <iomanip>
#include <iostream>
#include <sstream>

const char* const NoDataContextText =
    "No data streams currently active. Connect a serial device to see real-time data.";
const char* const DataContextErrorText = "Unable to access current data streams. Please check serial connection.";

static std::string ChannelName(const std::vector<std::string>& labels, size_t i)
{
    if (labels.size() > i)
        return labels[i];
    return "Channel_" + std::to_string(i + 1);
}

// Sums run in double: a float sum of thousands of large values drifts below
// their own minimum.
static double Mean(const std::vector<float>& x)
{
    double sum = 0.0;
    for (float v : x)
        sum += v;
    return sum / (double)x.size();
}

// Population standard deviation.
static double StdDev(const std::vector<float>& x, double mean)
{
    double sum = 0.0;
    for (float v : x)
        sum += (v - mean) * (v - mean);
    return std::sqrt(sum / (double)x.size());
}

static void AddChannelAlerts(const std::string& name, const std::vector<float>& x, std::vector<std::string>& alerts)
{
    const size_t n = x.size();
    const double mean = Mean(x);
    const double sd = StdDev(x, mean);
    const double guard = sd + 0.0001;

    const double z = std::fabs(x[n - 1] - mean) / guard;
    if (z > 2.5)
        alerts.push_back(name + " shows HIGH DEVIATION (Z=" + std::to_string(z) + " sigma)");

    size_t outliers = 0;
    for (float v : x)
        if (std::fabs(v - mean) / guard > 2.5)
            outliers++;
    if ((double)outliers > 0.05 * (double)n)
        alerts.push_back(name + " has MANY OUTLIERS (" + std::to_string(outliers) + " spikes/drops detected)");

    if (n >= 2)
    {
        const float delta = std::fabs(x[n - 1] - x[n - 2]);
        if (delta > 2.0 * sd)
            alerts.push_back(name + " shows RAPID CHANGE (" + std::to_string((double)delta) + " units)");
    }
}

std::string BuildDataContextText(const std::vector<std::string>& labels)
{
    try
    {
        std::vector<float> times;
        std::vector<std::vector<float>> histories;
        GetChannelDataSnapshot(times, histories);
        // Channels set but no sample yet (port not opened, or closed): no data
        // either, not channels that read normal.
        if (std::all_of(histories.begin(), histories.end(), [](const std::vector<float>& x) { return x.empty(); }))
            return NoDataContextText;

        std::ostringstream out;
        out << std::fixed << std::setprecision(1);

        std::vector<std::string> alerts;
        for (size_t i = 0; i < histories.size(); i++)
            if (!histories[i].empty())
                AddChannelAlerts(ChannelName(labels, i), histories[i], alerts);

        if (!alerts.empty())
        {
            out << "ALERTS (" << alerts.size() << " issues detected):\n";
            for (const std::string& alert : alerts)
                out << "- " << alert << "\n";
            out << "\n";
        }
        else
        {
            out << "STATUS: All data channels normal\n\n";
        }

        out << "Current readings & averages:\n";
        for (size_t i = 0; i < 3 && i < histories.size(); i++)
        {
            const std::vector<float>& x = histories[i];
            if (x.empty())
                continue;
            float lo = x[0], hi = x[0];
            for (float v : x)
            {
                lo = v < lo ? v : lo;
                hi = v > hi ? v : hi;
            }
            out << "- " << ChannelName(labels, i) << ": now=" << x.back() << ", avg=" << Mean(x) << ", min=" << lo
                << ", max=" << hi << "\n";
        }
        return out.str();
    }
    catch (const std::exception& e)
    {
        std::cout << "Error getting data context: " << e.what() << std::endl;
        return DataContextErrorText;
    }
}
