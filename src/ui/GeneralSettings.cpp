#include "ui/GeneralSettings.h"

#include "ui/DashboardSettings.h"
#include "ui/UIThemes.h"

#include <imgui.h>

void GeneralSettingsPage()
{
    if (!ImGui::CollapsingHeader("General Settings", ImGuiTreeNodeFlags_DefaultOpen))
        return;

    ImGui::Text("Application Theme: ");
    ImGui::BeginGroup();
    // U+F185 (sun) and U+F186 (moon) of the icon font.
    if (ImGui::Button("\xef\x86\x85 Light", ImVec2(120, 0)))
    {
        ApplyLightTheme(ImGui::GetStyle());
        PlotThemeIndex = false;
        ThemeIndex = 0;
    }
    ImGui::SameLine(0, 10);
    if (ImGui::Button("\xef\x86\x86 Dark", ImVec2(120, 0)))
    {
        ApplyDarkTheme(ImGui::GetStyle());
        PlotThemeIndex = true;
        ThemeIndex = 1;
    }
    ImGui::EndGroup();
}
