#include "render/FrameBuffer.h"

#include <GL/glew.h>

#include <iostream>

namespace nrender
{

// Reports every error left in the OpenGL queue, in lower-case hexadecimal.
static void DrainGLErrors(const char* prefix)
{
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        std::cerr << prefix << std::hex << error << std::dec << std::endl;
}

static void SetTextureParameters()
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void OpenGLFrameBuffer::Create(int w, int h)
{
    if (w < 1 || h < 1)
    {
        std::cerr << "Error: Invalid framebuffer dimensions (" << w << "x" << h << ")" << std::endl;
        return;
    }
    if (w > MaxSide || h > MaxSide)
    {
        std::cerr << "Error: Framebuffer dimensions too large (" << w << "x" << h << ")" << std::endl;
        return;
    }

    if (fbo != 0)
        Delete();

    width = w;
    height = h;

    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);

    glGenTextures(1, &colorTexture);
    glBindTexture(GL_TEXTURE_2D, colorTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    SetTextureParameters();
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture, 0);

    glGenTextures(1, &depthStencilTexture);
    glBindTexture(GL_TEXTURE_2D, depthStencilTexture);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_DEPTH24_STENCIL8, width, height);
    SetTextureParameters();
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, depthStencilTexture, 0);

    const GLenum draw_buffers[1] = {GL_COLOR_ATTACHMENT0};
    glDrawBuffers(1, draw_buffers);

    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE)
    {
        std::cerr << "Error: Framebuffer is not complete! Status: 0x" << std::hex << status << std::dec << std::endl;
        Delete();
        return;
    }

    Unbind();
    std::cout << "Successfully created framebuffer (" << w << "x" << h << ")" << std::endl;
}

void OpenGLFrameBuffer::Delete()
{
    if (fbo != 0)
    {
        glDeleteFramebuffers(1, &fbo);
        fbo = 0;
    }
    if (colorTexture != 0)
    {
        glDeleteTextures(1, &colorTexture);
        colorTexture = 0;
    }
    if (depthStencilTexture != 0)
    {
        glDeleteTextures(1, &depthStencilTexture);
        depthStencilTexture = 0;
    }
    width = 0;
    height = 0;
}

void OpenGLFrameBuffer::Bind()
{
    if (fbo == 0)
    {
        std::cerr << "Error: Cannot bind framebuffer - not created" << std::endl;
        return;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrainGLErrors("OpenGL error after framebuffer bind: 0x");
}

void OpenGLFrameBuffer::Unbind()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    DrainGLErrors("OpenGL error after framebuffer unbind: 0x");
}

} // namespace nrender
