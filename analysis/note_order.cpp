#include "analysis/note_order.hpp"

#include <cstring>

void holdNoteEvents(NoteOrder& order, const NoteEvents& decided) {
  for (int i = 0; i < decided.count; ++i) {
    if (order.count == kMostWaitingNoteEvents) return;  // cannot happen while each block's settled events are taken
    int j = order.count++;
    for (; j > 0 && noteEventBefore(decided.events[i], order.waiting[j - 1]); --j) order.waiting[j] = order.waiting[j - 1];
    order.waiting[j] = decided.events[i];
  }
}

int settledNoteEvents(const NoteOrder& order, long long firstSample) {
  int count = 0;
  while (count < order.count && order.waiting[count].sample < firstSample - kLatestNoteDecision) ++count;
  return count;
}

void dropNoteEvents(NoteOrder& order, int count) {
  if (count <= 0) return;
  if (count > order.count) count = order.count;
  std::memmove(order.waiting, order.waiting + count, sizeof(NoteEvent) * (order.count - count));
  order.count -= count;
}
