// Screenshots of both pages in both themes, saved into the build tree.
#include "support/UiHarness.h"

#include "ui/DashboardSettings.h"
#include "ui/Sidebar.h"
#include "ui/UIThemes.h"

#include <stb/stb_image.h>

#include <gtest/gtest.h>

using uitest::ProgramDirectory;
using uitest::UiHarness;

struct Pixel
{
    int r, g, b;
};

static Pixel PixelAt(const std::string& path, int x, int y)
{
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 3);
    if (!data || x >= w || y >= h)
        return {-1, -1, -1};
    const unsigned char* p = data + (static_cast<size_t>(y) * w + x) * 3;
    Pixel pixel{p[0], p[1], p[2]};
    stbi_image_free(data);
    return pixel;
}

TEST(Screenshots, BothPagesInBothThemes)
{
    ProgramDirectory dir;
    UiHarness ui;
    ASSERT_TRUE(ui.HasWindow());
    const std::string shots = uitest::TestDirectory() + "/screenshots/";

    for (const char* theme : {"dark", "light"})
    {
        const bool dark = std::string(theme) == "dark";
        if (dark)
            ApplyDarkTheme(ImGui::GetStyle());
        else
            ApplyLightTheme(ImGui::GetStyle());
        ThemeIndex = dark ? 1 : 0;
        PlotThemeIndex = dark;

        for (const char* page : {"Dashboard", "Settings"})
        {
            ui.UI().sidebar->selectedPage = page;
            ui.RunFrames(3);
            const std::string path = shots + std::string(page) + "-" + theme + ".png";
            ASSERT_TRUE(ui.SaveScreenshot(path)) << path;

            // The sidebar's own colour, well below its entries.
            const Pixel sidebar = PixelAt(path, 30, 600);
            const int expected = dark ? 33 : 245; // 0.13 and 0.96 of 255
            EXPECT_NEAR(sidebar.r, expected, 2) << path;
            EXPECT_NEAR(sidebar.g, expected, 2) << path;
            // The top bar's gradient.
            const Pixel bar = PixelAt(path, 500, 2);
            EXPECT_NEAR(bar.r, dark ? 15 : 250, 3) << path;
        }
    }
    ThemeIndex = 1;
    PlotThemeIndex = true;
}
