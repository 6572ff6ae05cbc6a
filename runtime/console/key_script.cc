// The key-script parser.
#include "runtime/console/key_script.h"

#include <cctype>
#include <charconv>
#include <cstdio>

#include "runtime/console/cp1252.h"

namespace rt::console {
namespace {

constexpr int kMaxClickCoordinate = 9999;

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

std::vector<std::string> Words(std::string_view s) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    const size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
    if (i > start) words.emplace_back(s.substr(start, i - start));
  }
  return words;
}

bool ParseInt(const std::string& text, int* value) {
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (begin != end && *begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, *value);
  return ec == std::errc() && ptr == end && begin != end;
}

std::string At(size_t offset) { return " at offset " + std::to_string(offset); }

// One {...} item; `body` is the text between the braces.
bool ParseBraced(std::string_view body, size_t offset, std::vector<InputEvent>* out,
                 std::string* error) {
  std::string upper = Trim(body);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::vector<std::string> words = Words(upper);
  if (words.empty()) {
    *error = "empty key name {}" + At(offset);
    return false;
  }
  if (words[0] == "CLICK") {
    int row = 0, col = 0;
    if (words.size() != 3 || !ParseInt(words[1], &row) || !ParseInt(words[2], &col) ||
        row < 0 || col < 0 || row > kMaxClickCoordinate || col > kMaxClickCoordinate) {
      *error = "{CLICK row col} needs two numbers from 0 to 9999, got {" +
               std::string(body) + "}" + At(offset);
      return false;
    }
    out->push_back(InputEvent::Click(row, col));
    return true;
  }
  if (words[0] == "KEY") {
    int code = 0;
    if (words.size() != 2 || !ParseInt(words[1], &code) || code == 0) {
      *error = "{KEY n} needs one non-zero keyboard code, got {" + std::string(body) +
               "}" + At(offset);
      return false;
    }
    out->push_back(InputEvent::OfKey(KeyFromKeyboardCode(code)));
    return true;
  }
  const NamedKey* named = words.size() == 1 ? FindNamedKey(words[0]) : nullptr;
  if (named == nullptr) {
    *error = "unknown key name {" + std::string(body) + "}" + At(offset) +
             " (write a literal brace as {{})";
    return false;
  }
  out->push_back(InputEvent::OfKey(named->key));
  return true;
}

}  // namespace

bool ParseKeyScript(std::string_view script, std::vector<InputEvent>* out,
                    std::string* error) {
  std::vector<InputEvent> events;
  size_t i = 0;
  while (i < script.size()) {
    const char c = script[i];
    if (c == '{') {
      if (script.substr(i, 3) == "{{}") {
        events.push_back(InputEvent::OfKey(CharKey('{')));
        i += 3;
        continue;
      }
      const size_t close = script.find('}', i + 1);
      const size_t nested = script.find('{', i + 1);
      if (close == std::string_view::npos || nested < close) {
        *error = "unterminated '{'" + At(i) + " (write a literal brace as {{})";
        return false;
      }
      if (!ParseBraced(script.substr(i + 1, close - i - 1), i, &events, error)) {
        return false;
      }
      i = close + 1;
      continue;
    }
    if (c == '\t') {
      events.push_back(InputEvent::OfKey(FindNamedKey("TAB")->key));
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      events.push_back(InputEvent::OfKey(FindNamedKey("ENTER")->key));
      ++i;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) {
      *error = "control character " + std::to_string(byte) + At(i) +
               " in a key script; write it as {KEY " + std::to_string(byte) + "}";
      return false;
    }
    // UTF-8 text becomes the code page's bytes; a byte that starts no UTF-8
    // sequence is taken as a code-page byte already.
    char32_t cp = 0;
    const int len = DecodeUtf8(script.substr(i), &cp);
    if (len > 1) {
      const int b = UnicodeToCp1252(cp);
      if (b < 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(cp));
        *error = std::string("character ") + hex + At(i) + " has no code-page byte";
        return false;
      }
      events.push_back(InputEvent::OfKey(CharKey(static_cast<unsigned char>(b))));
      i += static_cast<size_t>(len);
      continue;
    }
    events.push_back(InputEvent::OfKey(CharKey(byte)));
    ++i;
  }
  out->insert(out->end(), events.begin(), events.end());
  return true;
}

}  // namespace rt::console
