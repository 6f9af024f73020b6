// The render context that owns the user-interface libraries of the window:
// ImGui with its GLFW and OpenGL 3 back ends, the plot and docking layers, the
// fonts, the top bar and sidebar, and the background image.
#pragma once

#include "render/RenderContext.h"

#include <imgui.h>

#include <memory>

class TopBar;
class Sidebar;

namespace nrender
{

// The background image box: at most 40 % of the page area each way, with the
// image's aspect ratio, centred in the page area.
struct BackgroundPlacement
{
    float x, y, w, h;
};
BackgroundPlacement PlaceBackgroundImage(const ImVec2& work_pos, const ImVec2& work_size, float sidebar_offset,
                                         int image_width, int image_height);

class UIContext : public RenderContext
{
public:
    UIContext();
    // Deletes the sidebar, then the top bar; calls no End.
    ~UIContext() override;

    int Init(nwindow::IWindow* window) override;
    void PreRender() override;
    void PostRender() override;
    void End() override;

    void LoadBackgroundImage();

    std::unique_ptr<TopBar> topBar;
    std::unique_ptr<Sidebar> sidebar;
    ImTextureID backgroundTexture = 0;
    int backgroundWidth = 0;
    int backgroundHeight = 0;

    // The main viewport's work size when the host window was last told to be undocked.
    ImVec2 lastWorkSize = ImVec2(0.0f, 0.0f);

private:
    float SidebarOffset() const;
    void RenderDashboardPage();
    void RenderSettingsPage();
};

} // namespace nrender
