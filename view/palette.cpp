#include "view/palette.hpp"

#include <cstring>
#include <iterator>

namespace {

struct ThemeRow {
  Theme theme;
  const char* name;
  const Palette* palette;
};

constexpr ThemeRow kThemes[] = {
    {Theme::Design, "design", &kDesignPalette},
    {Theme::Dark, "dark", &kDarkPalette},
    {Theme::Contrast, "contrast", &kContrastPalette},
};
static_assert(std::size(kThemes) == kThemeCount);

}  // namespace

const Palette& themePalette(Theme theme) { return *kThemes[static_cast<int>(theme)].palette; }

bool themeNamed(const char* name, Theme& theme) {
  for (const ThemeRow& row : kThemes)
    if (std::strcmp(row.name, name) == 0) {
      theme = row.theme;
      return true;
    }
  return false;
}

const char* themeName(Theme theme) { return kThemes[static_cast<int>(theme)].name; }
