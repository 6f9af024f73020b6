// The UI context in the real window: fonts, bars, page dispatch, background.
#include "support/UiHarness.h"

#include "dock/Dock.h"
#include "ui/DashboardDockSpace.h"
#include "ui/DashboardSettings.h"
#include "ui/Sidebar.h"
#include "ui/TopBar.h"
#include "ui/UIThemes.h"

#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using uitest::ConsoleCapture;
using uitest::ProgramDirectory;
using uitest::UiHarness;

TEST(UIContextFonts, TextFontWithIconsMerged)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;
    ASSERT_TRUE(ui.HasWindow());

    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    ASSERT_EQ(atlas->Fonts.Size, 1);
    ImFont* font = atlas->Fonts[0];
    ASSERT_EQ(font->Sources.Size, 2);
    const ImFontConfig* text = font->Sources[0];
    const ImFontConfig* icons = font->Sources[1];
    EXPECT_FLOAT_EQ(text->SizePixels, 17.0f);
    EXPECT_FALSE(text->MergeMode);
    EXPECT_TRUE(icons->MergeMode);
    EXPECT_TRUE(icons->PixelSnapH);
    uint32_t bits = 0;
    std::memcpy(&bits, &icons->SizePixels, sizeof(bits));
    EXPECT_EQ(bits, 0x41355556u);
    EXPECT_EQ(icons->GlyphMinAdvanceX, icons->SizePixels);
    ASSERT_NE(icons->GlyphRanges, nullptr);
    EXPECT_EQ(icons->GlyphRanges[0], 0xE005);
    EXPECT_EQ(icons->GlyphRanges[1], 0xF8FF);
    EXPECT_EQ(icons->GlyphRanges[2], 0);

    // The glyphs of the bars are real glyphs, not the fallback.
    ui.RunFrames(1);
    for (ImWchar c : {0xF0C9, 0xF201, 0xF013})
        EXPECT_TRUE(font->IsGlyphInFont(c)) << std::hex << c;

    const std::string fonts_dir = (fs::current_path() / "fonts/").string();
    EXPECT_GE(console.FindOut("Found fonts directory: " + fonts_dir), 0) << console.Out();
    EXPECT_GE(console.FindOut("Successfully loaded FontAwesome font: " + fonts_dir + "fa-solid-900.ttf"), 0);
    EXPECT_EQ(ImGui::GetIO().IniFilename, std::string("imgui.ini"));
    EXPECT_NE(ImGui::GetIO().ConfigFlags & ImGuiConfigFlags_NavEnableKeyboard, 0);
}

TEST(UIContextFonts, DirectorySearch)
{
    // Two levels below the directory holding fonts/: the third candidate.
    {
        ProgramDirectory dir;
        fs::create_directories("a/b");
        // A file named fonts is skipped on the way.
        std::ofstream("a/b/fonts") << "not a directory";
        fs::current_path("a/b");
        ConsoleCapture console;
        UiHarness ui;
        const std::string expected = (fs::current_path() / ".." / ".." / "fonts/").string();
        EXPECT_GE(console.FindOut("Found fonts directory: " + expected), 0) << console.Out();
        fs::current_path(dir.Path());
    }
    // No fonts anywhere: warnings, default font, and the same lines for the icon font.
    {
        ProgramDirectory dir(false);
        ConsoleCapture console;
        UiHarness ui;
        ASSERT_TRUE(ui.HasWindow());
        const std::string base = (fs::current_path() / "fonts/").string();
        const std::vector<std::string> out = console.OutLines();
        const int warning = console.FindOut("Warning: No fonts directory found, using current path");
        ASSERT_GE(warning, 0) << console.Out();
        ASSERT_LT(warning + 7, static_cast<int>(out.size()));
        EXPECT_EQ(out[warning + 1], "Attempting to load font: " + base + "OpenSans-Regular.ttf");
        EXPECT_EQ(out[warning + 2], "Warning: Failed to load font: " + base + "OpenSans-Regular.ttf");
        EXPECT_EQ(out[warning + 3], "File exists: No");
        EXPECT_EQ(out[warning + 4], "Attempting to load FontAwesome font: " + base + "fa-solid-900.ttf");
        EXPECT_EQ(out[warning + 5], "Warning: Failed to load FontAwesome font: " + base + "fa-solid-900.ttf");
        EXPECT_EQ(out[warning + 6], "File exists: No");
        EXPECT_GE(console.FindOut("Warning: Could not load background image from any path"), 0);
        EXPECT_EQ(ui.UI().backgroundTexture, 0u);
        EXPECT_EQ(ImGui::GetIO().Fonts->Fonts.Size, 1);
        ui.RunFrames(2); // runs on with the default font and no background
    }
}

