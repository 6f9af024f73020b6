// The two ImGui themes of the program. Each writes a fixed set of style values
// and colours; every other field of the style keeps its value.
#pragma once

struct ImGuiStyle;

void ApplyDarkTheme(ImGuiStyle& style);
void ApplyLightTheme(ImGuiStyle& style);
