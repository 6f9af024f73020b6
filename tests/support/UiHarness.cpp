#include "support/UiHarness.h"

#include "render/OpenGLContext.h"
#include "render/SceneView.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <stb/stb_image_write.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace uitest
{

std::string RuntimeDirectory() { return DRAVIK_TEST_RUNTIME_DIR; }
std::string TestDirectory() { return DRAVIK_TEST_BINARY_DIR; }

ProgramDirectory::ProgramDirectory(bool with_runtime_files)
{
    previous = fs::current_path().string();
    std::string pattern = (fs::temp_directory_path() / "dravik-ui-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    path = pattern;
    if (with_runtime_files)
    {
        const fs::path bin = RuntimeDirectory();
        for (const char* name : {"fonts", "media", "trivs.shader", "trifs.shader"})
            fs::create_symlink(bin / name, fs::path(path) / name);
    }
    fs::current_path(path);
}

ProgramDirectory::~ProgramDirectory()
{
    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(path, ec);
}

ConsoleCapture::ConsoleCapture()
{
    saved_out = std::cout.rdbuf(out.rdbuf());
    saved_err = std::cerr.rdbuf(err.rdbuf());
}

ConsoleCapture::~ConsoleCapture()
{
    std::cout.rdbuf(saved_out);
    std::cerr.rdbuf(saved_err);
}

static std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> ConsoleCapture::OutLines() const { return SplitLines(out.str()); }
std::vector<std::string> ConsoleCapture::ErrLines() const { return SplitLines(err.str()); }

static int FindLine(const std::vector<std::string>& lines, const std::string& line)
{
    for (size_t i = 0; i < lines.size(); i++)
        if (lines[i] == line)
            return static_cast<int>(i);
    return -1;
}

int ConsoleCapture::FindOut(const std::string& line) const { return FindLine(OutLines(), line); }
int ConsoleCapture::FindErr(const std::string& line) const { return FindLine(ErrLines(), line); }

UiHarness::UiHarness()
{
    app = new Application("Dravik Lite");
    if (!app->window)
        return;
    // Tests share one X server and so one pointer, which other tests move over
    // this window. Mouse input comes only from the test's own ImGui events: the
    // back end hears no pointer or focus events, and takes the pointer as inside
    // (so it does not poll the X pointer either).
    GLFWwindow* native = Window().GetNativeWindow();
    glfwSetCursorPosCallback(native, nullptr);
    glfwSetCursorEnterCallback(native, nullptr);
    glfwSetMouseButtonCallback(native, nullptr);
    glfwSetWindowFocusCallback(native, nullptr);
    ImGui_ImplGlfw_CursorEnterCallback(native, GLFW_TRUE);
    ImGui::GetIO().AddFocusEvent(true);
}

UiHarness::~UiHarness() { delete app; }

void UiHarness::RunFrames(int count)
{
    for (int i = 0; i < count; i++)
        Window().OnUpdate();
}

void UiHarness::RunFrames(int count, const std::function<void()>& extra)
{
    nwindow::GLWindow& w = Window();
    for (int i = 0; i < count; i++)
    {
        w.glContext->PreRender();
        w.uiContext->PreRender();
        extra();
        w.sceneView->Render();
        w.uiContext->PostRender();
        w.glContext->PostRender();
    }
}

void UiHarness::MoveMouse(ImVec2 pos)
{
    ImGui::GetIO().AddMousePosEvent(pos.x, pos.y);
    RunFrames(2);
}

void UiHarness::Click(ImVec2 pos)
{
    MoveMouse(pos);
    ImGui::GetIO().AddMouseButtonEvent(ImGuiMouseButton_Left, true);
    RunFrames(1);
    ImGui::GetIO().AddMouseButtonEvent(ImGuiMouseButton_Left, false);
    RunFrames(2);
}

void UiHarness::PressKey(ImGuiKey key)
{
    ImGui::GetIO().AddKeyEvent(key, true);
    RunFrames(1);
    ImGui::GetIO().AddKeyEvent(key, false);
    RunFrames(1);
}

ImRect UiHarness::WindowRect(const char* name)
{
    ImGuiWindow* window = ImGui::FindWindowByName(name);
    return window ? window->Rect() : ImRect();
}

bool UiHarness::WindowActive(const char* name)
{
    ImGuiWindow* window = ImGui::FindWindowByName(name);
    return window && window->Active;
}

bool UiHarness::SaveScreenshot(const std::string& path)
{
    nwindow::GLWindow& w = Window();
    w.glContext->PreRender();
    w.uiContext->PreRender();
    w.sceneView->Render();
    w.uiContext->PostRender();

    int width = 0, height = 0;
    glfwGetFramebufferSize(w.GetNativeWindow(), &width, &height);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    w.glContext->PostRender();

    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    // OpenGL rows run bottom-up; a negative stride writes them top-down.
    const int stride = width * 3;
    return stbi_write_png(path.c_str(), width, height, 3, pixels.data() + static_cast<size_t>(height - 1) * stride,
                          -stride) != 0;
}

std::string Utf8(unsigned cp)
{
    std::string s;
    if (cp < 0x80)
    {
        s += static_cast<char>(cp);
    }
    else if (cp < 0x800)
    {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else if (cp < 0x10000)
    {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else
    {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

} // namespace uitest
