// Every icon glyph the program draws is in the icon font copied beside the program.
#include "support/UiHarness.h"

#include <stb/stb_truetype.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

TEST(IconFont, HasEveryGlyphTheProgramUses)
{
    const std::string path = uitest::RuntimeDirectory() + "/fonts/fa-solid-900.ttf";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file.is_open()) << path;
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

    stbtt_fontinfo font;
    ASSERT_TRUE(stbtt_InitFont(&font, data.data(), stbtt_GetFontOffsetForIndex(data.data(), 0)));

    // Bars and pages, theme buttons, user and assistant, terminal buttons.
    const unsigned glyphs[] = {0xF0C9, 0xF201, 0xF013, 0xF185, 0xF186, 0xF007,
                               0xF544, 0xF04B, 0xF04D, 0xF1D8, 0xF1F8, 0xF0C7};
    for (unsigned cp : glyphs)
    {
        EXPECT_GE(cp, 0xE005u);
        EXPECT_LE(cp, 0xF8FFu);
        EXPECT_NE(stbtt_FindGlyphIndex(&font, static_cast<int>(cp)), 0) << "U+" << std::hex << cp;
    }
}
