// The narrow page column at the left edge of the work area.
#pragma once

#include <string>
#include <vector>

struct SidebarItem
{
    std::string label; // page name, stored into selectedPage on click
    std::string icon;  // UTF-8 text of one icon-font glyph
};

class Sidebar
{
public:
    Sidebar();
    ~Sidebar();

    void Render();

    bool visible;
    float width;
    std::string selectedPage;
    std::vector<SidebarItem> items;
};
