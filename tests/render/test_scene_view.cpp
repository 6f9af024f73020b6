// Frame buffer and shader loader, with the real window's OpenGL context.
#include "support/UiHarness.h"

#include "render/FrameBuffer.h"
#include "render/SceneView.h"
#include "render/ShaderLoader.h"

#include <GL/glew.h>

#include <gtest/gtest.h>

#include <fstream>

using uitest::ConsoleCapture;
using uitest::ProgramDirectory;
using uitest::UiHarness;

TEST(OpenGLFrameBuffer, SizeLimits)
{
    ProgramDirectory dir;
    UiHarness ui;
    ASSERT_TRUE(ui.HasWindow());
    ConsoleCapture console;

    nrender::OpenGLFrameBuffer fb;
    EXPECT_EQ(fb.GetTexture(), 0u);
    fb.Bind();
    EXPECT_EQ(console.FindErr("Error: Cannot bind framebuffer - not created"), 0);

    fb.Create(8192, 8192);
    EXPECT_GE(console.FindOut("Successfully created framebuffer (8192x8192)"), 0) << console.Err();
    EXPECT_NE(fb.fbo, 0u);
    EXPECT_NE(fb.GetTexture(), 0u);
    EXPECT_EQ(fb.width, 8192);
    const uint32_t fbo = fb.fbo, color = fb.colorTexture;

    fb.Create(8193, 100);
    fb.Create(100, 8193);
    fb.Create(0, 100);
    fb.Create(100, -1);
    EXPECT_GE(console.FindErr("Error: Framebuffer dimensions too large (8193x100)"), 0);
    EXPECT_GE(console.FindErr("Error: Framebuffer dimensions too large (100x8193)"), 0);
    EXPECT_GE(console.FindErr("Error: Invalid framebuffer dimensions (0x100)"), 0);
    EXPECT_GE(console.FindErr("Error: Invalid framebuffer dimensions (100x-1)"), 0);
    // The one created earlier is kept as it was.
    EXPECT_EQ(fb.fbo, fbo);
    EXPECT_EQ(fb.colorTexture, color);
    EXPECT_EQ(fb.width, 8192);
    EXPECT_EQ(fb.height, 8192);
    EXPECT_TRUE(glIsFramebuffer(fb.fbo));

    fb.Create(1, 1);
    EXPECT_GE(console.FindOut("Successfully created framebuffer (1x1)"), 0);
    EXPECT_EQ(fb.width, 1);
    fb.Bind();
    fb.Unbind();
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    fb.Delete();
    EXPECT_EQ(fb.fbo, 0u);
    EXPECT_EQ(fb.GetTexture(), 0u);
    EXPECT_EQ(fb.width, 0);

    // A GL error raised earlier is reported by the next unbind, in lower-case hex.
    glEnable(0xFFFF);
    fb.Unbind();
    EXPECT_GE(console.FindErr("OpenGL error after framebuffer unbind: 0x500"), 0) << console.Err();
}

// A vertex shader padded with spaces to exactly size bytes.
static void WriteShader(const std::string& path, const std::string& body, size_t size)
{
    std::string text = body;
    if (text.size() < size)
        text.append(size - text.size(), ' ');
    std::ofstream(path, std::ios::binary) << text;
}

static const char* const VertexBody = "#version 410 core\nlayout(location = 0) in vec3 p;\n"
                                      "void main() { gl_Position = vec4(p, 1.0); }\n";
static const char* const FragmentBody = "#version 410 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n";

