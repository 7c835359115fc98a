#include "io/replay_events.hpp"

#include <sstream>
#include <utility>

#include "core/constants.hpp"
#include "core/keyboard.hpp"
#include "core/whole_number.hpp"

namespace {

constexpr std::size_t kLongestLine = 4096;  // anything longer is not an events line

const std::pair<const char*, int> kKeyNames[] = {
    {"ESCAPE", DIK_ESCAPE}, {"RETURN", DIK_RETURN}, {"SPACE", DIK_SPACE},   {"HOME", DIK_HOME},
    {"END", DIK_END},       {"DELETE", DIK_DELETE}, {"NUMPADENTER", DIK_NUMPADENTER},
    {"A", DIK_A},           {"D", DIK_D},           {"T", DIK_T},
};

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";  // some editors start UTF-8 text with it

// A word as a message quotes it: bytes that would not show are written \xNN.
std::string shown(const std::string& word) {
  std::string out;
  for (unsigned char c : word) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      continue;
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
  }
  return out;
}

enum class LineRead { Line, End, TooLong, NotText };

// One line ended by LF, CR LF or CR alone; stops reading as soon as the line is too long.
LineRead readLine(std::istream& in, std::string& line) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  for (;;) {
    int c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) return line.empty() ? LineRead::End : LineRead::Line;
    if (c == '\n') return LineRead::Line;
    if (c == '\r') {
      if (buffer->sgetc() == '\n') buffer->sbumpc();
      return LineRead::Line;
    }
    if (c == '\0') return LineRead::NotText;
    if (line.size() == kLongestLine) return LineRead::TooLong;
    line += static_cast<char>(c);
  }
}

std::vector<std::string> splitWords(const std::string& line) {
  std::istringstream words(line);
  std::vector<std::string> out;
  for (std::string word; words >> word;) out.push_back(word);
  return out;
}

bool parseDirection(const std::string& word, bool& down) {
  if (word == "down") down = true;
  else if (word == "up") down = false;
  else return false;
  return true;
}

// Fills `event` from the words after the step; false with what is wrong.
bool parseAction(const std::vector<std::string>& words, ReplayEvent& event, std::string& what) {
  const std::string& verb = words[1];
  std::size_t wanted = verb == "close" ? 2 : (verb == "key" || verb == "move" || verb == "button") ? 4 : 0;
  if (wanted == 0) {
    what = "unknown event '" + shown(verb) + "' (key, move, button or close)";
    return false;
  }
  if (words.size() != wanted) {
    what = std::string("'").append(shown(verb)).append("' takes ");
    what += std::to_string(wanted - 2) + " arguments, not " + std::to_string(words.size() - 2);
    return false;
  }
  if (verb == "close") {
    event.kind = ReplayEvent::Window;
    event.window.kind = WindowEvent::CloseRequest;
    return true;
  }
  if (verb == "move") {
    long long x = 0, y = 0;
    if (!parseWhole(words[2], 0, kPictureWidth - 1, x) || !parseWhole(words[3], 0, kPictureHeight - 1, y)) {
      what = "pointer position '" + shown(words[2]) + " " + shown(words[3]) + "' is not inside the 640x480 client area";
      return false;
    }
    event.kind = ReplayEvent::Window;
    event.window.kind = WindowEvent::PointerMove;
    event.window.x = static_cast<int>(x);
    event.window.y = static_cast<int>(y);
    return true;
  }
  bool down = false;
  if (!parseDirection(words[3], down)) {
    what = "expected down or up, not '" + shown(words[3]) + "'";
    return false;
  }
  if (verb == "button") {
    event.kind = ReplayEvent::Window;
    if (words[2] == "left") event.window.kind = down ? WindowEvent::LeftDown : WindowEvent::LeftUp;
    else if (words[2] == "right") event.window.kind = down ? WindowEvent::RightDown : WindowEvent::RightUp;
    else {
      what = "unknown button '" + shown(words[2]) + "' (left or right)";
      return false;
    }
    return true;
  }
  int code = keyCodeForName(words[2]);
  long long number = 0;
  if (code < 0 && parseWhole(words[2], 0, kKeyCount - 1, number)) code = static_cast<int>(number);
  if (code < 0) {
    what = "unknown key '" + shown(words[2]) + "' (ESCAPE RETURN SPACE HOME END DELETE NUMPADENTER A D T or a code 0..255)";
    return false;
  }
  event.kind = down ? ReplayEvent::KeyDown : ReplayEvent::KeyUp;
  event.keyCode = code;
  return true;
}

}  // namespace

int keyCodeForName(const std::string& name) {
  for (const auto& [keyName, code] : kKeyNames)
    if (name == keyName) return code;
  return -1;
}

ReplayEventReader::Got ReplayEventReader::next(ReplayEvent& event, std::string& reason) {
  for (;;) {
    ++line_;
    auto fail = [&](const std::string& what) {
      reason = name_ + ":" + std::to_string(line_) + ": " + what;
      return Got::Error;
    };
    LineRead got = in_.rdbuf() != nullptr ? readLine(in_, text_) : LineRead::End;
    if (got == LineRead::End) return Got::End;
    if (got == LineRead::TooLong) return fail("line longer than " + std::to_string(kLongestLine) + " bytes");
    if (got == LineRead::NotText) return fail("not a text line (it holds a NUL byte)");
    if (line_ == 1 && text_.rfind(kByteOrderMark, 0) == 0) text_.erase(0, sizeof kByteOrderMark - 1);
    auto comment = text_.find('#');
    if (comment != std::string::npos) text_.erase(comment);
    std::vector<std::string> words = splitWords(text_);
    if (words.empty()) continue;
    event = ReplayEvent{};
    if (!parseWhole(words[0], 0, kLastStep, event.step))
      return fail("step '" + shown(words[0]) + "' is not a whole number from 0 to " + std::to_string(kLastStep));
    if (event.step < lastStep_)
      return fail("step " + words[0] + " comes after step " + std::to_string(lastStep_) + ": steps never decrease");
    if (words.size() < 2) return fail("step " + words[0] + " has no event");
    std::string what;
    if (!parseAction(words, event, what)) return fail(what);
    lastStep_ = event.step;
    return Got::Event;
  }
}

bool parseReplayEvents(std::istream& in, const std::string& name, std::vector<ReplayEvent>& events,
                       std::string& reason) {
  events.clear();
  ReplayEventReader reader(in, name);
  for (ReplayEvent event;;) {
    switch (reader.next(event, reason)) {
      case ReplayEventReader::Got::Event: events.push_back(event); break;
      case ReplayEventReader::Got::End: return true;
      case ReplayEventReader::Got::Error: return false;
    }
  }
}
