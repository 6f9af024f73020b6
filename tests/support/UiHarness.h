// Test support for UI tests: the real program window (an Application as main
// builds it) under Xvfb, frames, input, captured console lines and screenshots.
//
//     uitest::ProgramDirectory dir;        // a working directory laid out like bin/
//     uitest::ConsoleCapture console;      // std::cout / std::cerr lines from here on
//     uitest::UiHarness ui;                // Application("Dravik Lite")
//     ui.RunFrames(3);
//     ui.Click(ui.ItemCenter(...));
//     ui.SaveScreenshot("shots/x.png");
#pragma once

#include "app/Application.h"
#include "render/UIContext.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace uitest
{

// The build tree's program directory (build/<kind>/bin).
std::string RuntimeDirectory();
// The build tree's test directory (build/<kind>/tests), where screenshots go.
std::string TestDirectory();

// A fresh temporary working directory for the life of the object. With runtime
// files it links fonts/, media/ and the two shaders of the program directory,
// so the program finds them as it does when started from bin/. imgui.ini lands
// here, not in the build tree.
class ProgramDirectory
{
public:
    explicit ProgramDirectory(bool with_runtime_files = true);
    ~ProgramDirectory();
    const std::string& Path() const { return path; }

private:
    std::string path;
    std::string previous;
};

// Captures every line written to std::cout and std::cerr while it lives.
class ConsoleCapture
{
public:
    ConsoleCapture();
    ~ConsoleCapture();

    std::vector<std::string> OutLines() const;
    std::vector<std::string> ErrLines() const;
    std::string Out() const { return out.str(); }
    std::string Err() const { return err.str(); }
    // Index of the first standard output line equal to line, or -1.
    int FindOut(const std::string& line) const;
    int FindErr(const std::string& line) const;

private:
    std::ostringstream out, err;
    std::streambuf* saved_out;
    std::streambuf* saved_err;
};

// One Application with the real window. Frames run as the loop runs them,
// without the wait.
class UiHarness
{
public:
    UiHarness();
    ~UiHarness();

    Application& App() { return *app; }
    nwindow::GLWindow& Window() { return *app->window; }
    nrender::UIContext& UI() { return *Window().uiContext; }
    bool HasWindow() const { return app->window != nullptr; }

    void RunFrames(int count);
    // Frames in the window's order, with extra drawn right after the UI
    // context's own interface, as a page would draw it.
    void RunFrames(int count, const std::function<void()>& extra);

    // Input through ImGui's event queue only (the X pointer is shared by every
    // test on the display and is not used). Each runs frames for the events.
    void MoveMouse(ImVec2 pos);
    void Click(ImVec2 pos);
    void PressKey(ImGuiKey key);

    // Window rectangles of the last frame, by window name; empty when absent.
    ImRect WindowRect(const char* name);
    bool WindowActive(const char* name); // drawn on the last frame

    // Draws one frame and saves what it rendered as a PNG (directories made).
    bool SaveScreenshot(const std::string& path);

private:
    Application* app;
};

// The UTF-8 text of one code point.
std::string Utf8(unsigned code_point);

} // namespace uitest
