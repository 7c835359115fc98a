#include "view/controls.hpp"

void handleKeyCommands(const KeyboardDevice&) {}
