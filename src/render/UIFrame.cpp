// The per-frame user interface: bars, host window with the dock space, the
// background image and the page that the sidebar selected.
#include "render/UIContext.h"

#include "ai/AIChatPanel.h"
#include "ai/AISettings.h"
#include "ai/AISettingsSection.h"
#include "dock/Dock.h"
#include "ui/CsvSettings.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DataReceptionSettings.h"
#include "ui/GeneralSettings.h"
#include "ui/LiveView.h"
#include "ui/LiveViewSettings.h"
#include "ui/SerialSettings.h"
#include "ui/Sidebar.h"
#include "ui/TopBar.h"

#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>

#include <algorithm>
#include <cstring>
#include <iostream>

namespace nrender
{

BackgroundPlacement PlaceBackgroundImage(const ImVec2& work_pos, const ImVec2& work_size, float sidebar_offset,
                                         int image_width, int image_height)
{
    const float available_width = work_size.x - sidebar_offset;
    const float max_width = available_width * 0.4f;
    const float max_height = work_size.y * 0.4f;
    const float aspect = static_cast<float>(image_width) / static_cast<float>(image_height);

    BackgroundPlacement p;
    if (aspect > 1.0f)
    {
        p.w = std::min(aspect * max_height, max_width);
        p.h = p.w / aspect;
    }
    else
    {
        p.h = std::min(max_width / aspect, max_height);
        p.w = p.h * aspect;
    }
    p.x = work_pos.x + sidebar_offset + (available_width - p.w) * 0.5f;
    p.y = work_pos.y + (work_size.y - p.h) * 0.5f;
    return p;
}

float UIContext::SidebarOffset() const
{
    if (topBar && sidebar && topBar->sidebarVisible)
        return sidebar->width;
    return 0.0f;
}

void UIContext::PreRender()
{
    if (!window)
    {
        std::cerr << "Error: Cannot pre-render UI - window not initialized" << std::endl;
        return;
    }

    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();

    // The top bar first: its menu bar takes its height out of the work area.
    if (topBar)
        topBar->Render();
    if (sidebar && topBar)
    {
        sidebar->visible = topBar->sidebarVisible;
        sidebar->Render();
    }

    // Host window over the page area, with the dock space on both pages so the
    // dock layout stays alive while Settings is shown.
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    const float offset = SidebarOffset();
    const ImVec2 page_pos(vp->WorkPos.x + offset, vp->WorkPos.y);
    const ImVec2 page_size(vp->WorkSize.x - offset, vp->WorkSize.y);

    ImGui::SetNextWindowPos(page_pos, ImGuiCond_None, ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(page_size, ImGuiCond_None);
    if (vp->WorkSize.x != lastWorkSize.x || vp->WorkSize.y != lastWorkSize.y)
    {
        lastWorkSize = vp->WorkSize;
        dock::SetNextWindowDockID(0, ImGuiCond_Always);
    }
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    const ImGuiWindowFlags host_flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                        ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                                        ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoBringToFrontOnFocus |
                                        ImGuiWindowFlags_NoNavFocus;
    dock::Begin("InvisibleWindow", nullptr, host_flags);
    ImGui::PopStyleVar(3);
    const ImGuiID dock_space_id = ImGui::GetID("InvisibleWindowDockSpace");
    SetDashboardDockSpaceId(dock_space_id);
    dock::DockSpace(dock_space_id, ImVec2(0.0f, 0.0f), dock::DockNodeFlags_PassthruCentralNode);
    dock::End();

    // Background image, behind every window.
    if (backgroundTexture != 0 && vp)
    {
        const BackgroundPlacement p =
            PlaceBackgroundImage(vp->WorkPos, vp->WorkSize, offset, backgroundWidth, backgroundHeight);
        ImGui::GetBackgroundDrawList()->AddImage(backgroundTexture, ImVec2(p.x, p.y), ImVec2(p.x + p.w, p.y + p.h),
                                                 ImVec2(0.0f, 0.0f), ImVec2(1.0f, 1.0f), 0x50FFFFFF);
    }

    if (!sidebar)
        return;
    if (sidebar->selectedPage == "Dashboard")
        RenderDashboardPage();
    else if (sidebar->selectedPage == "Settings")
        RenderSettingsPage();
    FinishDataSizeEdit();
}

// The Live View with its companion windows, and the chat panel while AI is on.
void UIContext::RenderDashboardPage()
{
    RenderLiveView();

    if (IsAIEnabled())
    {
        if (!AIChatPanelInstance)
        {
            InitializeAIChat();
            std::cout << "AI Chat initialized dynamically at runtime" << std::endl;
        }
        dock::SetNextWindowDockID(GetDashboardDockSpaceId(), ImGuiCond_FirstUseEver);
        ImGui::SetNextWindowSize(ImVec2(400.0f, 500.0f), ImGuiCond_FirstUseEver);
        if (AIChatPanelInstance)
        {
            const bool was_visible = AIChatPanelInstance->visible;
            AIChatPanelInstance->visible = true;
            AIChatPanelInstance->Render();
            AIChatPanelInstance->visible = was_visible;
        }
    }
    else if (AIChatPanelInstance)
    {
        ShutdownAIChat();
        std::cout << "AI Chat shutdown dynamically at runtime" << std::endl;
    }
}

// The settings sections, in drawing order, each in its own ID scope. A section
// is drawn once its function exists.
struct SettingsSection
{
    const char* id;
    void (*draw)();
};
static const SettingsSection SettingsSections[] = {
    {"UIContextGeneral", GeneralSettingsPage},
    {"UIContextSerial", SerialSettingsPage},
    {"UIContextDataReception", DataReceptionSettingsPage},
    {"UIContextCSV", CsvSettingsPage},
    {"UIContextViewer", LiveViewSettingsPage},
    {"UIContextAI", AIModelSettingsPage},
};

void UIContext::RenderSettingsPage()
{
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    const float offset = SidebarOffset();
    ImGui::SetNextWindowPos(ImVec2(vp->WorkPos.x + offset, vp->WorkPos.y), ImGuiCond_None, ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(vp->WorkSize.x - offset, vp->WorkSize.y), ImGuiCond_None);

    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    // Begun with ImGui::Begin, not dock::Begin, so it never docks.
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                                   ImGuiWindowFlags_NoSavedSettings;
    if (ImGui::Begin("SettingsFullWindow", nullptr, flags))
    {
        // Square corners for everything the sections draw.
        ImGuiStyle& style = ImGui::GetStyle();
        const float saved_window_rounding = style.WindowRounding;
        const float saved_child_rounding = style.ChildRounding;
        const float saved_frame_rounding = style.FrameRounding;
        const float saved_popup_rounding = style.PopupRounding;
        const float saved_tab_rounding = style.TabRounding;
        style.WindowRounding = 0.0f;
        style.ChildRounding = 0.0f;
        style.FrameRounding = 0.0f;
        style.PopupRounding = 0.0f;
        style.TabRounding = 0.0f;

        for (const SettingsSection& section : SettingsSections)
        {
            if (!section.draw)
                continue;
            ImGui::Separator();
            ImGui::PushID(section.id);
            section.draw();
            ImGui::PopID();
        }

        style.WindowRounding = saved_window_rounding;
        style.ChildRounding = saved_child_rounding;
        style.FrameRounding = saved_frame_rounding;
        style.PopupRounding = saved_popup_rounding;
        style.TabRounding = saved_tab_rounding;
    }
    ImGui::End();
    ImGui::PopStyleVar(2);
}

} // namespace nrender
