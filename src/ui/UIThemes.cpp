#include "ui/UIThemes.h"

#include "dock/Dock.h"

#include <imgui.h>

// The style values are the same in both themes except WindowRounding.
static void ApplyThemeStyleValues(ImGuiStyle& style, float window_rounding)
{
    style.Alpha = 1.0f;
    style.DisabledAlpha = 0.6f;
    style.WindowPadding = ImVec2(16.0f, 16.0f);
    style.WindowRounding = window_rounding;
    style.WindowBorderSize = 0.0f;
    style.WindowMinSize = ImVec2(32.0f, 32.0f);
    style.WindowTitleAlign = ImVec2(0.0f, 0.5f);
    style.WindowMenuButtonPosition = ImGuiDir_Right;
    style.ChildRounding = 8.0f;
    style.ChildBorderSize = 0.0f;
    style.PopupRounding = 8.0f;
    style.PopupBorderSize = 0.0f;
    style.FramePadding = ImVec2(12.0f, 4.0f);
    style.FrameRounding = 6.0f;
    style.FrameBorderSize = 0.0f;
    style.ItemSpacing = ImVec2(8.0f, 8.0f);
    style.ItemInnerSpacing = ImVec2(8.0f, 6.0f);
    style.CellPadding = ImVec2(8.0f, 6.0f);
    style.IndentSpacing = 20.0f;
    style.ColumnsMinSpacing = 8.0f;
    style.ScrollbarSize = 14.0f;
    style.ScrollbarRounding = 8.0f;
    style.GrabMinSize = 12.0f;
    style.GrabRounding = 6.0f;
    style.TabRounding = 2.0f;
    style.TabBorderSize = 0.0f;
    style.ColorButtonPosition = ImGuiDir_Right;
    style.ButtonTextAlign = ImVec2(0.5f, 0.5f);
    style.SelectableTextAlign = ImVec2(0.0f, 0.0f);
}