TEST(ShaderLoader, SizeLimitAndFailures)
{
    ProgramDirectory dir(false);
    UiHarness ui;
    ASSERT_TRUE(ui.HasWindow());

    WriteShader("v.shader", VertexBody, MaxShaderFileSize);
    WriteShader("f.shader", FragmentBody, MaxShaderFileSize);
    {
        ConsoleCapture console;
        uint32_t program = 0;
        EXPECT_TRUE(LoadShaderProgram(&program, "v.shader", "f.shader")) << console.Err();
        EXPECT_NE(program, 0u);
        EXPECT_TRUE(glIsProgram(program));
        EXPECT_EQ(console.FindOut("Loading vertex shader: v.shader"), 0);
        EXPECT_EQ(console.FindOut("Vertex shader content length: 1048576"), 1);
        EXPECT_EQ(console.FindOut("Fragment shader content length: 1048576"), 3);
        DeleteShaderProgram(&program);
        EXPECT_EQ(program, 0u);
        DeleteShaderProgram(&program); // a second delete does nothing
    }

    WriteShader("v.shader", VertexBody, MaxShaderFileSize + 1);
    {
        ConsoleCapture console;
        uint32_t program = 7;
        EXPECT_FALSE(LoadShaderProgram(&program, "v.shader", "f.shader"));
        EXPECT_EQ(console.ErrLines(), std::vector<std::string>{"Vertex shader file too large (max 1MB)"});
        EXPECT_EQ(console.FindOut("Loading fragment shader: f.shader"), -1);
    }
    WriteShader("v.shader", VertexBody, 0);
    WriteShader("f.shader", FragmentBody, MaxShaderFileSize + 1);
    {
        ConsoleCapture console;
        uint32_t program = 0;
        EXPECT_FALSE(LoadShaderProgram(&program, "v.shader", "f.shader"));
        EXPECT_EQ(console.ErrLines(), std::vector<std::string>{"Fragment shader file too large (max 1MB)"});
        EXPECT_EQ(program, 0u);
    }

    // Both files missing: only the vertex file is reported.
    {
        ConsoleCapture console;
        uint32_t program = 0;
        EXPECT_FALSE(LoadShaderProgram(&program, "none.vs", "none.fs"));
        EXPECT_EQ(console.ErrLines(), std::vector<std::string>{"Failed to open vertex shader file: none.vs"});
    }

    // A vertex shader that does not compile, a fragment shader that does.
    WriteShader("bad.shader", "#version 410 core\nvoid main() { undeclared = 1; }\n", 0);
    WriteShader("f.shader", FragmentBody, 0);
    {
        ConsoleCapture console;
        uint32_t program = 0;
        EXPECT_FALSE(LoadShaderProgram(&program, "bad.shader", "f.shader"));
        EXPECT_EQ(program, 0u);
        const std::vector<std::string> err = console.ErrLines();
        ASSERT_GE(err.size(), 2u);
        EXPECT_EQ(err.front().rfind("Compile error in shader: ", 0), 0u) << err.front();
        EXPECT_EQ(err.back(), "Failed to compile shaders");
    }

    // Stages that compile but do not link: the vertex stage has no main.
    WriteShader("v.shader", "#version 410 core\nvoid helper() {}\n", 0);
    {
        ConsoleCapture console;
        uint32_t program = 0;
        EXPECT_FALSE(LoadShaderProgram(&program, "v.shader", "f.shader"));
        EXPECT_EQ(program, 0u);
        ASSERT_FALSE(console.ErrLines().empty());
        EXPECT_EQ(console.ErrLines().front().rfind("Shader linking failed: ", 0), 0u) << console.Err();
    }
}

TEST(SceneView, ProgramShadersAndResize)
{
    ProgramDirectory dir;
    ConsoleCapture console;
    UiHarness ui;
    ASSERT_TRUE(ui.HasWindow());

    SceneView& scene = *ui.Window().sceneView;
    EXPECT_NE(*scene.shaderProgram, 0u) << console.Err(); // our shader files compile and link
    EXPECT_FLOAT_EQ(scene.width, 595.0f);
    EXPECT_FLOAT_EQ(scene.height, 842.0f);
    const int created = console.FindOut("Successfully created framebuffer (595x842)");
    EXPECT_GE(created, 0);
    EXPECT_GT(console.FindOut("Loading vertex shader: trivs.shader"), created);

    scene.Resize(300, 200);
    EXPECT_GE(console.FindOut("Successfully created framebuffer (300x200)"), 0);
    auto& fb = static_cast<nrender::OpenGLFrameBuffer&>(*scene.framebuffer);
    EXPECT_EQ(fb.width, 300);
    EXPECT_EQ(fb.height, 200);
    EXPECT_TRUE(console.Err().empty()) << console.Err();
}
