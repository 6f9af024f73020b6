#include "ui/DashboardDockSpace.h"

static ImGuiID DashboardDockSpaceId = 0;

ImGuiID GetDashboardDockSpaceId() { return DashboardDockSpaceId; }

void SetDashboardDockSpaceId(ImGuiID id) { DashboardDockSpaceId = id; }
