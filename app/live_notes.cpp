#include "app/live_notes.hpp"

#include <cerrno>
#include <cstring>

#include "core/tuner_state.hpp"
#include "platform/regular_file.hpp"

LiveNotes::LiveNotes(AudioShared& audio)
    : audio_(audio), detector_(std::make_unique<PreciseState>()), block_(std::make_unique<QueuedBlock>()) {}

LiveNotes::~LiveNotes() { discardFile(); }

bool LiveNotes::openFile(const std::string& path, std::string& reason) {
  const int fd = createOutput(path, fileTarget_, reason);
  if (fd < 0) return false;
  file_ = streamOnFile(fd, "wb");
  if (file_ == nullptr) {
    reason = path + ": cannot write: " + std::strerror(errno);
    discardFile();
    return false;
  }
  notes_ = std::make_unique<NotesFile>();
  if (startNotesFile(file_, *notes_, reason)) return true;
  reason = path + ": " + reason;
  discardFile();
  return false;
}

void LiveNotes::follow(bool frozen) {
  if (frozen && lastNumber_ >= 0) {
    if (midi_ != nullptr) midi_->letGo();
    lastNumber_ = -1;
  }
  while (takeQueuedBlock(audio_.blocks, *block_))
    if (!frozen) track(*block_);
}

// A block the queue dropped, or the first since the start or a freeze, restarts the detector,
// and the trackers end their notes there. A block's first sample counts every block captured,
// so the file's times are those of the session, freezes and all.
void LiveNotes::track(const QueuedBlock& block) {
  const bool afterGap = lastNumber_ < 0 || block.number != static_cast<std::uint32_t>(lastNumber_ + 1);
  if (afterGap) resetPreciseDetector(*detector_);
  lastNumber_ = block.number;
  const double* rows = audio_.record.notes.frequency + kNoteRowOffset;
  runPreciseDetector(PreciseInput{block.samples, block.gain, rows}, *detector_, scores_, reading_);
  const long long first = static_cast<long long>(block.number) * kBlockSize;
  const NoteTrackerInput input{scores_, &reading_, block.samples, rows, first, afterGap};
  if (midi_ != nullptr) midi_->track(input);
  if (file_ != nullptr) addNotesBlock(*notes_, input);
}

bool LiveNotes::finish(std::string& reason) {
  if (file_ == nullptr) return true;
  bool ok = finishNotesFile(*notes_, reason);
  if (!ok) reason = fileTarget_.target + ": " + reason;
  const bool written = std::ferror(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (ok && !(written && closed)) {
    reason = fileTarget_.target + ": write error: " + std::strerror(errno);
    ok = false;
  }
  if (ok && commitOutput(fileTarget_, reason)) return true;
  discardFile();
  return false;
}

void LiveNotes::discardFile() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  discardOutput(fileTarget_);
}
