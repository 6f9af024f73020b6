#include "render/UIContext.h"

#include "ai/AIChatPanel.h"
#include "ai/ModelDownload.h"
#include "dock/Dock.h"
#include "plot/implot.h"
#include "render/RuntimeFiles.h"
#include "ui/Sidebar.h"
#include "ui/TopBar.h"
#include "ui/UIThemes.h"
#include "window/IWindow.h"

#include <GL/glew.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <stb/stb_image.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

namespace fs = std::filesystem;

namespace nrender
{

// The icon font's glyphs, merged into the text font.
static const ImWchar IconGlyphRanges[] = {0xE005, 0xF8FF, 0};

static const float TextFontSize = 17.0f;
static const float IconFontSize = 17.0f * (2.0f / 3.0f);

UIContext::UIContext() {}

UIContext::~UIContext()
{
    sidebar.reset();
    topBar.reset();
}

static const char* const TextFontFile = "OpenSans-Regular.ttf";
static const char* const IconFontFile = "fa-solid-900.ttf";

// A "fonts" folder near the working directory may be anyone's: a candidate counts only when it
// holds both of our fonts. One that cannot be examined counts as absent.
static bool HoldsOurFonts(const fs::path& dir)
{
    std::error_code ec;
    return fs::is_regular_file(dir / TextFontFile, ec) && fs::is_regular_file(dir / IconFontFile, ec);
}

static fs::path FindFontsDirectory()
{
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    const fs::path candidates[] = {
        cwd / "fonts/",         cwd / ".." / "fonts/",     cwd / ".." / ".." / "fonts/",
        cwd / "bin" / "fonts/", cwd / "dravik" / "fonts/", fs::path(ProgramDirectory()) / "fonts/",
    };
    for (const fs::path& candidate : candidates)
    {
        if (HoldsOurFonts(candidate))
        {
            std::cout << "Found fonts directory: " << candidate.string() << std::endl;
            return candidate;
        }
    }
    std::cout << "Warning: No fonts directory found, using current path" << std::endl;
    return candidates[0];
}

static bool FileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

// ImGui treats an unreadable font file as a programming error; look first.
static ImFont* AddFontFile(const std::string& path, float size, const ImFontConfig* config, const ImWchar* ranges)
{
    if (!std::ifstream(path, std::ios::binary).is_open())
        return nullptr;
    return ImGui::GetIO().Fonts->AddFontFromFileTTF(path.c_str(), size, config, ranges);
}

int UIContext::Init(nwindow::IWindow* owner)
{
    if (!owner)
    {
        std::cerr << "Error: Cannot initialize UI context - null window pointer" << std::endl;
        return RenderFailure;
    }
    window = owner;

    const fs::path fonts_dir = FindFontsDirectory();
    const std::string text_font_path = (fonts_dir / TextFontFile).string();
    const std::string icon_font_path = (fonts_dir / IconFontFile).string();

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    dock::Initialize();
    ImPlot::CreateContext();
    ImGuiIO& io = ImGui::GetIO();

    std::cout << "Attempting to load font: " << text_font_path << std::endl;
    if (AddFontFile(text_font_path, TextFontSize, nullptr, nullptr))
    {
        std::cout << "Successfully loaded font: " << text_font_path << std::endl;
    }
    else
    {
        std::cout << "Warning: Failed to load font: " << text_font_path << std::endl;
        std::cout << "File exists: " << (FileExists(text_font_path) ? "Yes" : "No") << std::endl;
        io.Fonts->AddFontDefault();
    }

    std::cout << "Attempting to load FontAwesome font: " << icon_font_path << std::endl;
    ImFontConfig icon_config;
    icon_config.MergeMode = true;
    icon_config.PixelSnapH = true;
    icon_config.GlyphMinAdvanceX = IconFontSize;
    if (AddFontFile(icon_font_path, IconFontSize, &icon_config, IconGlyphRanges))
    {
        std::cout << "Successfully loaded FontAwesome font: " << icon_font_path << std::endl;
    }
    else
    {
        std::cout << "Warning: Failed to load FontAwesome font: " << icon_font_path << std::endl;
        std::cout << "File exists: " << (FileExists(icon_font_path) ? "Yes" : "No") << std::endl;
    }

    // Docking is the dock layer's, started above; multi-viewports stay off.
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;

    ApplyDarkTheme(ImGui::GetStyle());

    // The GLFW back end chains to the callbacks the OpenGL context installed.
    ImGui_ImplGlfw_InitForOpenGL(window->GetNativeWindow(), true);
    ImGui_ImplOpenGL3_Init("#version 410");
    io.Fonts->Build();

    topBar = std::make_unique<TopBar>();
    sidebar = std::make_unique<Sidebar>();

    LoadBackgroundImage();

    // A model download killed half-way left its temporary file, up to a model's size.
    RemoveInterruptedDownloads();

    std::cout << "UI context initialized successfully" << std::endl;
    return RenderSuccess;
}

void UIContext::LoadBackgroundImage()
{
    static const char* const base = "media/velon-x-standalone.png";
    static const char* const prefixes[] = {"", "../", "../../", "../../../", "../../../../"};
    std::vector<std::string> candidates;
    for (const char* prefix : prefixes)
        candidates.push_back(std::string(prefix) + base);
    candidates.push_back("velon-x-standalone.png");
    candidates.push_back("../velon-x-standalone.png");
    candidates.push_back("../../velon-x-standalone.png");
    const std::string program_dir = ProgramDirectory();
    if (!program_dir.empty())
        candidates.push_back(program_dir + "/" + base);

    unsigned char* pixels = nullptr;
    std::string found;
    for (const std::string& path : candidates)
    {
        int channels = 0;
        pixels = stbi_load(path.c_str(), &backgroundWidth, &backgroundHeight, &channels, 4);
        if (pixels)
        {
            found = path;
            break;
        }
    }
    if (!pixels)
    {
        std::cout << "Warning: Could not load background image from any path" << std::endl;
        return;
    }
    std::cout << "Background image loaded successfully from: " << found << std::endl;

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, backgroundWidth, backgroundHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);

    backgroundTexture = static_cast<ImTextureID>(texture);
    stbi_image_free(pixels);
    std::cout << "Background texture created: " << backgroundWidth << "x" << backgroundHeight << std::endl;
}

void UIContext::PostRender()
{
    if (!window)
    {
        std::cerr << "Error: Cannot post-render UI - window not initialized" << std::endl;
        return;
    }
    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
}

void UIContext::End()
{
    if (!window)
    {
        std::cerr << "Warning: Cannot end UI context - window not initialized" << std::endl;
        return;
    }
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    dock::Shutdown();
    ImGui::DestroyContext();
    ImPlot::DestroyContext();
    ShutdownAIChat();
    // After the chat, whose close stops a reload the download may be running.
    StopModelDownload();
    if (backgroundTexture != 0)
    {
        const GLuint texture = static_cast<GLuint>(backgroundTexture);
        glDeleteTextures(1, &texture);
        backgroundTexture = 0;
    }
    std::cout << "UI context terminated successfully" << std::endl;
}

} // namespace nrender
