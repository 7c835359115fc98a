#include "io/replay_events.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

bool parseText(const std::string& text, std::vector<ReplayEvent>& events, std::string& reason) {
  std::istringstream in(text);
  return parseReplayEvents(in, "ev.txt", events, reason);
}

TEST(ReplayEvents, EveryKindOfLineWithCommentsAndBlanks) {
  std::vector<ReplayEvent> events;
  std::string reason;
  ASSERT_TRUE(parseText("# a script\n"
                        "\n"
                        "0 key RETURN down   # freeze\n"
                        "  0 move 300 237\n"
                        "5 button right down\n"
                        "5 key 57 up\n"
                        "7\tbutton left up\n"
                        "9 close\n",
                        events, reason))
      << reason;
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].kind, ReplayEvent::KeyDown);
  EXPECT_EQ(events[0].keyCode, 28);
  EXPECT_EQ(events[1].window.kind, WindowEvent::PointerMove);
  EXPECT_EQ(events[1].window.x, 300);
  EXPECT_EQ(events[1].window.y, 237);
  EXPECT_EQ(events[1].window.clientWidth, 640);
  EXPECT_EQ(events[2].step, 5);
  EXPECT_EQ(events[2].window.kind, WindowEvent::RightDown);
  EXPECT_EQ(events[3].kind, ReplayEvent::KeyUp);
  EXPECT_EQ(events[3].keyCode, 57);
  EXPECT_EQ(events[4].window.kind, WindowEvent::LeftUp);
  EXPECT_EQ(events[5].step, 9);
  EXPECT_EQ(events[5].window.kind, WindowEvent::CloseRequest);
}

TEST(ReplayEvents, KeyNamesAndCodes) {
  const std::pair<const char*, int> names[] = {{"ESCAPE", 1}, {"RETURN", 28}, {"SPACE", 57},
                                               {"HOME", 199}, {"END", 207},   {"DELETE", 211},
                                               {"NUMPADENTER", 156}, {"A", 30}, {"D", 32}, {"T", 20}};
  for (auto [name, code] : names) EXPECT_EQ(keyCodeForName(name), code) << name;
  EXPECT_EQ(keyCodeForName("return"), -1);  // names are upper case, as listed
  std::vector<ReplayEvent> events;
  std::string reason;
  ASSERT_TRUE(parseText("0 key 0 down\n0 key 255 up\n", events, reason)) << reason;
  EXPECT_EQ(events[1].keyCode, 255);
}

TEST(ReplayEvents, MalformedLinesNameFileAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"0 close\nx close\n", "ev.txt:2: step 'x' is not a whole number"},
      {"-1 close\n", "ev.txt:1: step '-1'"},
      {"5 close\n4 close\n", "ev.txt:2: step 4 comes after step 5"},
      {"3\n", "ev.txt:1: step 3 has no event"},
      {"0 jump\n", "ev.txt:1: unknown event 'jump'"},
      {"0 close now\n", "ev.txt:1: 'close' takes 0 arguments, not 1"},
      {"0 key RETURN\n", "ev.txt:1: 'key' takes 2 arguments, not 1"},
      {"0 key return down\n", "ev.txt:1: unknown key 'return'"},
      {"0 key 256 down\n", "ev.txt:1: unknown key '256'"},
      {"0 key SPACE pressed\n", "ev.txt:1: expected down or up"},
      {"0 button middle down\n", "ev.txt:1: unknown button 'middle'"},
      {"0 move 640 10\n", "ev.txt:1: pointer position '640 10' is not inside"},
      {"0 move 10 480\n", "ev.txt:1: pointer position"},
      {"0 move -1 10\n", "ev.txt:1: pointer position"},
      {"0 move 1.5 10\n", "ev.txt:1: pointer position"},
      {"\n\n# only comments\n2 move 1 1 1\n", "ev.txt:4: 'move' takes 2 arguments, not 3"},
  };
  for (auto [text, expected] : cases) {
    std::vector<ReplayEvent> events;
    std::string reason;
    EXPECT_FALSE(parseText(text, events, reason)) << text;
    EXPECT_EQ(reason.rfind(expected, 0), 0u) << "got: " << reason;
  }
}

TEST(ReplayEvents, LineEndingsByteOrderMarkAndLeadingZeros) {
  const char* texts[] = {
      "0 key RETURN down\n00000000002 key RETURN up\n",
      "0 key RETURN down\r\n2 key RETURN up\r\n",
      "0 key RETURN down\r2 key RETURN up\r",
      "\xEF\xBB\xBF" "0 key RETURN down\n2 key RETURN up",
  };
  for (const char* text : texts) {
    std::vector<ReplayEvent> events;
    std::string reason;
    ASSERT_TRUE(parseText(text, events, reason)) << reason;
    ASSERT_EQ(events.size(), 2u) << text;
    EXPECT_EQ(events[1].step, 2);
    EXPECT_EQ(events[1].kind, ReplayEvent::KeyUp);
  }
  std::vector<ReplayEvent> events;
  std::string reason;
  EXPECT_FALSE(parseText("0 close\n\xEF\xBB\xBF" "1 close\n", events, reason));  // only a file starts with it
  EXPECT_EQ(reason, "ev.txt:2: step '\\xEF\\xBB\\xBF1' is not a whole number from 0 to 2147483647");
  EXPECT_FALSE(parseText("0 key \x01 down\n", events, reason));
  EXPECT_EQ(reason.rfind("ev.txt:1: unknown key '\\x01'", 0), 0u) << reason;
  EXPECT_FALSE(parseText(std::string("0 close\n1 cl\0se\n", 17), events, reason));
  EXPECT_EQ(reason, "ev.txt:2: not a text line (it holds a NUL byte)");
}

// Never ends and never breaks a line, like a device: the parser must stop by itself.
class EndlessBytes : public std::streambuf {
 public:
  std::size_t served = 0;

 protected:
  int_type underflow() override {
    std::fill(std::begin(chunk_), std::end(chunk_), '7');
    served += sizeof chunk_;
    setg(chunk_, chunk_, chunk_ + sizeof chunk_);
    return traits_type::to_int_type(chunk_[0]);
  }

 private:
  char chunk_[256];
};

TEST(ReplayEvents, ALongLineIsRefusedWithoutReadingTheRest) {
  EndlessBytes endless;
  std::istream in(&endless);
  std::vector<ReplayEvent> events;
  std::string reason;
  EXPECT_FALSE(parseReplayEvents(in, "ev.txt", events, reason));
  EXPECT_EQ(reason, "ev.txt:1: line longer than 4096 bytes");
  EXPECT_LE(endless.served, 4096u + 256u);
  EXPECT_TRUE(parseText("0 close " + std::string(4088, ' ') + "\n", events, reason)) << reason;  // 4096 exactly
  EXPECT_FALSE(parseText("0 close " + std::string(4089, ' ') + "\n", events, reason));
}

}  // namespace
