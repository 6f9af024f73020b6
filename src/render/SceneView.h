// The window's off-screen scene: a frame buffer and a shader program. Nothing
// draws with it yet; its draw and input handlers are empty.
#pragma once

#include "render/FrameBuffer.h"

#include <cstdint>
#include <memory>

class SceneView
{
public:
    SceneView();
    ~SceneView();

    void Resize(int width, int height);
    void Render() {}
    void OnZoom(double delta) { (void)delta; }
    void OnMouse(double x, double y, int button)
    {
        (void)x;
        (void)y;
        (void)button;
    }
    void OnScroll(double yOffset) { (void)yOffset; }

    std::unique_ptr<nrender::FrameBuffer> framebuffer;
    std::unique_ptr<uint32_t> shaderProgram;
    float width;
    float height;
};