TEST(UIContextBackground, SearchAndTexture)
{
    ProgramDirectory dir(false);
    fs::create_directories("run");
    fs::copy_file(uitest::RuntimeDirectory() + "/media/velon-x-standalone.png", "velon-x-standalone.png");
    fs::current_path("run");
    ConsoleCapture console;
    UiHarness ui;
    EXPECT_GE(console.FindOut("Background image loaded successfully from: ../velon-x-standalone.png"), 0)
        << console.Out();
    EXPECT_GE(console.FindOut("Background texture created: 1200x600"), 0);
    EXPECT_NE(ui.UI().backgroundTexture, 0u);
    EXPECT_EQ(ui.UI().backgroundWidth, 1200);
    EXPECT_EQ(ui.UI().backgroundHeight, 600);
    fs::current_path(dir.Path());
}

TEST(BackgroundPlacement, Arithmetic)
{
    // A 1000 x 800 page area, sidebar hidden.
    nrender::BackgroundPlacement wide = nrender::PlaceBackgroundImage(ImVec2(0, 0), ImVec2(1000, 800), 0, 2000, 500);
    EXPECT_FLOAT_EQ(wide.w, 400.0f);
    EXPECT_FLOAT_EQ(wide.h, 100.0f);
    EXPECT_FLOAT_EQ(wide.x, 300.0f);
    EXPECT_FLOAT_EQ(wide.y, 350.0f);

    nrender::BackgroundPlacement tall = nrender::PlaceBackgroundImage(ImVec2(0, 0), ImVec2(1000, 800), 0, 500, 1000);
    EXPECT_FLOAT_EQ(tall.h, 320.0f);
    EXPECT_FLOAT_EQ(tall.w, 160.0f);
    EXPECT_FLOAT_EQ(tall.x, 420.0f);
    EXPECT_FLOAT_EQ(tall.y, 240.0f);

    // Relative to the work area's corner, and centred right of the sidebar.
    nrender::BackgroundPlacement shifted =
        nrender::PlaceBackgroundImage(ImVec2(0, 20), ImVec2(1065, 800), 65, 2000, 500);
    EXPECT_FLOAT_EQ(shifted.x, 365.0f);
    EXPECT_FLOAT_EQ(shifted.y, 370.0f);
    EXPECT_FLOAT_EQ(shifted.w, 400.0f);

    // Square: the height rule.
    nrender::BackgroundPlacement square = nrender::PlaceBackgroundImage(ImVec2(0, 0), ImVec2(1000, 500), 0, 64, 64);
    EXPECT_FLOAT_EQ(square.w, 200.0f);
    EXPECT_FLOAT_EQ(square.h, 200.0f);
}

// The quad of the background image on the background draw list of the last frame.
static bool FindBackgroundQuad(ImVec2& min, ImVec2& max)
{
    ImDrawList* list = ImGui::GetBackgroundDrawList();
    for (const ImDrawCmd& cmd : list->CmdBuffer)
    {
        if (cmd.ElemCount != 6 || cmd.GetTexID() == 0 || cmd.GetTexID() == ImGui::GetIO().Fonts->TexRef.GetTexID())
            continue;
        const ImDrawVert& a = list->VtxBuffer[list->IdxBuffer[cmd.IdxOffset] + cmd.VtxOffset];
        const ImDrawVert& c = list->VtxBuffer[list->IdxBuffer[cmd.IdxOffset + 2] + cmd.VtxOffset];
        min = a.pos;
        max = c.pos;
        return a.col == 0x50FFFFFF;
    }
    return false;
}

