#include "io/midi_file.hpp"

#include <cerrno>
#include <cstring>

#include "core/constants.hpp"

namespace {

// Ticks are sample x 960 / 44100 = sample x 16 / 735: whole numbers, the same on every system.
constexpr long long kTickNumerator = 16;
constexpr long long kTickDenominator = 735;
static_assert(kTickNumerator * static_cast<long long>(kSampleRate) == kMidiTicksPerSecond * kTickDenominator);
constexpr long long kMostDelta = 0x0FFFFFFF;  // the longest time four bytes of delta can hold
constexpr unsigned long long kMostTrackBytes = 0xFFFFFFFFull;
constexpr int kNoteOn = 0x90;                 // channel 1
constexpr int kNoteOff = 0x80;
constexpr int kMostDataByte = 127;
constexpr int kReleaseVelocity = 64;          // a note-off's velocity when none was measured
constexpr int kMeta = 0xFF;
constexpr int kMetaText = 0x01;
constexpr int kMetaTempo = 0x51;
constexpr int kMetaEndOfTrack = 0x2F;

void put(MidiTrack& track, const unsigned char* bytes, size_t count) {
  if (std::fwrite(bytes, 1, count, track.file) != count) track.failed = true;
  track.bytes += count;
}

void putByte(MidiTrack& track, int byte) {
  const unsigned char b = static_cast<unsigned char>(byte);
  put(track, &b, 1);
}

void putDelta(MidiTrack& track, long long delta) {
  unsigned char bytes[4];
  int count = 0;
  bytes[count++] = static_cast<unsigned char>(delta & 0x7F);
  while ((delta >>= 7) > 0) bytes[count++] = static_cast<unsigned char>(0x80 | (delta & 0x7F));
  for (int i = count - 1; i >= 0; --i) putByte(track, bytes[i]);
}

void putMeta(MidiTrack& track, long long delta, int type, const unsigned char* data, int length) {
  putDelta(track, delta);
  putByte(track, kMeta);
  putByte(track, type);
  putByte(track, length);
  put(track, data, static_cast<size_t>(length));
  track.runningStatus = -1;  // readers may forget the running status at a meta event
}

// Moves the track's time to `tick`; a wait longer than a delta can hold goes in empty text events.
void advanceTo(MidiTrack& track, long long tick) {
  while (tick - track.tick > kMostDelta) {
    putMeta(track, kMostDelta, kMetaText, nullptr, 0);
    track.tick += kMostDelta;
  }
}

void putBigEndian(unsigned char* at, unsigned long long value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, value >>= 8) at[i] = static_cast<unsigned char>(value & 0xFF);
}

}  // namespace

long long midiTickOfSample(long long sample) {
  const long long scaled = sample * kTickNumerator;
  long long tick = scaled / kTickDenominator;
  const long long twice = 2 * (scaled % kTickDenominator);
  if (twice > kTickDenominator || (twice == kTickDenominator && tick % 2 != 0)) ++tick;
  return tick;
}

bool startMidiFile(std::FILE* file, MidiTrack& track, std::string& reason) {
  track = MidiTrack{};
  track.file = file;
  unsigned char header[14] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};  // format 0, one track
  putBigEndian(header + 12, kMidiTicksPerQuarter, 2);
  const unsigned char trackStart[8] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};  // the length follows at the end
  put(track, header, sizeof header);
  track.lengthAt = static_cast<long>(sizeof header) + 4;
  put(track, trackStart, sizeof trackStart);
  track.bytes = 0;
  unsigned char tempo[3];
  putBigEndian(tempo, kMidiMicrosecondsPerQuarter, 3);
  putMeta(track, 0, kMetaTempo, tempo, 3);
  if (track.failed) reason = std::string("write error: ") + std::strerror(errno);
  return !track.failed;
}

void writeMidiNote(MidiTrack& track, const NoteEvent& event) {
  const int key = event.row + kMidiKeyOfRow0;
  if (key < 0 || key > kMostDataByte) return;  // a byte past 127 would read as a status
  const int velocity = event.velocity < 1 ? 1 : (event.velocity > kMostDataByte ? kMostDataByte : event.velocity);
  long long tick = midiTickOfSample(event.sample);
  if (tick < track.tick) tick = track.tick;
  advanceTo(track, tick);
  putDelta(track, tick - track.tick);
  track.tick = tick;
  const int status = event.on ? kNoteOn : kNoteOff;
  if (status != track.runningStatus) putByte(track, status);
  track.runningStatus = status;
  putByte(track, key);
  putByte(track, event.on ? velocity : kReleaseVelocity);
}

bool finishMidiFile(MidiTrack& track, std::string& reason) {
  putMeta(track, 0, kMetaEndOfTrack, nullptr, 0);
  if (track.bytes > kMostTrackBytes) {
    reason = "the MIDI file's track is longer than 4 GiB";
    return false;
  }
  if (std::fflush(track.file) != 0 || track.failed) {
    reason = std::string("write error: ") + std::strerror(errno);
    return false;
  }
  if (std::fseek(track.file, track.lengthAt, SEEK_SET) != 0) {
    reason = "a MIDI file's track length goes at its start once known: it cannot be written to a pipe";
    return false;
  }
  unsigned char length[4];
  putBigEndian(length, track.bytes, 4);
  if (std::fwrite(length, 1, sizeof length, track.file) != sizeof length || std::fflush(track.file) != 0 ||
      std::fseek(track.file, 0, SEEK_END) != 0) {
    reason = std::string("write error: ") + std::strerror(errno);
    return false;
  }
  return true;
}
