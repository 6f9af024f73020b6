// The base of the two render contexts: init with the owning window, then
// pre-render and post-render once per frame, and end once at teardown.
#pragma once

namespace nwindow
{
class IWindow;
}

namespace nrender
{

// Result codes of the window and render layer.
constexpr int RenderSuccess = 1;
constexpr int RenderFailure = 5;

class RenderContext
{
public:
    RenderContext() : window(nullptr) {}
    virtual ~RenderContext() {}

    virtual int Init(nwindow::IWindow* window) = 0;
    virtual void PreRender() = 0;
    virtual void PostRender() = 0;
    virtual void End() = 0;

    nwindow::IWindow* window;
};

} // namespace nrender
