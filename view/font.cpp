#include "view/font.hpp"

BitmapFont font;

void loadFont(BitmapFont&, const char*) {}
void freeFont(BitmapFont& target) { target = BitmapFont{}; }
