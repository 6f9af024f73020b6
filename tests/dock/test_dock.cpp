// The docking layer on real ImGui frames: a GLFW window with an OpenGL core context (Xvfb in the
// test run), ImGui's GLFW and OpenGL3 back ends, mouse input fed through ImGui's input events.
#define IMGUI_DEFINE_MATH_OPERATORS
#include "dock/Dock.h"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

namespace
{

// One window, one ImGui context with the docking layer, frames on demand.
struct UiFixture
{
    GLFWwindow* window = nullptr;
    ImGuiContext* context = nullptr;
    std::string iniPath;
    ImVec2 mouse = ImVec2(-FLT_MAX, -FLT_MAX);

    bool Open(const std::string& ini)
    {
        if (!glfwInit())
        {
            ADD_FAILURE() << "glfwInit failed";
            return false;
        }
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
        window = glfwCreateWindow(1024, 720, "dock test", nullptr, nullptr);
        if (!window)
        {
            ADD_FAILURE() << "glfwCreateWindow failed";
            return false;
        }
        glfwMakeContextCurrent(window);
        iniPath = ini;
        return CreateContext();
    }

    bool CreateContext()
    {
        context = ImGui::CreateContext();
        ImGui::GetIO().IniFilename = iniPath.c_str();
        dock::Initialize();
        // No GLFW callbacks: the tests alone move the mouse.
        return ImGui_ImplGlfw_InitForOpenGL(window, false) && ImGui_ImplOpenGL3_Init("#version 410");
    }

    void DestroyContext()
    {
        ImGui_ImplOpenGL3_Shutdown();
        ImGui_ImplGlfw_Shutdown();
        dock::Shutdown();
        ImGui::DestroyContext(context); // saves the ini file
        context = nullptr;
    }

    ~UiFixture()
    {
        if (context)
            DestroyContext();
        if (window)
            glfwDestroyWindow(window);
        glfwTerminate();
    }

    // One frame; button: -1 none, 0 release, 1 press (left button), after the mouse moved to `mouse`.
    void Frame(const std::function<void()>& ui, int button = -1)
    {
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplGlfw_NewFrame();
        // After the back end, which may report the real cursor while the window has focus.
        ImGuiIO& io = ImGui::GetIO();
        io.AddMousePosEvent(mouse.x, mouse.y);
        if (button >= 0)
            io.AddMouseButtonEvent(ImGuiMouseButton_Left, button == 1);
        ImGui::NewFrame();
        ui();
        ImGui::Render();
        int w, h;
        glfwGetFramebufferSize(window, &w, &h);
        glViewport(0, 0, w, h);
        glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        glfwSwapBuffers(window);
    }

    void Frames(int n, const std::function<void()>& ui)
    {
        for (int i = 0; i < n; i++)
            Frame(ui);
    }

    void MoveTo(ImVec2 pos, const std::function<void()>& ui)
    {
        mouse = pos;
        Frame(ui);
    }

    void Click(ImVec2 pos, const std::function<void()>& ui)
    {
        MoveTo(pos, ui);
        Frame(ui, 1);
        Frame(ui, 0);
        Frame(ui);
    }

    // Press at `from`, move to `to` in steps, then call `before_release` and release there.
    void Drag(ImVec2 from, ImVec2 to, const std::function<void()>& ui, const std::function<void()>& before_release = {})
    {
        MoveTo(from, ui);
        Frame(ui, 1);
        const int steps = 8;
        for (int i = 1; i <= steps; i++)
            MoveTo(from + (to - from) * ((float)i / steps), ui);
        Frame(ui);
        if (before_release)
            before_release();
        Frame(ui, 0);
        Frame(ui);
    }
};

// The program's page layout: a host window over the viewport holding the dock space, then the
// dockable windows, docked into it on first use.
struct Scene
{
    ImGuiID dockId = 0;
    bool showAlpha = true, showBeta = true, showFloater = false;
    ImVec2 betaMinSize = ImVec2(0, 0); // size limits of the floating window
    bool hostThroughDock = false;      // the program begins its host window with dock::Begin
    bool alphaVisible = false, betaVisible = false;

