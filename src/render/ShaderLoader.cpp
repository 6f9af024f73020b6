#include "render/ShaderLoader.h"

#include <fstream>
#include <iostream>
#include <vector>

static void DrainGLErrors(const char* prefix)
{
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError())
        std::cerr << prefix << std::hex << error << std::dec << std::endl;
}

// Reads one shader file; stage is "vertex" or "fragment", Stage its capitalised form.
static bool ReadShaderFile(const std::string& path, const char* stage, const char* Stage, std::string& text)
{
    std::cout << "Loading " << stage << " shader: " << path << std::endl;
    std::ifstream file(path);
    if (!file.is_open())
    {
        std::cerr << "Failed to open " << stage << " shader file: " << path << std::endl;
        return false;
    }

    text.clear();
    text.reserve(MaxShaderFileSize);
    char block[4096];
    size_t total = 0;
    for (;;)
    {
        file.read(block, sizeof(block));
        const size_t count = static_cast<size_t>(file.gcount());
        if (count == 0)
            break;
        total += count;
        if (total > MaxShaderFileSize)
        {
            std::cerr << Stage << " shader file too large (max 1MB)" << std::endl;
            return false;
        }
        text.append(block, count);
    }
    std::cout << Stage << " shader content length: " << text.size() << std::endl;
    return true;
}

// Prints an object's information log, when it has one.
static void PrintInfoLog(GLuint object, bool is_program, const char* prefix)
{
    GLint length = 0;
    if (is_program)
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0)
        return;
    std::vector<char> log(static_cast<size_t>(length) + 1, '\0');
    if (is_program)
        glGetProgramInfoLog(object, length, nullptr, log.data());
    else
        glGetShaderInfoLog(object, length, nullptr, log.data());
    std::cerr << prefix << log.data() << std::endl;
}

bool LoadShaderProgram(uint32_t* program, const std::string& vertexPath, const std::string& fragmentPath)
{
    std::string vertex_text, fragment_text;
    if (!ReadShaderFile(vertexPath, "vertex", "Vertex", vertex_text))
        return false;
    if (!ReadShaderFile(fragmentPath, "fragment", "Fragment", fragment_text))
        return false;

    *program = glCreateProgram();
    if (*program == 0)
    {
        std::cerr << "Failed to create OpenGL shader program" << std::endl;
        return false;
    }

    // Both stages are compiled before either result is looked at.
    const GLuint vs = CompileShader(GL_VERTEX_SHADER, vertex_text);
    const GLuint fs = CompileShader(GL_FRAGMENT_SHADER, fragment_text);
    if (vs == 0 || fs == 0)
    {
        std::cerr << "Failed to compile shaders" << std::endl;
        if (vs != 0)
            glDeleteShader(vs);
        if (fs != 0)
            glDeleteShader(fs);
        glDeleteProgram(*program);
        *program = 0;
        return false;
    }

    glAttachShader(*program, vs);
    glAttachShader(*program, fs);
    glLinkProgram(*program);

    GLint status = GL_FALSE;
    glGetProgramiv(*program, GL_LINK_STATUS, &status);
    if (status == GL_FALSE)
    {
        PrintInfoLog(*program, true, "Shader linking failed: ");
        glDeleteProgram(*program);
        *program = 0;
        glDeleteShader(vs);
        glDeleteShader(fs);
        return false;
    }

    glValidateProgram(*program);
    glGetProgramiv(*program, GL_VALIDATE_STATUS, &status);
    if (status == GL_FALSE)
    {
        PrintInfoLog(*program, true, "Program validation failed: ");
        glDeleteProgram(*program);
        *program = 0;
        glDeleteShader(vs);
        glDeleteShader(fs);
        return false;
    }

    // The linked program keeps what it needs.
    glDeleteShader(vs);
    glDeleteShader(fs);
    return true;
}

GLuint CompileShader(GLenum type, const std::string& source)
{
    const GLuint shader = glCreateShader(type);
    if (shader == 0)
    {
        std::cerr << "Failed to create OpenGL shader object" << std::endl;
        return 0;
    }

    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);

    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE)
    {
        DrainGLErrors("OpenGL error after shader compilation: 0x");
        return shader;
    }

    PrintInfoLog(shader, false, "Compile error in shader: ");
    glDeleteShader(shader);
    return 0;
}

void DeleteShaderProgram(uint32_t* program)
{
    if (*program != 0)
    {
        glDeleteProgram(*program);
        *program = 0;
    }
}
