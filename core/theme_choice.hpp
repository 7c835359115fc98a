#pragma once
// Which palette the picture is drawn in: the design's colours, a dark one, or one for colour-blind eyes.

enum class Theme { Design, Dark, Contrast };
inline constexpr int kThemeCount = 3;
