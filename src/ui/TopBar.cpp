#include "ui/TopBar.h"

#include "ui/DashboardSettings.h"

#include <imgui.h>

TopBar::TopBar() : sidebarVisible(true) {}

TopBar::~TopBar() {}

void TopBar::Render()
{
    ImGuiStyle& style = ImGui::GetStyle();

    // The bar changes the style directly; everything touched is put back at the end.
    const float saved_window_rounding = style.WindowRounding;
    const float saved_window_border_size = style.WindowBorderSize;
    const ImVec2 saved_frame_padding = style.FramePadding;
    const float saved_frame_rounding = style.FrameRounding;
    const ImVec2 saved_item_spacing = style.ItemSpacing;
    const ImVec4 saved_text = style.Colors[ImGuiCol_Text];
    const ImVec4 saved_menu_bar_bg = style.Colors[ImGuiCol_MenuBarBg];
    const ImVec4 saved_button = style.Colors[ImGuiCol_Button];
    const ImVec4 saved_button_hovered = style.Colors[ImGuiCol_ButtonHovered];
    const ImVec4 saved_button_active = style.Colors[ImGuiCol_ButtonActive];

    const bool dark = GetThemeIndex() == 1;
    if (dark)
    {
        style.Colors[ImGuiCol_Text] = ImVec4(0.95f, 0.96f, 0.98f, 1.0f);
        style.Colors[ImGuiCol_MenuBarBg] = ImVec4(0.05f, 0.05f, 0.05f, 0.98f);
        style.Colors[ImGuiCol_Button] = ImVec4(0.12f, 0.12f, 0.12f, 0.0f);
        style.Colors[ImGuiCol_ButtonHovered] = ImVec4(0.2f, 0.2f, 0.2f, 0.8f);
        style.Colors[ImGuiCol_ButtonActive] = ImVec4(0.25f, 0.25f, 0.25f, 0.9f);
    }
    else
    {
        style.Colors[ImGuiCol_Text] = ImVec4(0.1f, 0.1f, 0.1f, 1.0f);
        style.Colors[ImGuiCol_MenuBarBg] = ImVec4(0.98f, 0.98f, 0.98f, 0.98f);
        style.Colors[ImGuiCol_Button] = ImVec4(0.9f, 0.9f, 0.9f, 0.0f);
        style.Colors[ImGuiCol_ButtonHovered] = ImVec4(0.8f, 0.8f, 0.8f, 0.8f);
        style.Colors[ImGuiCol_ButtonActive] = ImVec4(0.75f, 0.75f, 0.75f, 0.9f);
    }

    style.FramePadding = ImVec2(20.0f, 4.0f);
    style.FrameRounding = 0.0f;
    style.ItemSpacing = ImVec2(0.0f, 0.0f);
    style.WindowRounding = 0.0f;
    style.WindowBorderSize = 0.0f;

    if (ImGui::BeginMainMenuBar())
    {
        const ImVec2 p = ImGui::GetWindowPos();
        const ImVec2 s = ImGui::GetWindowSize();
        ImDrawList* draw_list = ImGui::GetWindowDrawList();

        const ImU32 top = dark ? IM_COL32(15, 15, 15, 255) : IM_COL32(250, 250, 250, 255);
        const ImU32 bottom = dark ? IM_COL32(8, 8, 8, 255) : IM_COL32(245, 245, 245, 255);
        const ImU32 line = dark ? IM_COL32(40, 40, 40, 255) : IM_COL32(220, 220, 220, 255);
        draw_list->AddRectFilledMultiColor(p, ImVec2(p.x + s.x, p.y + s.y), top, top, bottom, bottom);
        draw_list->AddLine(ImVec2(p.x, p.y + s.y - 1.0f), ImVec2(p.x + s.x, p.y + s.y - 1.0f), line, 1.0f);

        ImGui::SetCursorPosX(0.0f);
        ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.0f, 0.0f, 0.0f, 0.0f));
        ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.1f, 0.1f, 0.1f, 0.1f));
        ImGui::PushStyleColor(ImGuiCol_ButtonActive, ImVec4(0.15f, 0.15f, 0.15f, 0.2f));
        if (ImGui::Button("\xef\x83\x89", ImVec2(65.0f, 0.0f))) // U+F0C9 bars
            sidebarVisible = !sidebarVisible;
        ImGui::PopStyleColor(3);
        ImGui::EndMainMenuBar();
    }

    style.WindowRounding = saved_window_rounding;
    style.WindowBorderSize = saved_window_border_size;
    style.FramePadding = saved_frame_padding;
    style.FrameRounding = saved_frame_rounding;
    style.ItemSpacing = saved_item_spacing;
    style.Colors[ImGuiCol_Text] = saved_text;
    style.Colors[ImGuiCol_MenuBarBg] = saved_menu_bar_bg;
    style.Colors[ImGuiCol_Button] = saved_button;
    style.Colors[ImGuiCol_ButtonHovered] = saved_button_hovered;
    style.Colors[ImGuiCol_ButtonActive] = saved_button_active;
}
