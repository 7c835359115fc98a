#include "io/session_record.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/constants.hpp"
#include "io/output_files.hpp"
#include "audio/input_tap.hpp"
#include "platform/file_names.hpp"
#include "platform/file_writes.hpp"
#include "platform/process.hpp"

namespace {

constexpr std::size_t kWriteFrames = 16384;                 // one write: 0.37 s of sound
constexpr std::chrono::milliseconds kWriterRest{50};        // while the ring is empty
constexpr std::chrono::milliseconds kHeaderPeriod{500};     // the longest a kill can cut from the file

}  // namespace

SessionRecorder::~SessionRecorder() {
  RecordSummary summary;
  std::string reason;
  finish(summary, reason);
}

bool SessionRecorder::open(const std::string& path, const std::string& inputPath, std::string& reason) {
  if (!checkOutputsDistinct({{"FILE", inputPath, false}, {"--record", path, true}}, reason)) return false;
  const FileKind kind = fileKind(path);
  if (kind == FileKind::Directory || kind == FileKind::Device) {
    reason = path + ": cannot record into it: " + (kind == FileKind::Directory ? std::strerror(EISDIR) : "not a regular file");
    return false;
  }
  std::string why;
  // Read access too: past 4 GiB the header is read back as it is made RF64.
  const int fd = createOrEmpty(path, why);
  if (fd < 0) {
    reason = path + ": cannot write: " + why;
    return false;
  }
  path_ = path;
  return wav_.open(fd, path, reason);  // the writer owns the descriptor from here, closed or not
}

void SessionRecorder::start(InputTap& tap) {
  if (!wav_.isOpen() || writer_.joinable()) return;
  tap_ = &tap;
  startInputTap(tap);
  stopping_.store(false);
  writer_ = std::thread([this] { run(); });
}

void SessionRecorder::run() {
  nameThisThread("sonavel-record");
  using Clock = std::chrono::steady_clock;
  std::vector<float> samples(kWriteFrames);
  auto headerDue = Clock::now() + kHeaderPeriod;
  for (;;) {
    // Read before the last drain: once stopping is seen, nothing more comes into the ring.
    const bool last = stopping_.load();
    std::size_t taken = 0;
    while ((taken = takeTapped(*tap_, samples.data(), samples.size())) > 0) {
      if (wav_.write(samples.data(), static_cast<int>(taken))) written_ += taken;
    }
    if (last) return;
    if (Clock::now() >= headerDue) {
      wav_.updateHeader();
      headerDue = Clock::now() + kHeaderPeriod;
    }
    std::this_thread::sleep_for(kWriterRest);
  }
}

bool SessionRecorder::finish(RecordSummary& summary, std::string& reason) {
  if (!wav_.isOpen()) return true;
  const bool started = writer_.joinable();
  if (started) {
    stopInputTap(*tap_);
    stopping_.store(true);
    writer_.join();
  }
  summary.written = written_;
  summary.dropped = started ? tapDropped(*tap_) : 0;
  return wav_.close(reason);
}

std::string droppedSamplesLine(const std::string& path, const RecordSummary& summary) {
  if (summary.dropped == 0) return "";
  char line[256];
  std::snprintf(line, sizeof line, "%s: the recording lost %llu samples (%.2f s): the disk did not keep up", path.c_str(),
                summary.dropped, static_cast<double>(summary.dropped) / kSampleRate);
  return line;
}
