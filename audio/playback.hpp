#pragma once
// Playback of the recorded history while the view is frozen: scrubbing loops the
// column under the pointer; automatic playback plays each column twice, oldest
// towards newest, and stops by itself after the newest.

struct Playback;
struct Histories;

inline constexpr int kPlaysPerColumn = 2;

// Audio thread, once per output sample, after the tone step: while frozen and
// scrubbing or playing, replaces `sample` by the next recorded sample.
void playbackStep(Playback& playback, const Histories& history, float& sample);
// True when playbackStep would leave the sample and the play position as they are.
bool playbackIdle(const Playback& playback, const Histories& history);