    void Host()
    {
        const ImGuiViewport* vp = ImGui::GetMainViewport();
        ImGui::SetNextWindowPos(vp->WorkPos);
        ImGui::SetNextWindowSize(vp->WorkSize);
        dock::SetNextWindowDockID(0, ImGuiCond_Always); // consumed by this plain ImGui::Begin
        ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
        ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
        ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
        const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                       ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                                       ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoBringToFrontOnFocus |
                                       ImGuiWindowFlags_NoNavFocus;
        if (hostThroughDock)
            dock::Begin("InvisibleWindow", nullptr, flags);
        else
            ImGui::Begin("InvisibleWindow", nullptr, flags);
        ImGui::PopStyleVar(3);
        dockId = dock::DockSpace(ImGui::GetID("InvisibleWindowDockSpace"), ImVec2(0, 0),
                                 dock::DockNodeFlags_PassthruCentralNode);
        ImGui::End();
    }

    bool Dockable(const char* name, ImVec2 min_size = ImVec2(0, 0))
    {
        dock::SetNextWindowDockID(dockId, ImGuiCond_FirstUseEver);
        ImGui::SetNextWindowSize(ImVec2(300, 200), ImGuiCond_FirstUseEver);
        if (min_size.x > 0.0f)
            ImGui::SetNextWindowSizeConstraints(min_size, ImVec2(FLT_MAX, FLT_MAX));
        bool visible = dock::Begin(name);
        // Contents drawn whatever Begin returned, with a child window filling it.
        ImGui::Text("contents of %s", name);
        ImGui::BeginChild("Inner", ImVec2(0, 0), ImGuiChildFlags_Borders);
        ImGui::Text("inner");
        ImGui::EndChild();
        dock::End();
        return visible;
    }

    void operator()()
    {
        Host();
        if (showAlpha)
            alphaVisible = Dockable("Alpha");
        if (showBeta)
            betaVisible = Dockable("Beta", betaMinSize);
        if (showFloater)
        {
            // A plain window over the dock area.
            ImGui::SetNextWindowPos(ImVec2(600, 400), ImGuiCond_Always);
            ImGui::SetNextWindowSize(ImVec2(200, 150), ImGuiCond_Always);
            ImGui::Begin("Floater");
            ImGui::End();
        }
    }
};

ImGuiWindow* Win(const char* name) { return ImGui::FindWindowByName(name); }

int DisplayIndex(ImGuiWindow* window)
{
    ImGuiContext& g = *GImGui;
    for (int i = 0; i < g.Windows.Size; i++)
        if (g.Windows[i] == window)
            return i;
    return -1;
}

std::string FreshIni(const char* name)
{
    std::string path = std::string("dock_") + name + ".ini";
    std::remove(path.c_str());
    return path;
}

} // namespace

TEST(Dock, FirstUseDocksWindowsAsTabsShowingOnlyTheSelectedOne)
{
    UiFixture f;
    ASSERT_TRUE(f.Open(FreshIni("first_use")));
    Scene scene;
    scene.showFloater = true;
    auto ui = [&] { scene(); };
    f.Frames(3, ui);

    EXPECT_TRUE(dock::IsWindowDocked("Alpha"));
    EXPECT_TRUE(dock::IsWindowDocked("Beta"));
    EXPECT_EQ(dock::GetDockedWindowCount(scene.dockId), 2);
    ASSERT_NE(dock::GetSelectedTab(scene.dockId), nullptr);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");
    EXPECT_TRUE(scene.alphaVisible);
    EXPECT_FALSE(scene.betaVisible);

    // The selected window fills the dock space below its tab bar, with no title bar of its own.
    const ImRect area = dock::GetDockSpaceRect(scene.dockId);
    const ImRect bar = dock::GetDockSpaceTabBarRect(scene.dockId);
    EXPECT_EQ(area.Min.x, bar.Min.x);
    EXPECT_EQ(area.Min.y, bar.Min.y);
    EXPECT_EQ(bar.GetHeight(), ImGui::GetFrameHeight());
    ImGuiWindow* alpha = Win("Alpha");
    ImGuiWindow* beta = Win("Beta");
    ASSERT_NE(alpha, nullptr);
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(alpha->Pos.x, area.Min.x);
    EXPECT_EQ(alpha->Pos.y, bar.Max.y);
    EXPECT_EQ(alpha->Size.x, area.GetWidth());
    EXPECT_EQ(alpha->Size.y, area.Max.y - bar.Max.y);
    EXPECT_EQ(alpha->TitleBarHeight, 0.0f);
    EXPECT_FALSE(alpha->Hidden);
    EXPECT_TRUE(beta->Hidden);
    ASSERT_FALSE(beta->DC.ChildWindows.empty());
    EXPECT_TRUE(beta->DC.ChildWindows[0]->Hidden);
    EXPECT_FALSE(alpha->DC.ChildWindows[0]->Hidden);

    // Both tabs are in the bar, side by side.
    const ImRect tabA = dock::GetDockSpaceTabRect(scene.dockId, "Alpha");
    const ImRect tabB = dock::GetDockSpaceTabRect(scene.dockId, "Beta");
    EXPECT_GT(tabA.GetWidth(), 0.0f);
    EXPECT_GT(tabB.GetWidth(), 0.0f);
    EXPECT_TRUE(bar.Contains(tabA));
    EXPECT_TRUE(bar.Contains(tabB));
    EXPECT_LE(tabA.Max.x, tabB.Min.x);

    // Drawn in front of the host window, behind the floating window.
    ImGuiWindow* host = Win("InvisibleWindow");
    ImGuiWindow* floater = Win("Floater");
    EXPECT_LT(DisplayIndex(host), DisplayIndex(alpha));
    EXPECT_LT(DisplayIndex(alpha), DisplayIndex(floater));
    f.MoveTo(area.GetCenter(), ui);
    f.Frame(ui);
    ASSERT_NE(GImGui->HoveredWindow, nullptr);
    EXPECT_EQ(GImGui->HoveredWindow->RootWindow, alpha); // its child, not the hidden tab's
    f.MoveTo(ImVec2(650, 450), ui);
    f.Frame(ui);
    EXPECT_EQ(GImGui->HoveredWindow, floater);

    // Clicking the docked window leaves it behind the floating one.
    f.Click(ImVec2(200, 300), ui);
    EXPECT_LT(DisplayIndex(alpha), DisplayIndex(floater));
    EXPECT_GT(DisplayIndex(alpha), DisplayIndex(host));
}

