#pragma once
// The keyboard as a polled snapshot of 256 keys, indexed by DirectInput key code.

#include <cstdint>

// Key codes name physical keys, whatever the layout.
inline constexpr int DIK_ESCAPE = 1;
inline constexpr int DIK_T = 20;
inline constexpr int DIK_RETURN = 28;
inline constexpr int DIK_A = 30;
inline constexpr int DIK_D = 32;
inline constexpr int DIK_SPACE = 57;
inline constexpr int DIK_NUMPAD7 = 71;       // keypad Home
inline constexpr int DIK_NUMPAD1 = 79;       // keypad End
inline constexpr int DIK_DECIMAL = 83;       // keypad Delete
inline constexpr int DIK_NUMPADENTER = 156;
inline constexpr int DIK_HOME = 199;
inline constexpr int DIK_END = 207;
inline constexpr int DIK_DELETE = 211;

inline constexpr int kKeyCount = 256;
inline constexpr std::uint8_t kKeyDownBit = 0x80;

using KeyStates = std::uint8_t[kKeyCount];

// Where a keyboard snapshot comes from: the window system, a script, a test.
class KeySource {
 public:
  virtual ~KeySource() = default;
  virtual void acquire() {}
  // Fills all 256 states; false when no state can be had now (no focus).
  virtual bool readState(KeyStates& keys) = 0;
  virtual void unacquire() {}
};

class KeyboardDevice {
 public:
  explicit KeyboardDevice(KeySource& source);
  // Takes this frame step's snapshot; every key reads up when none can be had.
  void poll();
  bool isKeyDown(int code) const;
  // Whether the last poll's snapshot differs from the one before it.
  bool changed() const { return changed_; }
  void release();

 private:
  KeySource* source_;
  KeyStates keys_ = {};
  bool changed_ = false;
};
