// A small docking layer on Dear ImGui's master branch: one dock space holds any number of
// windows as tabs. A tab dragged out of the bar becomes a floating window; a floating window
// dragged by its title bar onto the dock space's drop target docks there again. Which windows are
// docked, their tab order and the selected tab are saved in ImGui's ini file ("[Dock][name]").
//
// Usage, every frame:
//     ImGui::Begin("Host", ...);                       // any plain ImGui window
//     ImGuiID id = dock::DockSpace(ImGui::GetID("MyDockSpace"), ImVec2(0, 0), dock::DockNodeFlags_PassthruCentralNode);
//     ImGui::End();
//     dock::SetNextWindowDockID(id, ImGuiCond_FirstUseEver);
//     if (dock::Begin("Some Window")) { ... }
//     dock::End();
// Only windows opened through dock::Begin take part in docking; plain ImGui::Begin windows never dock.
#pragma once

#include <imgui.h>
#include <imgui_internal.h> // ImRect

namespace dock
{

enum DockNodeFlags_
{
    DockNodeFlags_None = 0,
    DockNodeFlags_PassthruCentralNode = 1 << 0, // While empty: draw nothing, let the mouse through to what is behind.
};

enum DockCol_
{
    DockCol_DockingPreview, // Drop target and the area a dropped window will fill.
    DockCol_DockingEmptyBg, // An empty dock space without DockNodeFlags_PassthruCentralNode.
    DockCol_COUNT
};

struct DockStyle
{
    ImVec4 Colors[DockCol_COUNT];
    DockStyle();
};

// Lifetime: Initialize after ImGui::CreateContext and before the first NewFrame (it registers the
// ini settings handler); Shutdown before ImGui::DestroyContext (the final ini save still holds the layout).
void Initialize();
void Shutdown();
DockStyle& GetStyle();

// Inside the current (host) window, every frame. size (0, 0) = the whole content region left.
ImGuiID DockSpace(ImGuiID id, const ImVec2& size = ImVec2(0, 0), int flags = 0);

// For the next dock::Begin: dock into dock_id, or keep out of docking with 0. cond 0 = Always.
void SetNextWindowDockID(ImGuiID dock_id, ImGuiCond cond = 0);

// ImGui::Begin with docking applied. Returns false for a docked window whose tab is not selected
// (or a collapsed window). Always call End, as with ImGui::Begin.
bool Begin(const char* name, bool* p_open = nullptr, ImGuiWindowFlags flags = 0);
void End();

// Queries (also used by tests).
bool IsWindowDocked(const char* name);
ImGuiID GetWindowDockID(const char* name);                     // 0 when floating or unknown
const char* GetSelectedTab(ImGuiID dock_id);                   // window name of the selected tab, or nullptr
int GetDockedWindowCount(ImGuiID dock_id);                     // windows docked there (submitted or not)
ImRect GetDockSpaceRect(ImGuiID dock_id);                      // whole area of the last DockSpace call
ImRect GetDockSpaceTabBarRect(ImGuiID dock_id);                // tab bar along the top (empty while nothing is docked)
ImRect GetDockSpaceTabRect(ImGuiID dock_id, const char* name); // one tab of the bar, as drawn this frame

} // namespace dock
