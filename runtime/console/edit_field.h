// The editing logic of an edit field: a fixed-width text buffer laid out by a
// picture template, a cursor that moves over the editable positions only, and
// the conversions between a value (character, numeric, date, logical) and the
// buffer.  No screen is involved: the GET class (get_class.h) wraps this and
// draws the buffer through the console.
//
// Pictures.  A picture is an optional function part followed by a template:
// "@!" or "@R 999-99" or "99/99".  Function flags (after "@", up to the first
// blank): "!" turns every typed letter to upper case, "R" keeps the template's
// literal characters out of a character value (they are shown only), "K"
// clears the field when the first key typed after taking the focus is typed on
// its first position.  Template characters:
//   9  a digit (in a numeric field also "-" and a blank before the decimal point)
//   #  a digit, a blank, "+" or "-"
//   A  a letter          N  a letter or a digit       X  any character
//   !  any character, letters turned to upper case
//   L  a logical: T, F, Y or N typed in either case (shown upper case)
//   Y  a logical shown as Y or N (T and F are accepted too)
// In a numeric field "." is the decimal point and "," a thousands separator
// (shown only when a digit stands to its left).  Every other template
// character, lower-case letters included, is a literal: shown, skipped by
// the cursor, never typed over.
// A blank may be typed on any position that is not a logical one.
//
// Default templates when the picture gives none: a character value gets one
// "X" per character; a numeric value ten digit positions (more when its
// integer part has more digits, sign included), plus a decimal point
// and two decimal positions when the value is not a whole number; a date the
// date format in force with every letter a digit position ("mm/dd/yyyy" gives
// "99/99/9999"); a logical "L".
#ifndef RUNTIME_CONSOLE_EDIT_FIELD_H_
#define RUNTIME_CONSOLE_EDIT_FIELD_H_

#include <string>
#include <string_view>
#include <vector>

#include "runtime/api/value.h"

namespace rt {

// Date format and epoch in force (settings 4 and 5), passed in so the editing
// logic does not depend on the settings store.
struct DateSettings {
  std::string format = "mm/dd/yyyy";
  int epoch = 1900;
};

// Dates as text laid out by a date format: the letters d, m and y (either
// case) mark the digits of the day, month and year, every other character is
// copied as it stands.  A run of two y's is the year within its century; the
// epoch chooses the century when such a text is read back.

// The date as the format lays it out; the empty date has blanks in place of
// every digit ("  /  /    ").
std::string FormatDateText(Date d, std::string_view format);

enum class DateTextKind { kEmpty, kValid, kInvalid };
// Reads a date from text laid out position by position like `format` (as
// FormatDateText writes it).  kEmpty when every digit position is blank (the
// empty date); kValid with *out set for a calendar date; kInvalid for
// anything else: a part missing or not a number, or a day that does not exist
// (02/30/2026, 13/01/2026).  A year typed with one or two digits is read by
// the epoch.  A missing day or month part in the format counts
// as 1.
DateTextKind ParseDateText(std::string_view text, std::string_view format,
                           int epoch, Date* out);

// The format with every part given a fixed width, the width DTOC writes:
// day and month at least two digits, the year two ("y", "yy") or four
// ("yyy" and longer).  A field laid out by it keeps the same width for
// every date.
std::string FixedDateFormat(std::string_view format);

// The year a two-digit year stands for: the first year not before `epoch`
// whose last two digits are `yy`.
int YearFromEpoch(int yy, int epoch);

class EditField {
 public:
  // The value types a field edits (the VALTYPE letters).
  static constexpr char kCharacter = 'C';
  static constexpr char kNumeric = 'N';
  static constexpr char kDate = 'D';
  static constexpr char kLogical = 'L';

  EditField() = default;

  // Whether a value of this type can be edited (C, N, D or L).
  static bool CanEdit(const Value& v);

  // Lays the value out in the buffer with the picture (empty: the default
  // template) and puts the cursor on the first editable position with
  // typeOut false.  `changed` means "edited since the focus was taken", so a
  // field that has the focus keeps it (a post-validation block, run after the
  // value was stored and the field reset, must still see the edit); without
  // the focus it is false.  The value held at the last TakeFocus (the one
  // Undo goes back to) is kept.  REQUIRES: CanEdit(v).
  void Load(const Value& v, std::string_view picture,
            const DateSettings& dates);
  // Like Load, but keeps the cursor (moved onto the nearest editable
  // position), typeOut and changed: the variable changed under the field.
  void Reload(const Value& v, std::string_view picture,
              const DateSettings& dates);
  // Remembers the buffer as the one Undo restores and starts a new edit:
  // changed false, cursor on the first editable position, typeOut false
  // unless the field has no editable position at all (nothing can be typed,
  // so the field counts as typed full).
  void TakeFocus();