TEST(Dock, ClickingATabSelectsItsWindow)
{
    UiFixture f;
    ASSERT_TRUE(f.Open(FreshIni("click_tab")));
    Scene scene;
    scene.betaMinSize = ImVec2(1500, 1500); // limits the floating window only
    auto ui = [&] { scene(); };
    f.Frames(3, ui);
    ASSERT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");

    // The press selects, on that very frame.
    f.MoveTo(dock::GetDockSpaceTabRect(scene.dockId, "Beta").GetCenter(), ui);
    f.Frame(ui, 1);
    EXPECT_TRUE(scene.betaVisible);
    EXPECT_FALSE(scene.alphaVisible);
    EXPECT_FALSE(Win("Beta")->Hidden);
    EXPECT_FALSE(Win("Beta")->DC.ChildWindows[0]->Hidden);
    EXPECT_TRUE(Win("Alpha")->DC.ChildWindows[0]->Hidden);
    f.Frame(ui, 0);
    f.Frame(ui);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Beta");
    EXPECT_EQ(Win("Beta")->Size.x, dock::GetDockSpaceRect(scene.dockId).GetWidth());
    EXPECT_LT(Win("Beta")->Size.y, 1500.0f);
    EXPECT_FALSE(scene.alphaVisible);
    EXPECT_TRUE(scene.betaVisible);
    EXPECT_TRUE(Win("Alpha")->Hidden);
    EXPECT_FALSE(Win("Beta")->Hidden);
    EXPECT_EQ(GImGui->NavWindow, Win("Beta")); // the clicked tab's window takes the keyboard

    f.Click(dock::GetDockSpaceTabRect(scene.dockId, "Alpha").GetCenter(), ui);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");
    EXPECT_TRUE(scene.alphaVisible);
    EXPECT_FALSE(scene.betaVisible);
    EXPECT_EQ(dock::GetDockedWindowCount(scene.dockId), 2);
}

