#pragma once

#include <cstdint>
// The piano-roll view, redrawn whole from the shared state every frame step.

inline constexpr std::uint32_t kBackgroundColour = 0xC0C0D0;

void drawView();
