// Builds an OpenGL program from a vertex and a fragment shader file.
#pragma once

#include <GL/glew.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Largest shader file accepted, in bytes.
constexpr size_t MaxShaderFileSize = 1048576;

// False leaves *program at 0.
bool LoadShaderProgram(uint32_t* program, const std::string& vertexPath, const std::string& fragmentPath);
// The compiled shader object, or 0.
GLuint CompileShader(GLenum type, const std::string& source);
void DeleteShaderProgram(uint32_t* program);
