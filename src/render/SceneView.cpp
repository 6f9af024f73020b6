#include "render/SceneView.h"

#include "render/RuntimeFiles.h"
#include "render/ShaderLoader.h"

SceneView::SceneView() : width(595.0f), height(842.0f)
{
    framebuffer = std::make_unique<nrender::OpenGLFrameBuffer>();
    framebuffer->Create(595, 842);
    shaderProgram = std::make_unique<uint32_t>(0);
    // Without a program the scene view runs on; nothing draws with it.
    LoadShaderProgram(shaderProgram.get(), nrender::FindRuntimeFile("trivs.shader"),
                      nrender::FindRuntimeFile("trifs.shader"));
}

SceneView::~SceneView()
{
    DeleteShaderProgram(shaderProgram.get());
    shaderProgram.reset();
    framebuffer.reset();
}

void SceneView::Resize(int w, int h)
{
    width = static_cast<float>(w);
    height = static_cast<float>(h);
    framebuffer->Create(static_cast<int>(width), static_cast<int>(height));
}
