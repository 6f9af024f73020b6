#include "dock/Dock.h"
#include "ui/UIThemes.h"

#include <imgui.h>

#include <gtest/gtest.h>

#include <cstring>

static void ExpectColor(const ImVec4& c, float r, float g, float b, float a)
{
    EXPECT_FLOAT_EQ(c.x, r);
    EXPECT_FLOAT_EQ(c.y, g);
    EXPECT_FLOAT_EQ(c.z, b);
    EXPECT_FLOAT_EQ(c.w, a);
}

// A style whose every byte is a marker no theme writes.
static ImGuiStyle MarkedStyle()
{
    ImGuiStyle style;
    std::memset(static_cast<void*>(&style), 0x7F, sizeof(style));
    return style;
}

static int CountChangedColors(const ImGuiStyle& before, const ImGuiStyle& after)
{
    int changed = 0;
    for (int i = 0; i < ImGuiCol_COUNT; i++)
        if (std::memcmp(&before.Colors[i], &after.Colors[i], sizeof(ImVec4)) != 0)
            changed++;
    return changed;
}

TEST(UIThemes, DarkAfterLightIsDarkAndUnlistedFieldsStay)
{
    const ImGuiStyle marked = MarkedStyle();

    ImGuiStyle dark_only;
    std::memcpy(static_cast<void*>(&dark_only), &marked, sizeof(ImGuiStyle));
    ApplyDarkTheme(dark_only);
    const ImVec4 dark_preview = dock::GetStyle().Colors[dock::DockCol_DockingPreview];
    const ImVec4 dark_empty = dock::GetStyle().Colors[dock::DockCol_DockingEmptyBg];

    ImGuiStyle light_then_dark;
    std::memcpy(static_cast<void*>(&light_then_dark), &marked, sizeof(ImGuiStyle));
    ApplyLightTheme(light_then_dark);
    EXPECT_FLOAT_EQ(light_then_dark.WindowRounding, 8.0f);
    ExpectColor(light_then_dark.Colors[ImGuiCol_WindowBg], 0.98f, 0.98f, 0.98f, 1.0f);
    ExpectColor(dock::GetStyle().Colors[dock::DockCol_DockingEmptyBg], 0.8f, 0.8f, 0.8f, 1.0f);
    ApplyDarkTheme(light_then_dark);

    // No trace of the light theme, byte for byte, and the dock colours follow.
    EXPECT_EQ(std::memcmp(&dark_only, &light_then_dark, sizeof(ImGuiStyle)), 0);
    EXPECT_EQ(std::memcmp(&dark_preview, &dock::GetStyle().Colors[dock::DockCol_DockingPreview], sizeof(ImVec4)), 0);
    EXPECT_EQ(std::memcmp(&dark_empty, &dock::GetStyle().Colors[dock::DockCol_DockingEmptyBg], sizeof(ImVec4)), 0);
    ExpectColor(dark_empty, 0.2f, 0.2f, 0.2f, 1.0f);

    EXPECT_FLOAT_EQ(dark_only.WindowRounding, 4.5f);
    EXPECT_FLOAT_EQ(dark_only.TabRounding, 2.0f);
    EXPECT_EQ(dark_only.WindowMenuButtonPosition, ImGuiDir_Right);
    EXPECT_EQ(dark_only.ColorButtonPosition, ImGuiDir_Right);
    EXPECT_FLOAT_EQ(dark_only.FramePadding.x, 12.0f);
    EXPECT_FLOAT_EQ(dark_only.CellPadding.y, 6.0f);
    ExpectColor(dark_only.Colors[ImGuiCol_Text], 0.95f, 0.96f, 0.98f, 1.0f);
    ExpectColor(dark_only.Colors[ImGuiCol_TableHeaderBg], 0.19f, 0.19f, 0.2f, 1.0f);
    ExpectColor(dark_only.Colors[ImGuiCol_ModalWindowDimBg], 0.8f, 0.8f, 0.8f, 0.35f);

    // Every ImGui colour but the four unlisted ones is written, in both themes; the caret is the text's.
    ImGuiStyle light_only;
    std::memcpy(static_cast<void*>(&light_only), &marked, sizeof(ImGuiStyle));
    ApplyLightTheme(light_only);
    EXPECT_EQ(CountChangedColors(marked, dark_only), ImGuiCol_COUNT - 4);
    EXPECT_EQ(CountChangedColors(marked, light_only), ImGuiCol_COUNT - 4);
    ExpectColor(light_only.Colors[ImGuiCol_InputTextCursor], 0.1f, 0.1f, 0.1f, 1.0f);
    for (ImGuiCol unlisted :
         {ImGuiCol_TabSelectedOverline, ImGuiCol_TabDimmedSelectedOverline, ImGuiCol_TextLink, ImGuiCol_TreeLines})
    {
        EXPECT_EQ(std::memcmp(&marked.Colors[unlisted], &dark_only.Colors[unlisted], sizeof(ImVec4)), 0) << unlisted;
        EXPECT_EQ(std::memcmp(&marked.Colors[unlisted], &light_only.Colors[unlisted], sizeof(ImVec4)), 0) << unlisted;
    }

    // Fields outside the tables are untouched.
    EXPECT_EQ(std::memcmp(&marked.LogSliderDeadzone, &dark_only.LogSliderDeadzone, sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(&marked.TabBarBorderSize, &light_only.TabBarBorderSize, sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(&marked.SeparatorTextBorderSize, &dark_only.SeparatorTextBorderSize, sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(&marked.AntiAliasedLines, &light_only.AntiAliasedLines, sizeof(bool)), 0);
    EXPECT_EQ(std::memcmp(&marked.CurveTessellationTol, &dark_only.CurveTessellationTol, sizeof(float)), 0);

    // The two themes differ in WindowRounding and colours only.
    ImGuiStyle light_copy;
    std::memcpy(static_cast<void*>(&light_copy), &light_only, sizeof(ImGuiStyle));
    light_copy.WindowRounding = dark_only.WindowRounding;
    std::memcpy(light_copy.Colors, dark_only.Colors, sizeof(light_copy.Colors));
    EXPECT_EQ(std::memcmp(&light_copy, &dark_only, sizeof(ImGuiStyle)), 0);
}
