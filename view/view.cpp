#include "view/view.hpp"

void drawView() {}
