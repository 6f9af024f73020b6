// The GLFW window with its OpenGL 4.1 core context, GLEW, the icon and the callbacks.
#pragma once

#include "render/RenderContext.h"

namespace nrender
{

class OpenGLContext : public RenderContext
{
public:
    // Releases nothing: End destroys the GLFW window and terminates GLFW.
    ~OpenGLContext() override {}

    int Init(nwindow::IWindow* window) override;
    void PreRender() override;
    void PostRender() override;
    void End() override;
};

} // namespace nrender
