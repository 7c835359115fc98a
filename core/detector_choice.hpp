#pragma once
// Which detector scores the rows. A third is one more value here, its name below and its
// row in analysis/detect.cpp.

enum class Detector { Design, Precise };
inline constexpr int kDetectorCount = 2;
// As --detector, the settings file and the manual name them, in the enum's order.
inline constexpr const char* kDetectorNames[kDetectorCount] = {"design", "precise"};

// The key D steps through them in order, back to the first.
constexpr Detector nextDetector(Detector detector) {
  return static_cast<Detector>((static_cast<int>(detector) + 1) % kDetectorCount);
}
