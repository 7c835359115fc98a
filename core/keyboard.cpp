#include "core/keyboard.hpp"

#include <cstring>

KeyboardDevice::KeyboardDevice(KeySource& source) : source_(&source) {
  source_->acquire();
}

void KeyboardDevice::poll() {
  KeyStates before;
  std::memcpy(before, keys_, sizeof keys_);
  if (source_ == nullptr || !source_->readState(keys_)) {
    if (source_ != nullptr) source_->acquire();
    std::memset(keys_, 0, sizeof keys_);
  }
  changed_ = std::memcmp(before, keys_, sizeof keys_) != 0;
}

bool KeyboardDevice::isKeyDown(int code) const {
  if (code < 0 || code >= kKeyCount) return false;
  return (keys_[code] & kKeyDownBit) != 0;
}

void KeyboardDevice::release() {
  if (source_ != nullptr) source_->unacquire();
  source_ = nullptr;
}