  // The value the buffer holds.  Returns false (and leaves *out alone) when
  // the buffer holds no value of the field's type: an impossible date, or a
  // numeric text that is not a number (for instance "*" shown for a number
  // too wide for the template, or a sign between digits).
  bool BufferValue(Value* out) const;
  // True when the field is a date field and the buffer holds a date that
  // does not exist; the empty date is not a bad date.
  bool BadDate() const;

  // Editing and cursor motion.  Every one of them first moves a cursor that
  // stands off the editable positions onto the nearest one.
  //
  // Insert / Overstrike: puts the typed character at the cursor if the
  // template accepts it there (an unacceptable one changes nothing) and moves
  // to the next editable position; typing on the last one sets typeOut.
  // Insert shifts the rest of the field (the rest of the integer or the
  // decimal part in a numeric field) to the right, losing its last
  // character; in date and logical fields, whose layout is fixed, Insert
  // overwrites like Overstrike.  A numeric field (or one with the K flag) is
  // cleared first when nothing was edited yet and the cursor is on the first
  // position.
  void Insert(char c);
  void Overstrike(char c);
  void Right();
  void Left();
  void WordRight();
  void WordLeft();
  // Cursor to the first editable position; typeOut false.
  void Home();
  // Cursor after the last character typed (character fields) or on the last
  // editable position (other fields).
  void End();
  // Deletions close the gap inside the field (inside the integer or the
  // decimal part of a numeric field) and pad the end with a blank; in date
  // and logical fields they blank the positions instead.
  void BackSpace();
  void Delete();
  void DelWordRight();
  void DelWordLeft();
  void DelEnd();
  // Numeric fields: clears the field when nothing was edited yet and the
  // cursor is on the first position (typing "." starts a new number).
  void CondClear();
  // Numeric fields: right-aligns what was typed in the integer part and puts
  // the cursor on the first decimal position (the last integer position when
  // the template has no decimals).
  void ToDecPos();
  // Buffer back to the value held at TakeFocus (laid out with the current
  // template, should the layout have changed since); cursor home, typeOut
  // false.
  // `changed` is left as it is, so an edited field that is undone still
  // stores the restored value when it is assigned.
  void Undo();

  // The 1-based buffer position shown at screen column `screen_col` of a
  // field whose first position is at `field_col`, or 0 when off the field.
  int PosAt(int screen_col, int field_col) const;

  char type() const { return type_; }
  const std::string& buffer() const { return buffer_; }
  // Replaces the buffer text (a caller that assigned the buffer variable).
  // The text is cut or padded with blanks to the field's width.
  void set_buffer(std::string_view text);
  int width() const { return static_cast<int>(buffer_.size()); }
  // 1-based cursor position.  set_pos takes any number; the next edit or
  // Normalize moves it onto the field.
  int pos() const { return pos_; }
  void set_pos(int pos) { pos_ = pos; }
  // Moves the cursor onto the nearest editable position at or after it
  // (before it when none follows); into range when outside the buffer.
  void Normalize();
  bool changed() const { return changed_; }
  bool type_out() const { return type_out_; }
  const std::string& original() const { return original_; }

 private:
  void ParsePicture(std::string_view picture, const Value& v,
                    const DateSettings& dates);
  std::string LayOut(const Value& v) const;
  bool LayOutInteger(std::string_view digits, std::string* buf) const;
  bool Editable(size_t i) const;
  // Slot = index into slots_ (the editable positions in order).
  int CurrentSlot();
  int SegmentEnd(int slot) const;
  bool Fixed() const { return type_ == kDate || type_ == kLogical; }
  bool Accept(int slot, char c, char* stored) const;
  void Type(char c, bool insert);
  void DeleteSlot(int slot);
  void ClearAll();
  void MoveToSlot(int slot) { pos_ = slots_[slot] + 1; }
  int WordLeftSlot(int slot) const;
  int WordRightSlot(int slot) const;
  bool Blank(int slot) const { return buffer_[slots_[slot]] == ' '; }
  void MarkIfChanged(const std::string& before);

  char type_ = kCharacter;
  std::string template_;   // one mask character per buffer position
  bool upper_ = false;     // "@!"
  bool raw_literals_ = false;  // "@R": literals are not part of the value
  bool clear_first_ = false;   // "@K"
  std::string date_format_;    // date fields: the format laid out
  int epoch_ = 1900;
  std::vector<int> slots_;     // 0-based buffer indexes of editable positions
  int decimal_slot_ = 0;       // first slot after the decimal point
  bool has_point_ = false;
  std::string buffer_;
  std::string original_;     // buffer at TakeFocus
  Value loaded_value_;       // the value of the last Load
  Value original_value_;     // the value at TakeFocus, laid out again by Undo
  bool focus_taken_ = false;
  int pos_ = 1;
  bool changed_ = false;
  bool type_out_ = false;
};

}  // namespace rt

#endif  // RUNTIME_CONSOLE_EDIT_FIELD_H_
