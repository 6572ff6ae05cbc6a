// Terminal byte sequences to keys: what xterm-like terminals and tmux send
// for each key the code tables name, clicks, UTF-8, and unfinished input.
#include "runtime/console/input_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace rt::console {
namespace {

// Decodes a whole byte string as if the terminal then went quiet; keys as
// {keyboard code, event code}, clicks as {-1000 - row, col}.
std::vector<std::pair<int, int>> DecodeAll(std::string_view bytes,
                                           DecoderOptions options = {}) {
  std::vector<std::pair<int, int>> out;
  while (!bytes.empty()) {
    InputEvent e;
    size_t used = 0;
    DecodeStatus st = DecodeInput(bytes, true, options, &e, &used);
    if (st == DecodeStatus::kIncomplete) st = DecodeInput(bytes, false, options, &e, &used);
    EXPECT_GT(used, 0u);
    if (used == 0) break;
    if (st == DecodeStatus::kEvent) {
      if (e.kind == InputEvent::kClick) {
        out.emplace_back(-1000 - e.row, e.col);
      } else {
        out.emplace_back(e.key.key_code, e.key.event_code);
      }
    }
    bytes.remove_prefix(used);
  }
  return out;
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::vector<std::pair<int, int>> codes;
};

TEST(InputDecoder, DecodesTheKeysOfBothTables) {
  const DecodeCase cases[] = {
      {"printable", "a~ ", {{'a', 'a'}, {'~', '~'}, {' ', ' '}}},
      {"backspace is DEL", "\x7f", {{8, 8}}},
      {"ctrl+backspace is ^H", "\x08", {{127, 0x8007F}}},
      {"alt+backspace stands in for ctrl+backspace", "\x1b\x7f", {{127, 0x8007F}}},
      {"enter as CR and LF", "\r\n", {{13, 13}, {13, 13}}},
      {"tab and shift+tab", "\t\x1b[Z", {{9, 9}, {271, 0x20009}}},
      {"lone escape", "\x1b", {{27, 27}}},
      {"arrows CSI", "\x1b[A\x1b[B\x1b[C\x1b[D",
       {{5, 0x10026}, {24, 0x10028}, {4, 0x10027}, {19, 0x10025}}},
      {"arrows SS3", "\x1bOA\x1bOD", {{5, 0x10026}, {19, 0x10025}}},
      {"ctrl+arrows", "\x1b[1;5C\x1b[1;5D\x1b[1;5A\x1b[1;5B",
       {{2, 0x90027}, {26, 0x90025}, {397, 0x90026}, {401, 0x90028}}},
      {"shift+arrow is the arrow", "\x1b[1;2A", {{5, 0x10026}}},
      {"home/end all forms", "\x1b[H\x1bOF\x1b[1~\x1b[4~\x1b[7~\x1b[8~",
       {{1, 0x10024}, {6, 0x10023}, {1, 0x10024}, {6, 0x10023}, {1, 0x10024}, {6, 0x10023}}},
      {"ctrl+home/end", "\x1b[1;5H\x1b[1;5F\x1b[1;5~\x1b[7^\x1b[8^",
       {{29, 0x90024}, {23, 0x90023}, {29, 0x90024}, {29, 0x90024}, {23, 0x90023}}},
      {"ins del pgup pgdn", "\x1b[2~\x1b[3~\x1b[5~\x1b[6~",
       {{22, 0x1002D}, {7, 0x1002E}, {18, 0x10021}, {3, 0x10022}}},
      {"ctrl+pgup/pgdn", "\x1b[5;5~\x1b[6;5~", {{31, 0x90021}, {30, 0x90022}}},
      {"function keys", "\x1bOP\x1b[15~\x1b[21~\x1b[24~\x1b[[B",
       {{28, 0x10070}, {-4, 0x10074}, {-9, 0x10079}, {-41, 0x1007B}, {-1, 0x10071}}},
      {"modify-other-keys ctrl+backspace", "\x1b[27;5;127~\x1b[127;5u",
       {{127, 0x8007F}, {127, 0x8007F}}},
      {"ctrl letters as their codes", "\x17\x14\x19\x15\x05",
       {{23, 23}, {20, 20}, {25, 25}, {21, 21}, {5, 0x10026}}},
      {"escape then a letter is two keys", "\x1bx", {{27, 27}, {'x', 'x'}}},
      {"UTF-8 to code page", "\xC3\xA9\xE2\x82\xAC", {{0xE9, 0xE9}, {0x80, 0x80}}},
      {"character outside the code page is dropped", "\xE2\x98\xBAz", {{'z', 'z'}}},
      {"latin-1 byte taken as is", "\xE9", {{0xE9, 0xE9}}},
      {"SGR left press, release ignored", "\x1b[<0;11;4M\x1b[<0;11;4m", {{-1003, 10}}},
      {"SGR right button and wheel ignored", "\x1b[<2;5;5M\x1b[<64;5;5M", {}},
      {"legacy mouse press", std::string("\x1b[M") + char(32) + char(33 + 4) + char(33 + 2),
       {{-1002, 4}}},
      {"unknown sequence skipped whole", "\x1b[99~q", {{'q', 'q'}}},
      {"NUL and ^\\ ignored", std::string("\0\x1c", 2) + "k", {{'k', 'k'}}},
  };
  for (const DecodeCase& c : cases) {
    EXPECT_EQ(DecodeAll(c.bytes), c.codes) << c.name;
  }
}

TEST(InputDecoder, AnyByteStringIsConsumedWithoutStalling) {
  // Random bytes weighted towards the ones sequences are made of; every
  // decode step must consume something once the terminal is quiet.
  std::mt19937 rng(12345);
  const std::string alphabet = std::string("\x1b[O;<~Mm0159AZu^$\x7f\x08\xC3\xE2\x82", 22) + "a";
  for (int i = 0; i < 20000; ++i) {
    std::string bytes;
    const int len = 1 + static_cast<int>(rng() % 12);
    for (int j = 0; j < len; ++j) {
      bytes.push_back(rng() % 4 == 0 ? static_cast<char>(rng() % 256)
                                     : alphabet[rng() % alphabet.size()]);
    }
    DecodeAll(bytes);
    if (HasFailure()) {
      ADD_FAILURE() << testing::PrintToString(bytes);
      return;
    }
  }
}

TEST(InputDecoder, EraseCharacterCtrlHSwapsBackspaceBytes) {
  DecoderOptions options;
  options.erase_is_ctrl_h = true;
  EXPECT_EQ(DecodeAll("\x08\x7f", options),
            (std::vector<std::pair<int, int>>{{8, 8}, {127, 0x8007F}}));
}

TEST(InputDecoder, WaitsForTheRestOfASequenceWhileMoreMayCome) {
  for (const char* start : {"\x1b", "\x1b[", "\x1b[1;5", "\x1bO", "\x1b[<0;1", "\xC3", "\x1b[M "}) {
    InputEvent e;
    size_t used = 0;
    EXPECT_EQ(DecodeInput(start, true, {}, &e, &used), DecodeStatus::kIncomplete)
        << testing::PrintToString(std::string(start));
  }
  // Once the terminal is quiet a cut sequence starts with a plain Esc.
  InputEvent e;
  size_t used = 0;
  ASSERT_EQ(DecodeInput("\x1b[1;5", false, {}, &e, &used), DecodeStatus::kEvent);
  EXPECT_EQ(e.key.key_code, 27);
  EXPECT_EQ(used, 1u);
}

}  // namespace
}  // namespace rt::console
