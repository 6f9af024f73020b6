// The id of the dock space "InvisibleWindowDockSpace". The per-frame UI takes it
// inside its host window every frame; the Dashboard windows, drawn after the host
// window has ended, dock into it with dock::SetNextWindowDockID.
#pragma once

#include <imgui.h>

ImGuiID GetDashboardDockSpaceId();
void SetDashboardDockSpaceId(ImGuiID id);
