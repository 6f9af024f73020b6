// The one application window: owns the OpenGL context, the UI context and the
// scene view, and defines the order of one frame.
#pragma once

#include "window/IWindow.h"

#include <memory>

class SceneView;

namespace nrender
{
class UIContext;
class OpenGLContext;
} // namespace nrender

namespace nwindow
{

class GLWindow final : public IWindow
{
public:
    GLWindow();
    ~GLWindow();

    // 1 when both contexts initialised, otherwise the failing context's code.
    int Init(uint16_t width, uint16_t height, const std::string& title);
    void OnUpdate();

    GLFWwindow* GetNativeWindow() override { return nativeWindow; }
    void SetNativeWindow(GLFWwindow* native_window) override { nativeWindow = native_window; }
    void OnClose() override;
    void OnResize(uint16_t width, uint16_t height) override;
    void OnScroll(double y_offset) override;
    void OnKey(int key, int scancode, int action, int mods) override;

    bool IsRunning() const { return running; }

    GLFWwindow* nativeWindow = nullptr;
    std::unique_ptr<nrender::UIContext> uiContext;
    std::unique_ptr<nrender::OpenGLContext> glContext;
    std::unique_ptr<SceneView> sceneView;
    bool running = true;
};

} // namespace nwindow
