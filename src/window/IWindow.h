// The window interface that the render contexts see.
#pragma once

#include <cstdint>
#include <string>

struct GLFWwindow;

namespace nwindow
{

// No virtual destructor: windows are owned and destroyed as GLWindow.
class IWindow
{
public:
    virtual GLFWwindow* GetNativeWindow() = 0;
    virtual void SetNativeWindow(GLFWwindow* native_window) = 0;
    virtual void OnClose() = 0;
    virtual void OnResize(uint16_t width, uint16_t height) = 0;
    virtual void OnScroll(double y_offset) = 0;
    virtual void OnKey(int key, int scancode, int action, int mods) = 0;

    uint16_t width = 0;
    uint16_t height = 0;
    std::string title;

protected:
    ~IWindow() = default;
};

} // namespace nwindow