TEST(UIContextPages, SidebarToggleAndPageSwitch)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;
    ui.RunFrames(3);

    TopBar& top_bar = *ui.UI().topBar;
    Sidebar& sidebar = *ui.UI().sidebar;
    EXPECT_TRUE(top_bar.sidebarVisible);
    EXPECT_EQ(sidebar.selectedPage, "Dashboard");
    EXPECT_TRUE(ui.WindowActive("Sidebar"));

    const ImGuiViewport* vp = ImGui::GetMainViewport();
    const ImVec2 work_pos = vp->WorkPos;
    const ImVec2 work_size = vp->WorkSize;
    EXPECT_GT(work_pos.y, 0.0f); // below the main menu bar
    ImRect host = ui.WindowRect("InvisibleWindow");
    EXPECT_FLOAT_EQ(host.Min.x, work_pos.x + 65.0f);
    EXPECT_FLOAT_EQ(host.Min.y, work_pos.y);
    EXPECT_FLOAT_EQ(host.GetWidth(), work_size.x - 65.0f);
    EXPECT_FLOAT_EQ(host.GetHeight(), work_size.y);
    EXPECT_NE(GetDashboardDockSpaceId(), 0u);
    ImRect bar = ui.WindowRect("Sidebar");
    EXPECT_FLOAT_EQ(bar.GetWidth(), 65.0f);
    EXPECT_FLOAT_EQ(bar.GetHeight(), work_size.y);

    ImVec2 min, max;
    ASSERT_TRUE(FindBackgroundQuad(min, max));
    nrender::BackgroundPlacement p = nrender::PlaceBackgroundImage(work_pos, work_size, 65.0f, 1200, 600);
    EXPECT_FLOAT_EQ(min.x, p.x);
    EXPECT_FLOAT_EQ(min.y, p.y);
    EXPECT_FLOAT_EQ(max.x, p.x + p.w);

    // The bars button hides the sidebar; the page takes the full width on the same frame.
    ui.Click(ImVec2(30.0f, work_pos.y * 0.5f));
    EXPECT_FALSE(top_bar.sidebarVisible);
    EXPECT_FALSE(sidebar.visible);
    EXPECT_FALSE(ui.WindowActive("Sidebar"));
    host = ui.WindowRect("InvisibleWindow");
    EXPECT_FLOAT_EQ(host.Min.x, work_pos.x);
    EXPECT_FLOAT_EQ(host.GetWidth(), work_size.x);
    ASSERT_TRUE(FindBackgroundQuad(min, max));
    p = nrender::PlaceBackgroundImage(work_pos, work_size, 0.0f, 1200, 600);
    EXPECT_FLOAT_EQ(min.x, p.x);

    // Shown again, with the same selection.
    ui.Click(ImVec2(30.0f, work_pos.y * 0.5f));
    EXPECT_TRUE(top_bar.sidebarVisible);
    EXPECT_TRUE(ui.WindowActive("Sidebar"));
    EXPECT_EQ(sidebar.selectedPage, "Dashboard");

    // The second entry: below the first entry, its group spacing and Spacing().
    const float entry_height = ImGui::GetFontSize() + 38.0f;
    const float settings_y = work_pos.y + 6.0f + entry_height + 4.0f + 4.0f + entry_height * 0.5f;
    ui.Click(ImVec2(30.0f, settings_y));
    EXPECT_EQ(sidebar.selectedPage, "Settings");
    EXPECT_TRUE(ui.WindowActive("SettingsFullWindow"));
    ImRect settings = ui.WindowRect("SettingsFullWindow");
    EXPECT_FLOAT_EQ(settings.Min.x, work_pos.x + 65.0f);
    EXPECT_FLOAT_EQ(settings.GetWidth(), work_size.x - 65.0f);
    EXPECT_TRUE(ui.WindowActive("InvisibleWindow")); // the dock space lives on

    // Clicking the selected entry again changes nothing; the first entry goes back.
    ui.Click(ImVec2(30.0f, settings_y));
    EXPECT_EQ(sidebar.selectedPage, "Settings");
    ui.Click(ImVec2(30.0f, work_pos.y + 6.0f + entry_height * 0.5f));
    EXPECT_EQ(sidebar.selectedPage, "Dashboard");
    EXPECT_FALSE(ui.WindowActive("SettingsFullWindow"));

    // An unknown page shows no page at all.
    sidebar.selectedPage = "dashboard";
    ui.RunFrames(2);
    EXPECT_FALSE(ui.WindowActive("SettingsFullWindow"));
    EXPECT_TRUE(ui.WindowActive("InvisibleWindow"));
    EXPECT_TRUE(console.Err().empty()) << console.Err();
}

// Starts an ImGui frame of the harness window without drawing the UI.
static void BeginBareFrame()
{
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
}

