// The named-key table and the mapping from keyboard codes to keys.
#include "runtime/console/keys.h"

#include <iterator>

namespace rt::console {
namespace {

// Virtual-key numbers the event codes are built on.
constexpr int kVkTab = 0x09;
constexpr int kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23, kVkHome = 0x24;
constexpr int kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28;
constexpr int kVkInsert = 0x2D, kVkDelete = 0x2E, kVkF1 = 0x70;
constexpr int kVkBack = 0x7F;

constexpr int kPlain = 0x10000;
constexpr int kShift = 0x20000;
constexpr int kCtrl = 0x80000;

constexpr NamedKey kNamedKeys[] = {
    // The key-script notation.
    {"ENTER", {13, 13}},
    {"ESC", {27, 27}},
    {"UP", {5, kPlain | kVkUp}},
    {"DOWN", {24, kPlain | kVkDown}},
    {"LEFT", {19, kPlain | kVkLeft}},
    {"RIGHT", {4, kPlain | kVkRight}},
    {"HOME", {1, kPlain | kVkHome}},
    {"END", {6, kPlain | kVkEnd}},
    {"PGUP", {18, kPlain | kVkPrior}},
    {"PGDN", {3, kPlain | kVkNext}},
    {"INS", {22, kPlain | kVkInsert}},
    {"DEL", {7, kPlain | kVkDelete}},
    {"BS", {8, 8}},
    {"TAB", {9, 9}},
    {"SHIFT+TAB", {271, kShift | kVkTab}},
    {"CTRL+HOME", {29, kCtrl | kPlain | kVkHome}},
    {"CTRL+END", {23, kCtrl | kPlain | kVkEnd}, /*usual=*/false},
    {"CTRL+LEFT", {26, kCtrl | kPlain | kVkLeft}},
    {"CTRL+RIGHT", {2, kCtrl | kPlain | kVkRight}},
    {"CTRL+BS", {127, kCtrl | kVkBack}},
    {"CTRL+W", {23, 23}},
    {"CTRL+T", {20, 20}},
    {"CTRL+Y", {25, 25}},
    {"CTRL+U", {21, 21}},
    // Further keys a terminal can send.
    {"CTRL+PGUP", {31, kCtrl | kPlain | kVkPrior}},
    {"CTRL+PGDN", {30, kCtrl | kPlain | kVkNext}},
    {"CTRL+UP", {397, kCtrl | kPlain | kVkUp}},
    {"CTRL+DOWN", {401, kCtrl | kPlain | kVkDown}},
    {"F1", {28, kPlain | (kVkF1 + 0)}},
    {"F2", {-1, kPlain | (kVkF1 + 1)}},
    {"F3", {-2, kPlain | (kVkF1 + 2)}},
    {"F4", {-3, kPlain | (kVkF1 + 3)}},
    {"F5", {-4, kPlain | (kVkF1 + 4)}},
    {"F6", {-5, kPlain | (kVkF1 + 5)}},
    {"F7", {-6, kPlain | (kVkF1 + 6)}},
    {"F8", {-7, kPlain | (kVkF1 + 7)}},
    {"F9", {-8, kPlain | (kVkF1 + 8)}},
    {"F10", {-9, kPlain | (kVkF1 + 9)}},
    {"F11", {-40, kPlain | (kVkF1 + 10)}},
    {"F12", {-41, kPlain | (kVkF1 + 11)}},
};

}  // namespace

std::span<const NamedKey> NamedKeys() { return kNamedKeys; }

const NamedKey* FindNamedKey(std::string_view name) {
  for (const NamedKey& k : kNamedKeys) {
    if (name == k.name) return &k;
  }
  return nullptr;
}

Key KeyFromKeyboardCode(int code) {
  for (const NamedKey& k : kNamedKeys) {
    if (k.usual && k.key.key_code == code) return k.key;
  }
  if (code >= 1 && code < kEventPlatformBase) return Key{code, code};
  return Key{code, 0};
}

}  // namespace rt::console
