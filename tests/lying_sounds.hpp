#pragma once
// Sound files whose headers lie about their length, made from true ones: libsndfile
// writes the file, then the field that gives the length is patched.

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lying {

using Bytes = std::vector<unsigned char>;

inline Bytes readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline bool writeBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Mono samples at `rate` (44100 Hz unless given) in a libsndfile format.
inline bool writeTrue(const std::string& path, const std::vector<float>& samples, int format, int rate = 44100) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const bool written = sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size())) ==
                       static_cast<sf_count_t>(samples.size());
  return sf_close(file) == 0 && written;
}

// A 16-bit WAV of `frames` frames of silence, sparse on disk: a long input that costs nothing.
inline bool sparseSilence(const std::string& path, std::uint32_t frames) {
  if (!writeTrue(path, {0.0f}, SF_FORMAT_WAV | SF_FORMAT_PCM_16)) return false;
  Bytes header = readBytes(path);
  const std::uint32_t dataBytes = 2 * frames;
  for (int i = 0; i < 4; ++i) {
    header[4 + i] = static_cast<unsigned char>((36 + dataBytes) >> (8 * i));  // RIFF size
    header[40 + i] = static_cast<unsigned char>(dataBytes >> (8 * i));       // data size
  }
  std::error_code error;
  return writeBytes(path, header) && (std::filesystem::resize_file(path, 44 + std::uintmax_t{dataBytes}, error), !error);
}

// Makes a FLAC file's STREAMINFO say "total samples unknown" (0), as a streaming encoder leaves it.
inline bool forgetFlacLength(const std::string& path) {
  Bytes bytes = readBytes(path);
  constexpr std::size_t kTotalSamplesAt = 21;  // "fLaC", the block header, then 36 bits ending at byte 25
  if (bytes.size() < 26 || std::string(bytes.begin(), bytes.begin() + 4) != "fLaC") return false;
  bytes[kTotalSamplesAt] &= 0xF0;
  for (std::size_t i = kTotalSamplesAt + 1; i < 26; ++i) bytes[i] = 0;
  return writeBytes(path, bytes);
}

inline bool flacOfUnknownLengthAt(const std::string& path, const std::vector<float>& samples, int rate) {
  return writeTrue(path, samples, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, rate) && forgetFlacLength(path);
}
inline bool flacOfUnknownLength(const std::string& path, const std::vector<float>& samples) {
  return flacOfUnknownLengthAt(path, samples, 44100);
}

// 16-bit WAV whose data chunk claims some 2 GB more than the file holds.
inline bool wavClaimingMoreAt(const std::string& path, const std::vector<float>& samples, int rate) {
  if (!writeTrue(path, samples, SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate)) return false;
  Bytes bytes = readBytes(path);
  constexpr std::size_t kDataSizeAt = 40;  // RIFF (12), fmt (24), then "data" and its size
  if (bytes.size() < 44 || std::string(bytes.begin() + 36, bytes.begin() + 40) != "data") return false;
  const std::uint32_t claimed = 0x7FFFFFF0;
  for (int i = 0; i < 4; ++i) bytes[kDataSizeAt + i] = static_cast<unsigned char>(claimed >> (8 * i));
  return writeBytes(path, bytes);
}
inline bool wavClaimingMore(const std::string& path, const std::vector<float>& samples) {
  return wavClaimingMoreAt(path, samples, 44100);
}

// The Ogg page checksum: CRC-32, polynomial 0x04C11DB7, not reflected, over the page with its field zeroed.
inline std::uint32_t oggCrc(const unsigned char* page, std::size_t length) {
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= static_cast<std::uint32_t>(page[i]) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// Ogg Vorbis whose last page puts its end at sample 2^63 - 1.
inline bool oggClaimingForever(const std::string& path, const std::vector<float>& samples) {
  if (!writeTrue(path, samples, SF_FORMAT_OGG | SF_FORMAT_VORBIS)) return false;
  Bytes bytes = readBytes(path);
  constexpr std::size_t kGranuleAt = 6, kCrcAt = 22, kSegmentsAt = 26, kPageHeader = 27;
  std::size_t last = bytes.size(), length = 0;
  for (std::size_t at = 0; at + kPageHeader <= bytes.size() && std::string(&bytes[at], &bytes[at] + 4) == "OggS";) {
    const std::size_t segments = bytes[at + kSegmentsAt];
    length = kPageHeader + segments;
    for (std::size_t s = 0; s < segments; ++s) length += bytes[at + kPageHeader + s];
    last = at;
    at += length;
  }
  if (last == bytes.size() || last + length != bytes.size()) return false;
  const std::uint64_t forever = 0x7FFFFFFFFFFFFFFFull;
  for (int i = 0; i < 8; ++i) bytes[last + kGranuleAt + i] = static_cast<unsigned char>(forever >> (8 * i));
  for (int i = 0; i < 4; ++i) bytes[last + kCrcAt + i] = 0;
  const std::uint32_t crc = oggCrc(&bytes[last], length);
  for (int i = 0; i < 4; ++i) bytes[last + kCrcAt + i] = static_cast<unsigned char>(crc >> (8 * i));
  return writeBytes(path, bytes);
}

// MP3 whose Xing header counts 13.9 million MPEG frames (16e9 samples, some 100 hours).
inline bool mp3ClaimingMore(const std::string& path, const std::vector<float>& samples) {
  if (!writeTrue(path, samples, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III)) return false;
  Bytes bytes = readBytes(path);
  const std::string text(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 256)));
  std::size_t tag = text.find("Xing");
  if (tag == std::string::npos) tag = text.find("Info");
  constexpr unsigned char kFramesFlag = 1;
  if (tag == std::string::npos || tag + 12 > bytes.size() || (bytes[tag + 7] & kFramesFlag) == 0) return false;
  const std::uint32_t frames = 13900000;
  for (int i = 0; i < 4; ++i) bytes[tag + 8 + i] = static_cast<unsigned char>(frames >> (8 * (3 - i)));
  return writeBytes(path, bytes);
}

// Every sample libsndfile decodes from a mono file, read until it says the data ends.
inline std::vector<float> decodeAll(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  std::vector<float> mono;
  if (file == nullptr) return mono;
  std::vector<float> chunk(4096 * static_cast<std::size_t>(info.channels));
  for (sf_count_t got; (got = sf_readf_float(file, chunk.data(), 4096)) > 0;)
    for (sf_count_t frame = 0; frame < got; ++frame) mono.push_back(chunk[static_cast<std::size_t>(frame * info.channels)]);
  sf_close(file);
  return mono;
}

using Maker = bool (*)(const std::string&, const std::vector<float>&);

struct Case {
  const char* what;
  const char* name;  // the file's name, whose extension libsndfile does not need
  Maker make;
};

// Every lie the tests tell.
inline constexpr Case kCases[] = {
    {"FLAC of unknown length", "unknown.flac", flacOfUnknownLength},
    {"WAV whose data passes its end", "long.wav", wavClaimingMore},
    {"Ogg that ends at 2^63 - 1", "forever.ogg", oggClaimingForever},
    {"MP3 of 16e9 samples", "huge.mp3", mp3ClaimingMore},
};

}  // namespace lying