static void ExpectStyleUnchanged(const ImGuiStyle& before, const char* what)
{
    EXPECT_EQ(std::memcmp(&before, &ImGui::GetStyle(), sizeof(ImGuiStyle)), 0) << what;
}

TEST(UIContextPages, BarsLeaveTheStyleAsTheyFoundIt)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;
    ui.RunFrames(2);

    for (int theme : {1, 0})
    {
        ThemeIndex = theme;
        if (theme == 0)
            ApplyLightTheme(ImGui::GetStyle());
        ImGuiStyle before;
        std::memcpy(static_cast<void*>(&before), &ImGui::GetStyle(), sizeof(ImGuiStyle));

        BeginBareFrame();
        ui.UI().topBar->Render();
        ExpectStyleUnchanged(before, "top bar");
        ui.UI().sidebar->Render();
        ExpectStyleUnchanged(before, "sidebar");
        ui.UI().sidebar->visible = false;
        ui.UI().sidebar->Render();
        ExpectStyleUnchanged(before, "hidden sidebar");
        ui.UI().sidebar->visible = true;
        ImGui::Render();

        // The whole frame, the Settings page with its rounding scope included.
        ui.UI().sidebar->selectedPage = "Settings";
        ui.RunFrames(1);
        ExpectStyleUnchanged(before, "settings frame");
        ui.UI().sidebar->selectedPage = "Dashboard";
        ui.RunFrames(1);
        ExpectStyleUnchanged(before, "dashboard frame");
    }
    ThemeIndex = 1;
}

TEST(UIContextPages, DashboardWindowsDockIntoTheHostDockSpace)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;
    bool drawn = false;
    auto probe = [&]() {
        if (ui.UI().sidebar->selectedPage != "Dashboard")
            return;
        dock::SetNextWindowDockID(GetDashboardDockSpaceId(), ImGuiCond_FirstUseEver);
        drawn = dock::Begin("Probe");
        dock::End();
    };
    ui.RunFrames(3, probe);
    const ImGuiID id = GetDashboardDockSpaceId();
    EXPECT_TRUE(dock::IsWindowDocked("Probe"));
    EXPECT_EQ(dock::GetWindowDockID("Probe"), id);
    EXPECT_FALSE(dock::IsWindowDocked("InvisibleWindow"));
    EXPECT_FALSE(dock::IsWindowDocked("Sidebar"));

    // The selected tab's window fills the page area right of the sidebar.
    const ImRect host = ui.WindowRect("InvisibleWindow");
    const ImRect area = dock::GetDockSpaceRect(id);
    EXPECT_FLOAT_EQ(area.Min.x, host.Min.x);
    EXPECT_FLOAT_EQ(area.Max.x, host.Max.x);
    EXPECT_FLOAT_EQ(area.Max.y, host.Max.y);
    const char* selected = dock::GetSelectedTab(id);
    ASSERT_NE(selected, nullptr);
    const std::string selected_name = selected;
    EXPECT_TRUE(ui.WindowActive(selected_name.c_str()));
    EXPECT_EQ(drawn, selected_name == "Probe");
    const ImRect selected_rect = ui.WindowRect(selected_name.c_str());
    EXPECT_GE(selected_rect.Min.x, host.Min.x);
    EXPECT_LE(selected_rect.Max.x, host.Max.x);

    // The Settings page draws no Dashboard window; the dock space and its windows live on.
    ui.UI().sidebar->selectedPage = "Settings";
    ui.RunFrames(2, probe);
    EXPECT_FALSE(ui.WindowActive(selected_name.c_str()));
    EXPECT_FALSE(ui.WindowActive("Probe"));
    EXPECT_TRUE(dock::IsWindowDocked("Probe"));
    ui.UI().sidebar->selectedPage = "Dashboard";
    ui.RunFrames(2, probe);
    EXPECT_TRUE(ui.WindowActive(selected_name.c_str()));
    EXPECT_EQ(dock::GetWindowDockID("Probe"), id);

    // The layout goes into imgui.ini in the working directory.
    ImGui::SaveIniSettingsToDisk(ImGui::GetIO().IniFilename);
    std::ifstream ini("imgui.ini");
    std::stringstream text;
    text << ini.rdbuf();
    EXPECT_NE(text.str().find("Probe"), std::string::npos) << text.str();
}