void ApplyDarkTheme(ImGuiStyle& style)
{
    ApplyThemeStyleValues(style, 4.5f);

    ImVec4* c = style.Colors;
    // The docking colours belong to the dock layer's style.
    ImVec4* d = dock::GetStyle().Colors;
    c[ImGuiCol_Text] = ImVec4(0.95f, 0.96f, 0.98f, 1.0f);
    c[ImGuiCol_TextDisabled] = ImVec4(0.5f, 0.5f, 0.5f, 1.0f);
    c[ImGuiCol_WindowBg] = ImVec4(0.06f, 0.06f, 0.06f, 1.0f);
    c[ImGuiCol_ChildBg] = ImVec4(0.08f, 0.08f, 0.08f, 1.0f);
    c[ImGuiCol_PopupBg] = ImVec4(0.08f, 0.08f, 0.08f, 0.94f);
    c[ImGuiCol_Border] = ImVec4(0.2f, 0.2f, 0.2f, 0.5f);
    c[ImGuiCol_BorderShadow] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    c[ImGuiCol_FrameBg] = ImVec4(0.12f, 0.12f, 0.12f, 1.0f);
    c[ImGuiCol_FrameBgHovered] = ImVec4(0.18f, 0.18f, 0.18f, 1.0f);
    c[ImGuiCol_FrameBgActive] = ImVec4(0.15f, 0.15f, 0.15f, 1.0f);
    c[ImGuiCol_TitleBg] = ImVec4(0.04f, 0.04f, 0.04f, 1.0f);
    c[ImGuiCol_TitleBgActive] = ImVec4(0.06f, 0.06f, 0.06f, 1.0f);
    c[ImGuiCol_TitleBgCollapsed] = ImVec4(0.0f, 0.0f, 0.0f, 0.51f);
    c[ImGuiCol_MenuBarBg] = ImVec4(0.08f, 0.08f, 0.08f, 1.0f);
    c[ImGuiCol_ScrollbarBg] = ImVec4(0.02f, 0.02f, 0.02f, 0.39f);
    c[ImGuiCol_ScrollbarGrab] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
    c[ImGuiCol_ScrollbarGrabHovered] = ImVec4(0.3f, 0.3f, 0.3f, 1.0f);
    c[ImGuiCol_ScrollbarGrabActive] = ImVec4(0.4f, 0.4f, 0.4f, 1.0f);
    c[ImGuiCol_CheckMark] = ImVec4(0.26f, 0.59f, 0.98f, 1.0f);
    c[ImGuiCol_SliderGrab] = ImVec4(0.24f, 0.52f, 0.88f, 1.0f);
    c[ImGuiCol_SliderGrabActive] = ImVec4(0.26f, 0.59f, 0.98f, 1.0f);
    c[ImGuiCol_Button] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
    c[ImGuiCol_ButtonHovered] = ImVec4(0.28f, 0.28f, 0.28f, 1.0f);
    c[ImGuiCol_ButtonActive] = ImVec4(0.06f, 0.53f, 0.98f, 1.0f);
    c[ImGuiCol_Header] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
    c[ImGuiCol_HeaderHovered] = ImVec4(0.28f, 0.28f, 0.28f, 1.0f);
    c[ImGuiCol_HeaderActive] = ImVec4(0.06f, 0.53f, 0.98f, 1.0f);
    c[ImGuiCol_Separator] = ImVec4(0.2f, 0.2f, 0.2f, 0.5f);
    c[ImGuiCol_SeparatorHovered] = ImVec4(0.4f, 0.4f, 0.4f, 0.78f);
    c[ImGuiCol_SeparatorActive] = ImVec4(0.4f, 0.4f, 0.4f, 1.0f);
    c[ImGuiCol_ResizeGrip] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    c[ImGuiCol_ResizeGripHovered] = ImVec4(0.26f, 0.59f, 0.98f, 0.67f);
    c[ImGuiCol_ResizeGripActive] = ImVec4(0.26f, 0.59f, 0.98f, 0.95f);
    c[ImGuiCol_TabHovered] = ImVec4(0.28f, 0.28f, 0.28f, 0.8f);
    c[ImGuiCol_Tab] = ImVec4(0.18f, 0.18f, 0.18f, 1.0f);
    c[ImGuiCol_TabSelected] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
    c[ImGuiCol_TabDimmed] = ImVec4(0.12f, 0.12f, 0.12f, 0.97f);
    c[ImGuiCol_TabDimmedSelected] = ImVec4(0.22f, 0.22f, 0.22f, 1.0f);
    d[dock::DockCol_DockingPreview] = ImVec4(0.26f, 0.59f, 0.98f, 0.7f);
    d[dock::DockCol_DockingEmptyBg] = ImVec4(0.2f, 0.2f, 0.2f, 1.0f);
    c[ImGuiCol_PlotLines] = ImVec4(0.61f, 0.61f, 0.61f, 1.0f);
    c[ImGuiCol_PlotLinesHovered] = ImVec4(1.0f, 0.43f, 0.35f, 1.0f);
    c[ImGuiCol_PlotHistogram] = ImVec4(0.9f, 0.7f, 0.0f, 1.0f);
    c[ImGuiCol_PlotHistogramHovered] = ImVec4(1.0f, 0.6f, 0.0f, 1.0f);
    c[ImGuiCol_TableHeaderBg] = ImVec4(0.19f, 0.19f, 0.2f, 1.0f);
    c[ImGuiCol_TableBorderStrong] = ImVec4(0.31f, 0.31f, 0.35f, 1.0f);
    c[ImGuiCol_TableBorderLight] = ImVec4(0.23f, 0.23f, 0.25f, 1.0f);
    c[ImGuiCol_TableRowBg] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    c[ImGuiCol_TableRowBgAlt] = ImVec4(1.0f, 1.0f, 1.0f, 0.06f);
    c[ImGuiCol_TextSelectedBg] = ImVec4(0.26f, 0.59f, 0.98f, 0.35f);
    c[ImGuiCol_DragDropTarget] = ImVec4(1.0f, 1.0f, 0.0f, 0.9f);
    c[ImGuiCol_NavCursor] = ImVec4(0.26f, 0.59f, 0.98f, 1.0f);
    c[ImGuiCol_NavWindowingHighlight] = ImVec4(1.0f, 1.0f, 1.0f, 0.7f);
    c[ImGuiCol_NavWindowingDimBg] = ImVec4(0.8f, 0.8f, 0.8f, 0.2f);
    c[ImGuiCol_ModalWindowDimBg] = ImVec4(0.8f, 0.8f, 0.8f, 0.35f);
    // The caret in the theme's own text colour: ImGui's stock white vanishes on light fields.
    c[ImGuiCol_InputTextCursor] = c[ImGuiCol_Text];
}

