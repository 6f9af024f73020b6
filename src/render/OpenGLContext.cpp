#include "render/OpenGLContext.h"

#include "render/RuntimeFiles.h"
#include "window/IWindow.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb/stb_image.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace nrender
{

static nwindow::IWindow* WindowOf(GLFWwindow* native_window)
{
    return static_cast<nwindow::IWindow*>(glfwGetWindowUserPointer(native_window));
}

static void KeyCallback(GLFWwindow* native_window, int key, int scancode, int action, int mods)
{
    if (nwindow::IWindow* window = WindowOf(native_window))
        window->OnKey(key, scancode, action, mods);
}

static void ScrollCallback(GLFWwindow* native_window, double x_offset, double y_offset)
{
    (void)x_offset;
    if (nwindow::IWindow* window = WindowOf(native_window))
        window->OnScroll(y_offset);
}

static void WindowCloseCallback(GLFWwindow* native_window)
{
    if (nwindow::IWindow* window = WindowOf(native_window))
        window->OnClose();
}

// Set while a callback draws a frame. Callbacks run inside glfwPollEvents or
// glfwWaitEventsTimeout, which GLFW does not allow to be entered again: the frame
// leaves the remaining events to the poll that is already running them.
static bool InsideEventCallback = false;

static void WindowSizeCallback(GLFWwindow* native_window, int width, int height)
{
    nwindow::IWindow* window = WindowOf(native_window);
    if (!window)
        return;
    // A minimised window reports 0 x 0.
    if (width < 1 || height < 1)
    {
        std::cerr << "Warning: Invalid window dimensions (" << width << "x" << height << ")" << std::endl;
        return;
    }
    const bool outer = InsideEventCallback;
    InsideEventCallback = true;
    window->OnResize(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
    InsideEventCallback = outer;
}

// The program's own icon, a PNG in media/ near the working directory or beside
// the program. Without it the window keeps the default icon, quietly.
static void SetWindowIcon(GLFWwindow* native_window)
{
    std::vector<std::string> candidates = {"media/dravik-lite-icon.png", "../media/dravik-lite-icon.png",
                                           "../../media/dravik-lite-icon.png"};
    const std::string program_dir = ProgramDirectory();
    if (!program_dir.empty())
        candidates.push_back(program_dir + "/media/dravik-lite-icon.png");
    for (const std::string& path : candidates)
    {
        int w = 0, h = 0, channels = 0;
        unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &channels, 4);
        if (!pixels)
            continue;
        GLFWimage image = {w, h, pixels};
        glfwSetWindowIcon(native_window, 1, &image);
        stbi_image_free(pixels);
        return;
    }
}

int OpenGLContext::Init(nwindow::IWindow* owner)
{
    if (!owner)
    {
        std::cerr << "Error: Cannot initialize OpenGL context - null window pointer" << std::endl;
        return RenderFailure;
    }
    window = owner;

    // The program draws into an X11 window (XWayland on a Wayland desktop); asking for it
    // keeps GLFW from probing Wayland first.
    glfwInitHint(GLFW_PLATFORM, GLFW_PLATFORM_X11);
    if (!glfwInit())
    {
        std::cerr << "Error: GLFW initialization failed" << std::endl;
        return RenderFailure;
    }

    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);

    GLFWwindow* native_window =
        glfwCreateWindow(window->width, window->height, window->title.c_str(), nullptr, nullptr);
    if (!native_window)
    {
        std::cerr << "Error: GLFW window creation failed" << std::endl;
        glfwTerminate();
        return RenderFailure;
    }

    window->SetNativeWindow(native_window);
    glfwSetWindowUserPointer(native_window, window);

    glfwSetWindowCloseCallback(native_window, WindowCloseCallback);
    glfwSetWindowSizeCallback(native_window, WindowSizeCallback);
    glfwSetKeyCallback(native_window, KeyCallback);
    glfwSetScrollCallback(native_window, ScrollCallback);

    glfwMakeContextCurrent(native_window);

    const GLenum code = glewInit();
    if (code != GLEW_OK)
    {
        std::cerr << "Error: GLEW initialization failed - " << glewGetErrorString(code) << std::endl;
        glfwDestroyWindow(native_window);
        // The window is gone: End must not see it again.
        window->SetNativeWindow(nullptr);
        glfwTerminate();
        return RenderFailure;
    }

    SetWindowIcon(native_window);

    glfwSwapInterval(1);

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    std::cout << "OpenGL context initialized successfully" << std::endl;
    std::cout << "OpenGL Version: " << glGetString(GL_VERSION) << std::endl;
    std::cout << "GLSL Version: " << glGetString(GL_SHADING_LANGUAGE_VERSION) << std::endl;
    return RenderSuccess;
}

void OpenGLContext::PreRender()
{
    if (!window)
    {
        std::cerr << "Error: Cannot pre-render - window not initialized" << std::endl;
        return;
    }
    glViewport(0, 0, window->width, window->height);
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void OpenGLContext::PostRender()
{
    if (!window)
    {
        std::cerr << "Error: Cannot post-render - window not initialized" << std::endl;
        return;
    }
    if (!InsideEventCallback)
        glfwPollEvents();
    glfwSwapBuffers(window->GetNativeWindow());
}

void OpenGLContext::End()
{
    if (!window)
    {
        std::cerr << "Warning: Cannot end context - window not initialized" << std::endl;
        return;
    }
    // After a failed Init GLFW is no longer initialised and ignores both calls.
    glfwDestroyWindow(window->GetNativeWindow());
    glfwTerminate();
    std::cout << "OpenGL context terminated successfully" << std::endl;
}

} // namespace nrender
