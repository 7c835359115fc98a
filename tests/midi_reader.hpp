#pragma once
// A Standard MIDI File reader of the tests' own, written from the file format alone, not
// from the program's writer: the header, one track's events with running status, its end.

#include <cstdio>
#include <string>
#include <vector>

namespace test_midi {

struct ReadEvent {
  long long tick;
  int status;  // 0x80, 0x90 (channel bits kept) or 0xFF
  int first;   // key, or the meta type
  int second;  // velocity, or the meta length
};

struct ReadFile {
  int format = -1, tracks = -1, division = -1;
  long tempo = -1;
  std::vector<ReadEvent> events;  // notes and meta events but the tempo
  bool ended = false;             // the track ends with its end-of-track event, at its stated length
};

inline long long bigEndian(const std::vector<unsigned char>& b, size_t at, int bytes) {
  long long v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | b.at(at + i);
  return v;
}

inline ReadFile readMidi(const std::string& path) {
  std::vector<unsigned char> b;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) b.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
  }
  ReadFile file;
  if (b.size() < 22 || std::string(b.begin(), b.begin() + 4) != "MThd" || bigEndian(b, 4, 4) != 6) return file;
  file.format = static_cast<int>(bigEndian(b, 8, 2));
  file.tracks = static_cast<int>(bigEndian(b, 10, 2));
  file.division = static_cast<int>(bigEndian(b, 12, 2));
  if (std::string(b.begin() + 14, b.begin() + 18) != "MTrk") return file;
  const size_t end = 22 + static_cast<size_t>(bigEndian(b, 18, 4));
  size_t at = 22;
  long long tick = 0;
  int running = -1;
  while (at < end && at < b.size()) {
    long long delta = 0;
    int c = 0x80;
    for (int bytes = 0; c & 0x80; delta = delta << 7 | (c & 0x7F), ++bytes) {
      if (bytes == 4) return file;  // a delta holds four bytes at most
      c = b.at(at++);
    }
    tick += delta;
    int status = b.at(at);
    if (status & 0x80) ++at;
    else status = running;
    if (status == 0xFF) {
      const int type = b.at(at), length = b.at(at + 1);
      if (type == 0x51) file.tempo = static_cast<long>(bigEndian(b, at + 2, 3));
      else file.events.push_back({tick, status, type, length});
      at += 2 + length;
      running = -1;
      file.ended = type == 0x2F && at == end && end == b.size();
      continue;
    }
    if (status < 0) return file;
    file.events.push_back({tick, status, b.at(at), b.at(at + 1)});
    at += 2;
    running = status;
  }
  return file;
}

}  // namespace test_midi
