// Column numbers of the history rings, wrapped from either side.

#include <gtest/gtest.h>

#include "analysis/history_ring.hpp"

namespace {

TEST(WrapColumn, FoldsAnyColumnNumberIntoTheRing) {
  struct Case {
    int column, wrapped;
  };
  for (const Case& c : {Case{0, 0}, Case{199, 199}, Case{200, 0}, Case{201, 1}, Case{399, 199}, Case{400, 0},
                        Case{-1, 199}, Case{-200, 0}, Case{-201, 199}, Case{-399, 1}})
    EXPECT_EQ(wrapColumn(c.column), c.wrapped) << c.column;
}

}  // namespace
