#include "window/GLWindow.h"

#include "render/OpenGLContext.h"
#include "render/SceneView.h"
#include "render/UIContext.h"

#include <GLFW/glfw3.h>

namespace nwindow
{

// The OpenGL context is created first, the UI context second; neither is initialised.
GLWindow::GLWindow()
{
    glContext = std::make_unique<nrender::OpenGLContext>();
    uiContext = std::make_unique<nrender::UIContext>();
}

// The reverse of Init: scene view, UI context, OpenGL context.
GLWindow::~GLWindow()
{
    sceneView.reset();
    uiContext->End();
    glContext->End();
    uiContext.reset();
    glContext.reset();
}

int GLWindow::Init(uint16_t w, uint16_t h, const std::string& t)
{
    width = w;
    height = h;
    title = t;

    int result = glContext->Init(this);
    if (result != nrender::RenderSuccess)
    {
        glContext->End();
        return result;
    }

    result = uiContext->Init(this);
    if (result != nrender::RenderSuccess)
        uiContext->End();

    sceneView = std::make_unique<SceneView>();
    return result;
}

void GLWindow::OnUpdate()
{
    glContext->PreRender();
    uiContext->PreRender();
    sceneView->Render();
    uiContext->PostRender();
    glContext->PostRender();

    if (glfwGetKey(nativeWindow, GLFW_KEY_W) == GLFW_PRESS)
        sceneView->OnZoom(-0.4f);
    if (glfwGetKey(nativeWindow, GLFW_KEY_S) == GLFW_PRESS)
        sceneView->OnZoom(0.4f);

    double x = 0.0, y = 0.0;
    glfwGetCursorPos(nativeWindow, &x, &y);
    int button = 9;
    if (glfwGetMouseButton(nativeWindow, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS)
        button = 0;
    else if (glfwGetMouseButton(nativeWindow, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS)
        button = 1;
    else if (glfwGetMouseButton(nativeWindow, GLFW_MOUSE_BUTTON_MIDDLE) == GLFW_PRESS)
        button = 2;
    sceneView->OnMouse(x, y, button);
}

void GLWindow::OnClose() { running = false; }

// Every accepted size event repaints the window at once.
void GLWindow::OnResize(uint16_t w, uint16_t h)
{
    width = w;
    height = h;
    if (!sceneView)
        return;
    sceneView->Resize(w, h);
    OnUpdate();
}

void GLWindow::OnScroll(double y_offset) { sceneView->OnScroll(y_offset); }

void GLWindow::OnKey(int key, int scancode, int action, int mods)
{
    (void)key;
    (void)scancode;
    (void)action;
    (void)mods;
}

} // namespace nwindow
