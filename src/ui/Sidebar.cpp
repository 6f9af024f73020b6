#include "ui/Sidebar.h"

#include "ui/DashboardSettings.h"

#include <imgui.h>

Sidebar::Sidebar() : visible(true), width(65.0f), selectedPage("Dashboard")
{
    items.push_back({"Dashboard", "\xef\x88\x81"}); // U+F201 line chart
    items.push_back({"Settings", "\xef\x80\x93"});  // U+F013 gear
}

Sidebar::~Sidebar() {}

void Sidebar::Render()
{
    if (!visible)
        return;

    ImGuiStyle& style = ImGui::GetStyle();

    // The sidebar changes the style directly; everything touched is put back at the end.
    const ImVec2 saved_window_padding = style.WindowPadding;
    const float saved_window_rounding = style.WindowRounding;
    const float saved_window_border_size = style.WindowBorderSize;
    const ImVec2 saved_frame_padding = style.FramePadding;
    const float saved_frame_rounding = style.FrameRounding;
    const ImVec2 saved_item_spacing = style.ItemSpacing;
    const ImVec4 saved_window_bg = style.Colors[ImGuiCol_WindowBg];
    const ImVec4 saved_border = style.Colors[ImGuiCol_Border];
    const ImVec4 saved_text = style.Colors[ImGuiCol_Text];
    const ImVec4 saved_button = style.Colors[ImGuiCol_Button];
    const ImVec4 saved_button_hovered = style.Colors[ImGuiCol_ButtonHovered];
    const ImVec4 saved_button_active = style.Colors[ImGuiCol_ButtonActive];

    const bool dark = GetThemeIndex() != 0;
    if (dark)
    {
        style.Colors[ImGuiCol_WindowBg] = ImVec4(0.13f, 0.13f, 0.13f, 1.0f);
        style.Colors[ImGuiCol_Border] = ImVec4(0.25f, 0.25f, 0.25f, 1.0f);
        style.Colors[ImGuiCol_Text] = ImVec4(0.87f, 0.87f, 0.87f, 1.0f);
        style.Colors[ImGuiCol_Button] = ImVec4(0.18f, 0.18f, 0.18f, 0.0f);
        style.Colors[ImGuiCol_ButtonHovered] = ImVec4(0.22f, 0.22f, 0.22f, 0.8f);
        style.Colors[ImGuiCol_ButtonActive] = ImVec4(0.28f, 0.28f, 0.28f, 0.9f);
    }
    else
    {
        style.Colors[ImGuiCol_WindowBg] = ImVec4(0.96f, 0.96f, 0.96f, 1.0f);
        style.Colors[ImGuiCol_Border] = ImVec4(0.85f, 0.85f, 0.85f, 1.0f);
        style.Colors[ImGuiCol_Text] = ImVec4(0.13f, 0.13f, 0.13f, 1.0f);
        style.Colors[ImGuiCol_Button] = ImVec4(0.92f, 0.92f, 0.92f, 0.0f);
        style.Colors[ImGuiCol_ButtonHovered] = ImVec4(0.88f, 0.88f, 0.88f, 0.8f);
        style.Colors[ImGuiCol_ButtonActive] = ImVec4(0.82f, 0.82f, 0.82f, 0.9f);
    }

    style.WindowPadding = ImVec2(0.0f, 0.0f);
    style.WindowRounding = 0.0f;
    style.WindowBorderSize = 1.0f;
    style.FramePadding = ImVec2(4.0f, 4.0f);
    style.FrameRounding = 3.0f;
    style.ItemSpacing = ImVec2(2.0f, 4.0f);

    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->WorkPos, ImGuiCond_None, ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(width, viewport->WorkSize.y), ImGuiCond_None);

    // Begun with ImGui::Begin, not dock::Begin, so it never docks.
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_AlwaysUseWindowPadding;
    if (ImGui::Begin("Sidebar", nullptr, flags))
    {
        ImDrawList* draw_list = ImGui::GetWindowDrawList();
        ImGui::SetCursorPosY(6.0f);
        ImGui::SetCursorPosX(0.0f);

        const ImU32 selected_color = IM_COL32(52, 144, 220, 255);
        for (const SidebarItem& item : items)
        {
            const bool selected = item.label == selectedPage;

            ImGui::BeginGroup();
            ImGui::PushID(item.label.c_str());

            if (ImGui::InvisibleButton("##icon", ImVec2(width - 4.0f, ImGui::GetFontSize() + 38.0f)))
                selectedPage = item.label;

            const ImVec2 m = ImGui::GetItemRectMin();
            ImU32 c = selected_color;
            if (!selected)
                c = dark ? IM_COL32(180, 180, 180, 255) : IM_COL32(100, 100, 100, 255);

            // The x positions are screen coordinates; the sidebar starts at x = 0.
            const ImVec2 icon_size = ImGui::CalcTextSize(item.icon.c_str());
            draw_list->AddText(ImVec2((width - icon_size.x) * 0.5f, m.y + 8.0f), c, item.icon.c_str());

            ImFont* font = ImGui::GetFont();
            const float label_font_size = ImGui::GetFontSize() * 0.75f;
            const ImVec2 label_size = font->CalcTextSizeA(label_font_size, FLT_MAX, 0.0f, item.label.c_str());
            draw_list->AddText(font, label_font_size, ImVec2((width - label_size.x) * 0.5f, m.y + 34.0f), c,
                               item.label.c_str());

            if (selected)
                draw_list->AddLine(m, ImVec2(m.x, ImGui::GetItemRectMax().y), selected_color, 3.0f);

            ImGui::PopID();
            ImGui::EndGroup();
            ImGui::Spacing();
        }
        ImGui::Spacing();
        ImGui::Spacing();
    }
    ImGui::End();

    style.WindowPadding = saved_window_padding;
    style.WindowRounding = saved_window_rounding;
    style.WindowBorderSize = saved_window_border_size;
    style.FramePadding = saved_frame_padding;
    style.FrameRounding = saved_frame_rounding;
    style.ItemSpacing = saved_item_spacing;
    style.Colors[ImGuiCol_WindowBg] = saved_window_bg;
    style.Colors[ImGuiCol_Border] = saved_border;
    style.Colors[ImGuiCol_Text] = saved_text;
    style.Colors[ImGuiCol_Button] = saved_button;
    style.Colors[ImGuiCol_ButtonHovered] = saved_button_hovered;
    style.Colors[ImGuiCol_ButtonActive] = saved_button_active;
}
