// An off-screen frame buffer with a colour texture.
#pragma once

#include <cstdint>

namespace nrender
{

class FrameBuffer
{
public:
    virtual ~FrameBuffer() {}
    virtual void Create(int width, int height) = 0;
    virtual void Delete() = 0;
    virtual void Bind() = 0;
    virtual void Unbind() = 0;
    virtual uint32_t GetTexture() = 0;
};

// Colour texture plus depth-stencil texture; each side 1 to 8192 pixels.
// The destructor frees the object only: its GL objects end with the context.
class OpenGLFrameBuffer : public FrameBuffer
{
public:
    static constexpr int MaxSide = 8192;

    void Create(int width, int height) override;
    void Delete() override;
    void Bind() override;
    void Unbind() override;
    uint32_t GetTexture() override { return colorTexture; }

    uint32_t fbo = 0;
    uint32_t colorTexture = 0;
    uint32_t depthStencilTexture = 0;
    int width = 0;
    int height = 0;
};

} // namespace nrender
