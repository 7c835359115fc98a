#include "probe.hpp"

#include <png.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace probe {

bool readPng(const std::string& path, Picture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.rgb.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  return true;
}

bool readSound(const std::string& path, std::vector<float>& samples) {
  samples.clear();
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".raw") == 0) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    samples.resize(bytes.size() / sizeof(float));
    std::copy_n(bytes.data(), samples.size() * sizeof(float), reinterpret_cast<char*>(samples.data()));
    return true;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return false;
  std::vector<float> frames(static_cast<std::size_t>(info.frames) * info.channels);
  sf_count_t got = sf_readf_float(file, frames.data(), info.frames);
  sf_close(file);
  samples.resize(static_cast<std::size_t>(got));
  for (sf_count_t i = 0; i < got; ++i) samples[i] = frames[static_cast<std::size_t>(i) * info.channels];
  return true;
}

bool writeSound(const std::string& path, const std::vector<float>& samples, int format, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  sf_count_t count = static_cast<sf_count_t>(samples.size());
  bool ok = sf_writef_float(file, samples.data(), count) == count;
  return sf_close(file) == 0 && ok;
}

double meanFrequency(const std::vector<float>& samples, std::size_t first, std::size_t count) {
  std::size_t end = std::min(samples.size(), first + count);
  std::vector<double> crossings;
  for (std::size_t i = first + 1; i < end; ++i) {
    double a = samples[i - 1], b = samples[i];
    if (a < 0.0 && b >= 0.0) crossings.push_back(static_cast<double>(i - 1) + a / (a - b));
  }
  if (crossings.size() < 3) return 0.0;
  return kSampleRate * static_cast<double>(crossings.size() - 1) / (crossings.back() - crossings.front());
}

double medianFrequency(const std::vector<float>& samples, std::size_t first, std::size_t count) {
  std::size_t end = std::min(samples.size(), first + count);
  std::vector<double> periods;
  double previous = -1.0;
  for (std::size_t i = first + 1; i < end; ++i) {
    double a = samples[i - 1], b = samples[i];
    if (!(a < 0.0 && b >= 0.0)) continue;
    double crossing = static_cast<double>(i - 1) + a / (a - b);
    if (previous >= 0.0) periods.push_back(crossing - previous);
    previous = crossing;
  }
  if (periods.size() < 3) return 0.0;
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  return kSampleRate / periods[periods.size() / 2];
}

double peakLevel(const std::vector<float>& samples, std::size_t first, std::size_t count) {
  double peak = 0.0;
  for (std::size_t i = first; i < std::min(samples.size(), first + count); ++i)
    peak = std::max(peak, std::fabs(static_cast<double>(samples[i])));
  return peak;
}

std::size_t firstAbove(const std::vector<float>& samples, double threshold, std::size_t from) {
  for (std::size_t i = from; i < samples.size(); ++i)
    if (std::fabs(static_cast<double>(samples[i])) > threshold) return i;
  return samples.size();
}

std::uint32_t aRowCellColour(float score) {
  auto grey = static_cast<std::uint32_t>(std::nearbyint(224.0 * (1.0 - static_cast<double>(score))));
  return grey << 16 | grey << 8 | grey;
}

bool readScores(const std::string& path, std::vector<std::string>& header, std::vector<ScoreRow>& rows) {
  std::ifstream in(path);
  std::string line;
  if (!std::getline(in, line)) return false;
  header.clear();
  std::istringstream names(line);
  for (std::string name; std::getline(names, name, ',');) header.push_back(name);
  rows.clear();
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string field;
    ScoreRow row;
    if (!std::getline(fields, field, ',')) return false;
    row.step = std::atoll(field.c_str());
    if (!std::getline(fields, field, ',')) return false;
    row.column = std::atoi(field.c_str());
    while (std::getline(fields, field, ',')) row.scores.push_back(std::strtof(field.c_str(), nullptr));
    if (row.scores.size() != 72) return false;
    rows.push_back(row);
  }
  return true;
}

}  // namespace probe