TEST(Dock, TabDraggedOutFloatsAndTitleBarDragOntoTheTargetDocksAgain)
{
    UiFixture f;
    ASSERT_TRUE(f.Open(FreshIni("drag")));
    Scene scene;
    auto ui = [&] { scene(); };
    f.Frames(3, ui);

    // Drag Alpha's tab down and to the left, away from the drop target in the middle.
    const ImRect tab = dock::GetDockSpaceTabRect(scene.dockId, "Alpha");
    const ImVec2 grab = tab.GetCenter();
    const ImVec2 drop(150, 550);
    f.Drag(grab, drop, ui);
    EXPECT_FALSE(dock::IsWindowDocked("Alpha"));
    EXPECT_EQ(dock::GetDockedWindowCount(scene.dockId), 1);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Beta");
    EXPECT_TRUE(scene.alphaVisible);
    EXPECT_TRUE(scene.betaVisible);

    // The floating window follows the mouse by its title bar, at its floating size, in front.
    ImGuiWindow* alpha = Win("Alpha");
    ImGuiWindow* beta = Win("Beta");
    EXPECT_NEAR(alpha->Pos.x, drop.x - (grab.x - tab.Min.x), 1.0f);
    EXPECT_NEAR(alpha->Pos.y, drop.y - (grab.y - tab.Min.y), 1.0f);
    EXPECT_GT(alpha->TitleBarHeight, 0.0f);
    EXPECT_TRUE(alpha->TitleBarRect().Contains(drop));
    EXPECT_EQ(alpha->Size.x, 300.0f);
    EXPECT_EQ(alpha->Size.y, 200.0f);
    EXPECT_LT(DisplayIndex(beta), DisplayIndex(alpha));
    EXPECT_EQ(Win("Beta")->Pos.y, dock::GetDockSpaceTabBarRect(scene.dockId).Max.y);

    // Dragging the floating window by its body over the target does not dock it.
    const ImRect area = dock::GetDockSpaceRect(scene.dockId);
    const ImRect bar = dock::GetDockSpaceTabBarRect(scene.dockId);
    const ImVec2 target = ImRect(ImVec2(area.Min.x, bar.Max.y), area.Max).GetCenter();
    const ImU32 preview = ImGui::ColorConvertFloat4ToU32(dock::GetStyle().Colors[dock::DockCol_DockingPreview]);
    bool previewShown = false;
    auto lookForPreview = [&] {
        const ImDrawList* fg = ImGui::GetForegroundDrawList(ImGui::GetMainViewport());
        for (const ImDrawVert& v : fg->VtxBuffer)
            previewShown |= v.col == preview;
    };
    ImVec2 body = alpha->Pos + ImVec2(150, 150);
    f.Drag(body, target, ui, lookForPreview);
    EXPECT_FALSE(previewShown);
    EXPECT_FALSE(dock::IsWindowDocked("Alpha"));

    // By its title bar: the drop target shows in the preview colour, and the release docks it.
    const ImVec2 title = alpha->Pos + ImVec2(80, alpha->TitleBarHeight * 0.5f);
    f.Drag(title, target, ui, [&] {
        lookForPreview();
        EXPECT_FALSE(dock::IsWindowDocked("Alpha"));
    });
    EXPECT_TRUE(previewShown);
    EXPECT_TRUE(dock::IsWindowDocked("Alpha"));
    EXPECT_EQ(dock::GetDockedWindowCount(scene.dockId), 2);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");
    f.Frame(ui);
    EXPECT_TRUE(scene.alphaVisible);
    EXPECT_FALSE(scene.betaVisible);
    EXPECT_EQ(alpha->Pos.y, bar.Max.y);
    EXPECT_EQ(alpha->Size.x, area.GetWidth());

    // Dragged out again, it takes back its floating size.
    f.Drag(dock::GetDockSpaceTabRect(scene.dockId, "Alpha").GetCenter(), drop, ui);
    EXPECT_FALSE(dock::IsWindowDocked("Alpha"));
    EXPECT_EQ(alpha->Size.x, 300.0f);
    EXPECT_EQ(alpha->Size.y, 200.0f);

    // The tab bar is a drop target too; released elsewhere over the area, the window stays floating.
    f.Drag(alpha->Pos + ImVec2(80, alpha->TitleBarHeight * 0.5f), ImVec2(area.Min.x + 40, area.Max.y - 40), ui);
    EXPECT_FALSE(dock::IsWindowDocked("Alpha"));
    f.Drag(alpha->Pos + ImVec2(80, alpha->TitleBarHeight * 0.5f), ImVec2(bar.Max.x - 100, bar.GetCenter().y), ui);
    EXPECT_TRUE(dock::IsWindowDocked("Alpha"));
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");
}

