// The key-script notation: what each piece queues, and what it rejects.
#include "runtime/console/key_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rt::console {
namespace {

// {keyboard code, event code} of each key; clicks as {-1000 - row, col}.
std::vector<std::pair<int, int>> Codes(const std::vector<InputEvent>& events) {
  std::vector<std::pair<int, int>> out;
  for (const InputEvent& e : events) {
    if (e.kind == InputEvent::kClick) {
      out.emplace_back(-1000 - e.row, e.col);
    } else {
      out.emplace_back(e.key.key_code, e.key.event_code);
    }
  }
  return out;
}

struct ScriptCase {
  const char* script;
  std::vector<std::pair<int, int>> codes;
};

TEST(KeyScript, QueuesTheCodesOfBothCodeSpaces) {
  const ScriptCase cases[] = {
      {"", {}},
      {"aZ 9", {{'a', 'a'}, {'Z', 'Z'}, {' ', ' '}, {'9', '9'}}},
      {"{ENTER}{ESC}", {{13, 13}, {27, 27}}},
      {"{UP}{DOWN}{LEFT}{RIGHT}",
       {{5, 0x10026}, {24, 0x10028}, {19, 0x10025}, {4, 0x10027}}},
      {"{HOME}{END}{PGUP}{PGDN}",
       {{1, 0x10024}, {6, 0x10023}, {18, 0x10021}, {3, 0x10022}}},
      {"{INS}{DEL}{BS}{TAB}{SHIFT+TAB}",
       {{22, 0x1002D}, {7, 0x1002E}, {8, 8}, {9, 9}, {271, 0x20009}}},
      {"{CTRL+HOME}{CTRL+END}{CTRL+LEFT}{CTRL+RIGHT}{CTRL+BS}",
       {{29, 0x90024}, {23, 0x90023}, {26, 0x90025}, {2, 0x90027}, {127, 0x8007F}}},
      {"{CTRL+W}{CTRL+T}{CTRL+Y}{CTRL+U}", {{23, 23}, {20, 20}, {25, 25}, {21, 21}}},
      // Names in any case, blanks inside the braces allowed.
      {"{enter}{ Shift+Tab }", {{13, 13}, {271, 0x20009}}},
      {"{{}x}", {{'{', '{'}, {'x', 'x'}, {'}', '}'}}},
      {"{CLICK 3 17}{click  0 0}", {{-1003, 17}, {-1000, 0}}},
      // {KEY n} is the usual key of keyboard code n.
      {"{KEY 5}{KEY 23}{KEY 127}{KEY 271}{KEY 65}{KEY -1}{KEY 300}",
       {{5, 0x10026}, {23, 23}, {127, 0x8007F}, {271, 0x20009}, {65, 65},
        {-1, 0x10071}, {300, 300}}},
      // Control characters typed literally.
      {"a\tb\n", {{'a', 'a'}, {9, 9}, {'b', 'b'}, {13, 13}}},
      // UTF-8 becomes code-page bytes; a lone high byte is one already.
      {"\xC3\xA9\xE2\x82\xAC\xE9", {{0xE9, 0xE9}, {0x80, 0x80}, {0xE9, 0xE9}}},
  };
  for (const ScriptCase& c : cases) {
    std::vector<InputEvent> events;
    std::string error;
    ASSERT_TRUE(ParseKeyScript(c.script, &events, &error)) << c.script << ": " << error;
    EXPECT_EQ(Codes(events), c.codes) << c.script;
  }
}

TEST(KeyScript, RejectsBadScriptsWithTheOffendingPieceAndQueuesNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"ab{ENTER", "unterminated '{' at offset 2"},
      {"{ENT{ER}", "unterminated '{' at offset 0"},
      {"x{FOO}", "unknown key name {FOO} at offset 1"},
      {"{}", "empty key name {} at offset 0"},
      {"{CLICK 3}", "{CLICK row col} needs two numbers"},
      {"{CLICK -1 2}", "{CLICK row col} needs two numbers"},
      {"{CLICK a b}", "{CLICK row col} needs two numbers"},
      {"{KEY}", "{KEY n} needs one non-zero keyboard code"},
      {"{KEY 0}", "{KEY n} needs one non-zero keyboard code"},
      {"{KEY 12x}", "{KEY n} needs one non-zero keyboard code"},
      {"a\x01", "control character 1 at offset 1"},
      {"\xE2\x98\xBA", "character U+263A at offset 0 has no code-page byte"},
  };
  for (const auto& [script, message] : cases) {
    std::vector<InputEvent> events{InputEvent::OfKey(CharKey('q'))};
    std::string error;
    EXPECT_FALSE(ParseKeyScript(script, &events, &error)) << script;
    EXPECT_NE(error.find(message), std::string::npos) << script << " -> " << error;
    EXPECT_EQ(events.size(), 1u) << script;
  }
}

}  // namespace
}  // namespace rt::console