void ApplyLightTheme(ImGuiStyle& style)
{
    ApplyThemeStyleValues(style, 8.0f);

    ImVec4* c = style.Colors;
    // The docking colours belong to the dock layer's style.
    ImVec4* d = dock::GetStyle().Colors;
    c[ImGuiCol_Text] = ImVec4(0.1f, 0.1f, 0.1f, 1.0f);
    c[ImGuiCol_TextDisabled] = ImVec4(0.5f, 0.5f, 0.5f, 1.0f);
    c[ImGuiCol_WindowBg] = ImVec4(0.98f, 0.98f, 0.98f, 1.0f);
    c[ImGuiCol_ChildBg] = ImVec4(0.96f, 0.96f, 0.96f, 1.0f);
    c[ImGuiCol_PopupBg] = ImVec4(0.98f, 0.98f, 0.98f, 0.94f);
    c[ImGuiCol_Border] = ImVec4(0.8f, 0.8f, 0.8f, 0.5f);
    c[ImGuiCol_BorderShadow] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    c[ImGuiCol_FrameBg] = ImVec4(0.88f, 0.88f, 0.88f, 1.0f);
    c[ImGuiCol_FrameBgHovered] = ImVec4(0.82f, 0.82f, 0.82f, 1.0f);
    c[ImGuiCol_FrameBgActive] = ImVec4(0.85f, 0.85f, 0.85f, 1.0f);
    c[ImGuiCol_TitleBg] = ImVec4(0.96f, 0.96f, 0.96f, 1.0f);
    c[ImGuiCol_TitleBgActive] = ImVec4(0.94f, 0.94f, 0.94f, 1.0f);
    c[ImGuiCol_TitleBgCollapsed] = ImVec4(1.0f, 1.0f, 1.0f, 0.51f);
    c[ImGuiCol_MenuBarBg] = ImVec4(0.92f, 0.92f, 0.92f, 1.0f);
    c[ImGuiCol_ScrollbarBg] = ImVec4(0.98f, 0.98f, 0.98f, 0.39f);
    c[ImGuiCol_ScrollbarGrab] = ImVec4(0.8f, 0.8f, 0.8f, 1.0f);
    c[ImGuiCol_ScrollbarGrabHovered] = ImVec4(0.7f, 0.7f, 0.7f, 1.0f);
    c[ImGuiCol_ScrollbarGrabActive] = ImVec4(0.6f, 0.6f, 0.6f, 1.0f);
    c[ImGuiCol_CheckMark] = ImVec4(0.26f, 0.59f, 0.98f, 1.0f);
    c[ImGuiCol_SliderGrab] = ImVec4(0.24f, 0.52f, 0.88f, 1.0f);
    c[ImGuiCol_SliderGrabActive] = ImVec4(0.26f, 0.59f, 0.98f, 1.0f);
    c[ImGuiCol_Button] = ImVec4(0.8f, 0.8f, 0.8f, 1.0f);
    c[ImGuiCol_ButtonHovered] = ImVec4(0.72f, 0.72f, 0.72f, 1.0f);
    c[ImGuiCol_ButtonActive] = ImVec4(0.06f, 0.53f, 0.98f, 1.0f);
    c[ImGuiCol_Header] = ImVec4(0.8f, 0.8f, 0.8f, 1.0f);
    c[ImGuiCol_HeaderHovered] = ImVec4(0.72f, 0.72f, 0.72f, 1.0f);
    c[ImGuiCol_HeaderActive] = ImVec4(0.06f, 0.53f, 0.98f, 1.0f);
    c[ImGuiCol_Separator] = ImVec4(0.8f, 0.8f, 0.8f, 0.5f);
    c[ImGuiCol_SeparatorHovered] = ImVec4(0.6f, 0.6f, 0.6f, 0.78f);
    c[ImGuiCol_SeparatorActive] = ImVec4(0.6f, 0.6f, 0.6f, 1.0f);
    c[ImGuiCol_ResizeGrip] = ImVec4(1.0f, 1.0f, 1.0f, 0.0f);
    c[ImGuiCol_ResizeGripHovered] = ImVec4(0.26f, 0.59f, 0.98f, 0.67f);
    c[ImGuiCol_ResizeGripActive] = ImVec4(0.26f, 0.59f, 0.98f, 0.95f);
    c[ImGuiCol_TabHovered] = ImVec4(0.28f, 0.28f, 0.28f, 0.8f);
    c[ImGuiCol_Tab] = ImVec4(0.82f, 0.82f, 0.82f, 1.0f);
    c[ImGuiCol_TabSelected] = ImVec4(0.8f, 0.8f, 0.8f, 1.0f);
    c[ImGuiCol_TabDimmed] = ImVec4(0.9f, 0.9f, 0.9f, 0.97f);
    c[ImGuiCol_TabDimmedSelected] = ImVec4(0.85f, 0.85f, 0.85f, 1.0f);
    d[dock::DockCol_DockingPreview] = ImVec4(0.26f, 0.59f, 0.98f, 0.7f);
    d[dock::DockCol_DockingEmptyBg] = ImVec4(0.8f, 0.8f, 0.8f, 1.0f);
    c[ImGuiCol_PlotLines] = ImVec4(0.39f, 0.39f, 0.39f, 1.0f);
    c[ImGuiCol_PlotLinesHovered] = ImVec4(1.0f, 0.43f, 0.35f, 1.0f);
    c[ImGuiCol_PlotHistogram] = ImVec4(0.9f, 0.7f, 0.0f, 1.0f);
    c[ImGuiCol_PlotHistogramHovered] = ImVec4(1.0f, 0.6f, 0.0f, 1.0f);
    c[ImGuiCol_TableHeaderBg] = ImVec4(0.81f, 0.81f, 0.8f, 1.0f);
    c[ImGuiCol_TableBorderStrong] = ImVec4(0.69f, 0.69f, 0.65f, 1.0f);
    c[ImGuiCol_TableBorderLight] = ImVec4(0.77f, 0.77f, 0.75f, 1.0f);
    c[ImGuiCol_TableRowBg] = ImVec4(0.0f, 0.0f, 0.0f, 0.0f);
    c[ImGuiCol_TableRowBgAlt] = ImVec4(0.0f, 0.0f, 0.0f, 0.06f);
    c[ImGuiCol_TextSelectedBg] = ImVec4(0.26f, 0.59f, 0.98f, 0.35f);
    c[ImGuiCol_DragDropTarget] = ImVec4(1.0f, 1.0f, 0.0f, 0.9f);
    c[ImGuiCol_NavCursor] = ImVec4(0.26f, 0.59f, 0.98f, 1.0f);
    c[ImGuiCol_NavWindowingHighlight] = ImVec4(0.0f, 0.0f, 0.0f, 0.7f);
    c[ImGuiCol_NavWindowingDimBg] = ImVec4(0.2f, 0.2f, 0.2f, 0.2f);
    c[ImGuiCol_ModalWindowDimBg] = ImVec4(0.2f, 0.2f, 0.2f, 0.35f);
    // The caret in the theme's own text colour: ImGui's stock white vanishes on light fields.
    c[ImGuiCol_InputTextCursor] = c[ImGuiCol_Text];
}
