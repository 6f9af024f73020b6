// The header strip: the main menu bar with the button that shows or hides the sidebar.
#pragma once

class TopBar
{
public:
    TopBar();
    ~TopBar();

    void Render();

    bool sidebarVisible;
};