TEST(Dock, LayoutIsSavedInTheIniFileAndFirstUseDockingRespectsIt)
{
    const std::string ini = FreshIni("persist");
    {
        UiFixture f;
        ASSERT_TRUE(f.Open(ini));
        Scene scene;
        scene.hostThroughDock = true;
        scene.showAlpha = false; // Gamma is docked first, then floated; Beta and Alpha stay, Alpha selected
        auto ui = [&] {
            scene();
            scene.Dockable("Gamma");
            scene.Dockable("Alpha");
        };
        f.Frames(3, ui);
        ASSERT_EQ(dock::GetDockedWindowCount(scene.dockId), 3);
        f.Drag(dock::GetDockSpaceTabRect(scene.dockId, "Gamma").GetCenter(), ImVec2(150, 550), ui);
        ASSERT_FALSE(dock::IsWindowDocked("Gamma"));
        f.Click(dock::GetDockSpaceTabRect(scene.dockId, "Alpha").GetCenter(), ui);
        ASSERT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");
        f.DestroyContext();
    }

    FILE* file = std::fopen(ini.c_str(), "r");
    ASSERT_NE(file, nullptr) << "the layout was not saved";
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof(buf), file))
        text += buf;
    std::fclose(file);
    EXPECT_NE(text.find("[Dock][Gamma]\nDockId=0x00000000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Dock][Alpha]"), std::string::npos) << text;

    UiFixture f;
    ASSERT_TRUE(f.Open(ini));
    Scene scene;
    scene.hostThroughDock = true;
    scene.showAlpha = false;
    bool alphaVisible = false, gammaVisible = false;
    auto ui = [&] {
        scene();
        gammaVisible = scene.Dockable("Gamma");
        alphaVisible = scene.Dockable("Alpha");
    };
    f.Frame(ui);
    // Restored on the first frame: docked set, tab order and selection.
    EXPECT_FALSE(dock::IsWindowDocked("InvisibleWindow"));
    EXPECT_FALSE(dock::IsWindowDocked("Gamma"));
    EXPECT_TRUE(dock::IsWindowDocked("Beta"));
    EXPECT_TRUE(dock::IsWindowDocked("Alpha"));
    EXPECT_EQ(dock::GetDockedWindowCount(scene.dockId), 2);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");
    EXPECT_TRUE(alphaVisible);
    EXPECT_FALSE(scene.betaVisible);
    EXPECT_TRUE(gammaVisible);
    f.Frames(2, ui);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");
    EXPECT_LT(dock::GetDockSpaceTabRect(scene.dockId, "Beta").Min.x,
              dock::GetDockSpaceTabRect(scene.dockId, "Alpha").Min.x);
}

TEST(Dock, EmptyDockAreaDrawsNothingAndLetsClicksThrough)
{
    UiFixture f;
    ASSERT_TRUE(f.Open(FreshIni("empty")));
    Scene scene;
    scene.showAlpha = scene.showBeta = false;
    auto ui = [&] { scene(); };
    f.Frames(2, ui);
    const ImRect area = dock::GetDockSpaceRect(scene.dockId);
    EXPECT_GT(area.GetWidth(), 500.0f);
    f.Click(area.GetCenter(), ui);
    EXPECT_EQ(GImGui->HoveredWindow, nullptr);
    EXPECT_FALSE(ImGui::IsWindowHovered(ImGuiHoveredFlags_AnyWindow));
    EXPECT_FALSE(ImGui::GetIO().WantCaptureMouse);
    EXPECT_EQ(Win("InvisibleWindow")->DrawList->VtxBuffer.Size, 0);

    // Docked windows that are not submitted (another page shown) leave the area empty again.
    scene.showAlpha = scene.showBeta = true;
    f.Frames(2, ui);
    ASSERT_NE(GImGui->HoveredWindow, nullptr);
    EXPECT_EQ(GImGui->HoveredWindow->RootWindow, Win("Alpha"));
    scene.showAlpha = scene.showBeta = false;
    f.Frames(3, ui); // tabs go one frame after their windows, the hover follows one frame later
    EXPECT_EQ(dock::GetDockedWindowCount(scene.dockId), 2);
    EXPECT_EQ(GImGui->HoveredWindow, nullptr);
    EXPECT_FALSE(ImGui::GetIO().WantCaptureMouse);
    // And they come back as they were.
    scene.showAlpha = scene.showBeta = true;
    f.Frames(2, ui);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Alpha");
    EXPECT_TRUE(scene.alphaVisible);
    ASSERT_NE(GImGui->HoveredWindow, nullptr);
    EXPECT_EQ(GImGui->HoveredWindow->RootWindow, Win("Alpha"));
}

