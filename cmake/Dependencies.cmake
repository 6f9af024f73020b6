# Dear ImGui (with its GLFW and OpenGL 3 back ends), stb and llama.cpp, as the
# system packages them.
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)
pkg_check_modules(FREETYPE IMPORTED_TARGET freetype2)
pkg_check_modules(LLAMA REQUIRED IMPORTED_TARGET llama)

add_library(imgui_lib INTERFACE)
target_link_libraries(imgui_lib INTERFACE PkgConfig::IMGUI PkgConfig::STB PkgConfig::GLFW OpenGL::GL ${CMAKE_DL_LIBS})
if(FREETYPE_FOUND)
  target_link_libraries(imgui_lib INTERFACE PkgConfig::FREETYPE)
endif()
# The packaged headers are included as <imgui.h> and <backends/...>; keep
# their warnings out of ours.
get_target_property(_imgui_inc PkgConfig::IMGUI INTERFACE_INCLUDE_DIRECTORIES)
target_include_directories(imgui_lib SYSTEM INTERFACE ${_imgui_inc})

add_library(llama_lib INTERFACE)
target_link_libraries(llama_lib INTERFACE PkgConfig::LLAMA)
