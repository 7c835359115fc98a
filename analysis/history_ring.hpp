#pragma once
// The score history and the recording are rings of kHistoryColumns columns side by side.

#include "core/constants.hpp"

// Any column number, negative ones included, as its place in the ring.
inline int wrapColumn(int column) { return ((column % kHistoryColumns) + kHistoryColumns) % kHistoryColumns; }