TEST(Dock, DamagedIniEntriesAndUnknownDockSpacesLeaveWindowsUsable)
{
    UiFixture f;
    ASSERT_TRUE(f.Open(FreshIni("damaged")));
    const char* ini = "[Dock][Alpha]\nDockId=0xZZ\nFloatSize=nan,1e30\nOrder=abc\nSelected=\n"
                      "[Dock][Beta]\nDockId=0x1234ABCD\nSelected=1\nFloatSize=-5,20\n"
                      "[Dock][]\nDockId=0x1\n"
                      "[Dock][Gamma\n";
    ImGui::LoadIniSettingsFromMemory(ini);
    Scene scene;
    auto ui = [&] { scene(); };
    f.Frames(3, ui);

    // Alpha was seen before and left floating: first use does not apply any more.
    EXPECT_FALSE(dock::IsWindowDocked("Alpha"));
    EXPECT_TRUE(scene.alphaVisible);
    EXPECT_EQ(Win("Alpha")->Size.x, 300.0f);
    // Beta belongs to a dock space that is not submitted: it shows floating, with a title bar to drag it by.
    EXPECT_TRUE(scene.betaVisible);
    EXPECT_GT(Win("Beta")->TitleBarHeight, 0.0f);
    EXPECT_EQ(dock::GetDockedWindowCount(scene.dockId), 0);

    // And it docks into ours when dropped there.
    ImGuiWindow* beta = Win("Beta");
    const ImRect area = dock::GetDockSpaceRect(scene.dockId);
    f.Drag(beta->Pos + ImVec2(60, beta->TitleBarHeight * 0.5f), area.GetCenter(), ui);
    EXPECT_EQ(dock::GetWindowDockID("Beta"), scene.dockId);
    EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Beta");
}

TEST(Dock, IniHistoryIsReadOnceAndOnlyTheWindowsOfTheRunAreWrittenBack)
{
    const std::string ini = FreshIni("history");
    {
        UiFixture f;
        ASSERT_TRUE(f.Open(ini));
        Scene scene;
        auto ui = [&] { scene(); };
        f.Frame(ui);

        // A file grown over many runs: thousands of windows docked once and never seen again, and
        // Alpha named twice, docked and selected first, floating last.
        char entry[128];
        std::string text;
        snprintf(entry, sizeof(entry), "[Dock][Alpha]\nDockId=0x%08X\nOrder=0\nSelected=1\n\n", scene.dockId);
        text += entry;
        for (int i = 0; i < 5000; i++)
        {
            snprintf(entry, sizeof(entry), "[Dock][Old %d]\nDockId=0x%08X\nOrder=%d\nSelected=0\n\n", i, scene.dockId,
                     i + 1);
            text += entry;
        }
        snprintf(entry, sizeof(entry), "[Dock][Beta]\nDockId=0x%08X\nOrder=9000\nSelected=0\n\n", scene.dockId);
        text += entry;
        text += "[Dock][Alpha]\nDockId=0x00000000\n\n";
        ImGui::LoadIniSettingsFromMemory(text.c_str());
        f.Frames(3, ui);

        // The last entry counts: Alpha floats, Beta is the one tab and so selected.
        EXPECT_FALSE(dock::IsWindowDocked("Alpha"));
        EXPECT_TRUE(scene.alphaVisible);
        EXPECT_TRUE(scene.betaVisible);
        EXPECT_STREQ(dock::GetSelectedTab(scene.dockId), "Beta");
        EXPECT_EQ(dock::GetDockedWindowCount(scene.dockId), 5001);
        EXPECT_GT(dock::GetDockSpaceTabRect(scene.dockId, "Beta").GetWidth(), 0.0f);
        EXPECT_EQ(dock::GetDockSpaceTabRect(scene.dockId, "Old 7").GetWidth(), 0.0f);
        EXPECT_EQ(Win("Beta")->Pos.y, dock::GetDockSpaceTabBarRect(scene.dockId).Max.y);
        f.DestroyContext();
    }

    // Written back: the two windows of this run, once each, with their tab order renumbered.
    FILE* file = std::fopen(ini.c_str(), "r");
    ASSERT_NE(file, nullptr);
    std::string text;
    char buf[256];
    while (std::fgets(buf, sizeof(buf), file))
        text += buf;
    std::fclose(file);
    int entries = 0;
    for (size_t at = text.find("[Dock]["); at != std::string::npos; at = text.find("[Dock][", at + 1))
        entries++;
    EXPECT_EQ(entries, 2) << text;
    EXPECT_NE(text.find("[Dock][Alpha]\nDockId=0x00000000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Dock][Beta]\nDockId="), std::string::npos) << text;
    EXPECT_NE(text.find("Order=0\nSelected=1\n"), std::string::npos) << text;
}
