// One window per channel whose "Show Individual Plot" switch is on.
#pragma once

#include <vector>

void RenderIndividualViews(const std::vector<float>& snapshotTimes,
                           const std::vector<std::vector<float>>& snapshotHistories);
