// The editing logic of an edit field (see edit_field.h).
#include "runtime/console/edit_field.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace rt {

namespace {

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Letters of the single-byte code page: ASCII plus the accented letters.
bool IsLetter(char c) {
  unsigned char b = Byte(c);
  if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) return true;
  if (b >= 0xC0 && b != 0xD7 && b != 0xF7) return true;
  return b == 0x8A || b == 0x8C || b == 0x8E || b == 0x9A || b == 0x9C ||
         b == 0x9E || b == 0x9F;
}

char ToUpper(char c) {
  unsigned char b = Byte(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 32);
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 32);
  if (b == 0x9A || b == 0x9C || b == 0x9E) return static_cast<char>(b - 16);
  if (b == 0xFF) return static_cast<char>(0x9F);
  return c;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool IsDatePart(char c) {
  char l = Lower(c);
  return l == 'd' || l == 'm' || l == 'y';
}

// One run of the same date letter in a format: its place and which part.
struct DateRun {
  size_t start;
  size_t length;
  char part;  // 'd', 'm' or 'y'
};

std::vector<DateRun> DateRuns(std::string_view format) {
  std::vector<DateRun> runs;
  for (size_t i = 0; i < format.size();) {
    if (!IsDatePart(format[i])) {
      ++i;
      continue;
    }
    char part = Lower(format[i]);
    size_t j = i;
    while (j < format.size() && Lower(format[j]) == part) ++j;
    runs.push_back({i, j - i, part});
    i = j;
  }
  return runs;
}

bool IsMaskChar(char type, char c) {
  switch (type) {
    case EditField::kNumeric:
      return c == '9' || c == '#';
    case EditField::kDate:
      return c == '9';
    case EditField::kLogical:
      return c == 'L' || c == 'Y';
    default:
      return c == '9' || c == '#' || c == 'A' || c == 'N' || c == 'X' ||
             c == '!' || c == 'L' || c == 'Y';
  }
}

}  // namespace

// Dates as text ---------------------------------------------------------------

std::string FixedDateFormat(std::string_view format) {
  std::string fixed;
  size_t at = 0;
  for (const DateRun& run : DateRuns(format)) {
    fixed.append(format.substr(at, run.start - at));
    size_t length = run.length;
    if (run.part == 'y') {
      length = length <= 2 ? 2 : 4;
    } else if (length < 2) {
      length = 2;
    }
    fixed.append(length, format[run.start]);
    at = run.start + run.length;
  }
  fixed.append(format.substr(at));
  return fixed;
}

int YearFromEpoch(int yy, int epoch) {
  int year = epoch - epoch % 100 + yy;
  if (year < epoch) year += 100;
  return year;
}

std::string FormatDateText(Date d, std::string_view format) {
  std::string text(format);
  int year = 0, month = 0, day = 0;
  if (!d.empty()) SplitDate(d, &year, &month, &day);
  for (const DateRun& run : DateRuns(format)) {
    int number = run.part == 'd' ? day : run.part == 'm' ? month : year;
    for (size_t k = run.length; k-- > 0;) {
      text[run.start + k] = d.empty() ? ' ' : static_cast<char>('0' + number % 10);
      number /= 10;
    }
  }
  return text;
}

DateTextKind ParseDateText(std::string_view text, std::string_view format,
                           int epoch, Date* out) {
  int parts[3] = {0, 1, 1};  // year, month, day
  bool have_year = false;
  int blank_runs = 0, filled_runs = 0;
  bool bad = false;
  std::vector<DateRun> runs = DateRuns(format);
  for (const DateRun& run : runs) {
    std::string piece;
    for (size_t k = 0; k < run.length; ++k) {
      size_t i = run.start + k;
      piece += i < text.size() ? text[i] : ' ';
    }
    size_t first = piece.find_first_not_of(' ');
    if (first == std::string::npos) {
      ++blank_runs;
      continue;
    }
    ++filled_runs;
    size_t last = piece.find_last_not_of(' ');
    if (last - first >= 9) {  // more digits than any date part has
      bad = true;
      continue;
    }
    int number = 0;
    for (size_t k = first; k <= last; ++k) {
      if (!IsDigit(piece[k])) {
        bad = true;
        break;
      }
      number = number * 10 + (piece[k] - '0');
    }
    if (run.part == 'y') {
      // A year typed with one or two digits is read by the epoch, as CTOD
      // reads it.
      parts[0] = last - first + 1 <= 2 ? YearFromEpoch(number, epoch) : number;
      have_year = true;
    } else {
      parts[run.part == 'm' ? 1 : 2] = number;
    }
  }
  if (filled_runs == 0) return DateTextKind::kEmpty;
  if (bad || blank_runs > 0) return DateTextKind::kInvalid;
  if (!have_year) {
    int y, m, d;
    SplitDate(Today(), &y, &m, &d);
    parts[0] = y;
  }
  Date date = MakeDate(parts[0], parts[1], parts[2]);
  if (date.empty()) return DateTextKind::kInvalid;
  *out = date;
  return DateTextKind::kValid;
}

// Layout ---------------------------------------------------------------------

bool EditField::CanEdit(const Value& v) {
  return v.is_string() || v.is_number() || v.is_date() || v.is_logical();
}

void EditField::ParsePicture(std::string_view picture, const Value& v,
                             const DateSettings& dates) {
  upper_ = raw_literals_ = clear_first_ = false;
  std::string_view tmpl = picture;
  if (!picture.empty() && picture[0] == '@') {
    size_t blank = picture.find(' ');
    std::string_view flags = picture.substr(1, blank == std::string_view::npos
                                                   ? std::string_view::npos
                                                   : blank - 1);
    for (char f : flags) {
      char u = ToUpper(f);
      if (u == '!') upper_ = true;
      if (u == 'R') raw_literals_ = true;
      if (u == 'K') clear_first_ = true;
    }
    tmpl = blank == std::string_view::npos ? std::string_view()
                                           : picture.substr(blank + 1);
  }
  type_ = v.type_letter();
  switch (type_) {
    case kDate:
      // The layout always follows the date format in force, so the buffer
      // reads back the way DTOC writes it.
      date_format_ = FixedDateFormat(dates.format);
      epoch_ = dates.epoch;
      template_.clear();
      for (char c : date_format_) template_ += IsDatePart(c) ? '9' : c;
      break;
    case kLogical:
      template_ = (!tmpl.empty() && ToUpper(tmpl[0]) == 'Y') ? "Y" : "L";
      break;
    case kNumeric:
      if (!tmpl.empty()) {
        template_ = tmpl;
      } else {
        // Ten integer positions, more when the value needs them.
        double n = v.num();
        size_t digits = 10;
        if (std::isfinite(n)) {
          char text[400];
          std::snprintf(text, sizeof text, "%.0f", std::trunc(n));
          digits = std::max(digits, std::string_view(text).size());
        }
        template_ = std::string(digits, '9');
        if (std::isfinite(n) && n != std::floor(n)) template_ += ".99";
      }
      break;
    default: {
      template_ = tmpl;
      const std::string& s = v.str();
      if (template_.empty()) template_ = std::string(s.size(), 'X');
      // A template shorter than the value would cut the variable when the
      // field is assigned; the rest of the value stays editable as "X".
      size_t editable = 0;
      for (char c : template_) editable += IsMaskChar(type_, c) ? 1 : 0;
      size_t room = raw_literals_ ? editable : template_.size();
      if (s.size() > room) template_ += std::string(s.size() - room, 'X');
      break;
    }
  }
  slots_.clear();
  has_point_ = false;
  decimal_slot_ = 0;
  for (size_t i = 0; i < template_.size(); ++i) {
    if (type_ == kNumeric && template_[i] == '.' && !has_point_) {
      has_point_ = true;
      decimal_slot_ = static_cast<int>(slots_.size());
    }
    if (IsMaskChar(type_, template_[i])) slots_.push_back(static_cast<int>(i));
  }
  if (!has_point_) decimal_slot_ = static_cast<int>(slots_.size());
}

bool EditField::Editable(size_t i) const {
  return i < template_.size() && IsMaskChar(type_, template_[i]);
}

// Writes `digits` (a sign and digits) right-aligned into the integer
// positions, with a separator at each "," that has a digit to its left.
bool EditField::LayOutInteger(std::string_view digits, std::string* buf) const {
  if (decimal_slot_ == 0) return digits.empty();
  int first = slots_[0];
  int last = slots_[decimal_slot_ - 1];
  size_t left = digits.size();
  auto digit_left = [&] {
    for (size_t k = 0; k < left; ++k)
      if (IsDigit(digits[k])) return true;
    return false;
  };
  for (int p = last; p >= first; --p) {
    if (Editable(p)) {
      (*buf)[p] = left > 0 ? digits[--left] : ' ';
    } else if (template_[p] == ',') {
      (*buf)[p] = digit_left() ? ',' : ' ';
    }
  }
  return left == 0;
}

std::string EditField::LayOut(const Value& v) const {
  std::string buf = template_;
  for (int s : slots_) buf[s] = ' ';
  switch (type_) {
    case kDate:
      return FormatDateText(v.date(), date_format_);
    case kLogical:
      if (template_[0] == 'Y') return v.logical() ? "Y" : "N";
      return v.logical() ? "T" : "F";
    case kNumeric: {
      int decimals = static_cast<int>(slots_.size()) - decimal_slot_;
      double n = v.num();
      bool fits = std::isfinite(n);
      std::string int_part, dec_part;
      if (fits) {
        std::string s(std::snprintf(nullptr, 0, "%.*f", decimals, n), '\0');
        std::snprintf(s.data(), s.size() + 1, "%.*f", decimals, n);
        size_t dot = s.find('.');
        int_part = s.substr(0, dot);
        if (dot != std::string::npos) dec_part = s.substr(dot + 1);
        // Without integer positions a zero integer part is simply not shown.
        if (decimal_slot_ == 0 && int_part == "0") int_part.clear();
        fits = LayOutInteger(int_part, &buf);
      }
      if (!fits) {
        for (int s : slots_) buf[s] = '*';
        return buf;
      }
      for (size_t k = 0; k < dec_part.size(); ++k)
        buf[slots_[decimal_slot_ + k]] = dec_part[k];
      return buf;
    }
    default: {
      const std::string& s = v.str();
      if (raw_literals_) {
        for (size_t k = 0; k < slots_.size() && k < s.size(); ++k)
          buf[slots_[k]] = s[k];
      } else {
        for (int p : slots_)
          if (static_cast<size_t>(p) < s.size()) buf[p] = s[p];
      }
      return buf;
    }
  }
}

void EditField::Load(const Value& v, std::string_view picture,
                     const DateSettings& dates) {
  ParsePicture(picture, v, dates);
  buffer_ = LayOut(v);
  loaded_value_ = v;
  if (!focus_taken_) {
    original_ = buffer_;
    original_value_ = v;
    changed_ = false;
  }
  type_out_ = false;
  pos_ = slots_.empty() ? 1 : slots_[0] + 1;
}

void EditField::Reload(const Value& v, std::string_view picture,
                       const DateSettings& dates) {
  int pos = pos_;
  bool changed = changed_, type_out = type_out_;
  Load(v, picture, dates);
  pos_ = pos;
  changed_ = changed;
  type_out_ = type_out;
  Normalize();
}

void EditField::TakeFocus() {
  focus_taken_ = true;
  original_ = buffer_;
  if (!BufferValue(&original_value_)) original_value_ = loaded_value_;
  changed_ = false;
  // A field without a single editable position is typed full already.
  type_out_ = slots_.empty();
  pos_ = slots_.empty() ? 1 : slots_[0] + 1;
}

void EditField::set_buffer(std::string_view text) {
  std::string b(text.substr(0, buffer_.size()));
  b.resize(buffer_.size(), ' ');
  buffer_ = std::move(b);
}

// Buffer to value --------------------------------------------------------------

bool EditField::BufferValue(Value* out) const {
  switch (type_) {
    case kDate: {
      Date d;
      DateTextKind kind = ParseDateText(buffer_, date_format_, epoch_, &d);
      if (kind == DateTextKind::kInvalid) return false;
      *out = kind == DateTextKind::kEmpty ? Date{} : d;
      return true;
    }
    case kLogical: {
      char c = buffer_.empty() ? ' ' : ToUpper(buffer_[0]);
      *out = c == 'T' || c == 'Y';
      return true;
    }
    case kNumeric: {
      std::string int_part, dec_part;
      for (int k = 0; k < static_cast<int>(slots_.size()); ++k) {
        char c = buffer_[slots_[k]];
        if (k < decimal_slot_) {
          if (c != ' ') int_part += c;
        } else {
          dec_part += c == ' ' ? '0' : c;
        }
      }
      size_t start = 0;
      bool negative = false;
      if (!int_part.empty() && (int_part[0] == '-' || int_part[0] == '+')) {
        negative = int_part[0] == '-';
        start = 1;
      }
      std::string text = "0";
      for (size_t k = start; k < int_part.size(); ++k) {
        if (!IsDigit(int_part[k])) return false;
        text += int_part[k];
      }
      if (!dec_part.empty()) {
        text += '.';
        for (char c : dec_part) {
          if (!IsDigit(c)) return false;
          text += c;
        }
      }
      double n = std::strtod(text.c_str(), nullptr);
      *out = negative ? -n : n;
      return true;
    }
    default: {
      if (!raw_literals_) {
        *out = buffer_;
        return true;
      }
      std::string s;
      for (int p : slots_) s += buffer_[p];
      *out = s;
      return true;
    }
  }
}

bool EditField::BadDate() const {
  if (type_ != kDate) return false;
  Date d;
  return ParseDateText(buffer_, date_format_, epoch_, &d) ==
         DateTextKind::kInvalid;
}

// Cursor and editing ------------------------------------------------------------

void EditField::Normalize() {
  if (slots_.empty()) {
    pos_ = 1;
    return;
  }
  if (pos_ < 1) {
    MoveToSlot(0);
    return;
  }
  for (int s : slots_) {
    if (s >= pos_ - 1) {
      pos_ = s + 1;
      return;
    }
  }
  MoveToSlot(static_cast<int>(slots_.size()) - 1);
}

int EditField::CurrentSlot() {
  Normalize();
  for (size_t k = 0; k < slots_.size(); ++k)
    if (slots_[k] == pos_ - 1) return static_cast<int>(k);
  return -1;
}

int EditField::SegmentEnd(int slot) const {
  if (type_ == kNumeric && slot < decimal_slot_) return decimal_slot_;
  return static_cast<int>(slots_.size());
}

bool EditField::Accept(int slot, char c, char* stored) const {
  char mask = template_[slots_[slot]];
  char u = ToUpper(c);
  if (mask == 'L' || mask == 'Y') {
    if (u != 'T' && u != 'F' && u != 'Y' && u != 'N') return false;
    *stored = mask == 'L' ? u : (u == 'T' || u == 'Y') ? 'Y' : 'N';
    return true;
  }
  *stored = c;
  if (c == ' ') return true;
  bool integer_part = slot < decimal_slot_;
  bool ok = false;
  switch (mask) {
    case '9':
      ok = IsDigit(c) || (type_ == kNumeric && integer_part && c == '-');
      break;
    case '#':
      ok = IsDigit(c) || ((c == '-' || c == '+') &&
                          (type_ != kNumeric || integer_part));
      break;
    case 'A':
      ok = IsLetter(c);
      break;
    case 'N':
      ok = IsLetter(c) || IsDigit(c);
      break;
    case '!':
      *stored = u;
      ok = true;
      break;
    default:  // 'X'
      ok = true;
      break;
  }
  if (ok && upper_) *stored = ToUpper(*stored);
  return ok;
}

void EditField::ClearAll() {
  for (int s : slots_) buffer_[s] = ' ';
  if (type_ == kNumeric)
    for (size_t i = 0; i < template_.size(); ++i)
      if (template_[i] == ',') buffer_[i] = ' ';
}

void EditField::Type(char c, bool insert) {
  int k = CurrentSlot();
  if (k < 0) {
    type_out_ = true;  // nothing to type into: the field is full already
    return;
  }
  char stored;
  if (!Accept(k, c, &stored)) return;
  if (Fixed()) insert = false;
  // A new number (or a K field) replaces the old one when typing starts on
  // the first position.
  if ((type_ == kNumeric || clear_first_) && !changed_ && k == 0) ClearAll();
  if (insert) {
    for (int j = SegmentEnd(k) - 1; j > k; --j)
      buffer_[slots_[j]] = buffer_[slots_[j - 1]];
  }
  buffer_[slots_[k]] = stored;
  changed_ = true;
  if (k + 1 < static_cast<int>(slots_.size())) {
    MoveToSlot(k + 1);
    type_out_ = false;
  } else {
    type_out_ = true;
  }
}

void EditField::Insert(char c) { Type(c, true); }
void EditField::Overstrike(char c) { Type(c, false); }

void EditField::Right() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k >= 0 && k + 1 < static_cast<int>(slots_.size())) MoveToSlot(k + 1);
}

void EditField::Left() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k > 0) MoveToSlot(k - 1);
}

int EditField::WordRightSlot(int slot) const {
  int n = static_cast<int>(slots_.size());
  int j = slot;
  while (j < n && !Blank(j)) ++j;
  while (j < n && Blank(j)) ++j;
  return j < n ? j : -1;
}

int EditField::WordLeftSlot(int slot) const {
  int j = slot - 1;
  while (j >= 0 && Blank(j)) --j;
  while (j > 0 && !Blank(j - 1)) --j;
  return std::max(j, 0);
}

void EditField::WordRight() {
  int k = CurrentSlot();
  if (k < 0) return;
  int j = WordRightSlot(k);
  if (j < 0) {
    End();
  } else {
    MoveToSlot(j);
    type_out_ = false;
  }
}

void EditField::WordLeft() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k > 0) MoveToSlot(WordLeftSlot(k));
}

void EditField::Home() {
  Normalize();
  type_out_ = false;
  if (!slots_.empty()) MoveToSlot(0);
}

void EditField::End() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k < 0) return;
  int n = static_cast<int>(slots_.size());
  if (type_ != kCharacter) {
    MoveToSlot(n - 1);
    return;
  }
  int last = n - 1;
  while (last >= 0 && Blank(last)) --last;
  MoveToSlot(std::min(last + 1, n - 1));
}

void EditField::MarkIfChanged(const std::string& before) {
  if (buffer_ != before) changed_ = true;
}

void EditField::DeleteSlot(int slot) {
  if (Fixed()) {
    buffer_[slots_[slot]] = ' ';
    return;
  }
  int end = SegmentEnd(slot);
  for (int j = slot; j + 1 < end; ++j) buffer_[slots_[j]] = buffer_[slots_[j + 1]];
  buffer_[slots_[end - 1]] = ' ';
}

void EditField::BackSpace() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k <= 0) return;
  std::string before = buffer_;
  DeleteSlot(k - 1);
  MoveToSlot(k - 1);
  MarkIfChanged(before);
}

void EditField::Delete() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k < 0) return;
  std::string before = buffer_;
  DeleteSlot(k);
  MarkIfChanged(before);
}

void EditField::DelWordRight() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k < 0) return;
  std::string before = buffer_;
  int j = WordRightSlot(k);
  int stop = std::min(j < 0 ? static_cast<int>(slots_.size()) : j, SegmentEnd(k));
  for (int count = stop - k; count > 0; --count) {
    if (Fixed())
      buffer_[slots_[k + count - 1]] = ' ';
    else
      DeleteSlot(k);
  }
  MarkIfChanged(before);
}

void EditField::DelWordLeft() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k <= 0) return;
  std::string before = buffer_;
  int t = WordLeftSlot(k);
  // In a numeric field the word ends at the decimal point.
  if (type_ == kNumeric && k >= decimal_slot_ && t < decimal_slot_) t = decimal_slot_;
  for (int count = k - t; count > 0; --count) {
    if (Fixed())
      buffer_[slots_[t + count - 1]] = ' ';
    else
      DeleteSlot(t);
  }
  MoveToSlot(t);
  MarkIfChanged(before);
}

void EditField::DelEnd() {
  int k = CurrentSlot();
  type_out_ = false;
  if (k < 0) return;
  std::string before = buffer_;
  for (size_t j = k; j < slots_.size(); ++j) buffer_[slots_[j]] = ' ';
  MarkIfChanged(before);
}

void EditField::CondClear() {
  int k = CurrentSlot();
  type_out_ = false;
  if (type_ != kNumeric || k != 0 || changed_) return;
  std::string before = buffer_;
  ClearAll();
  MarkIfChanged(before);
}

void EditField::ToDecPos() {
  int k = CurrentSlot();
  type_out_ = false;
  if (type_ != kNumeric || k < 0) return;
  std::string before = buffer_;
  std::string digits;
  for (int j = 0; j < decimal_slot_; ++j)
    if (!Blank(j)) digits += buffer_[slots_[j]];
  LayOutInteger(digits, &buffer_);
  MarkIfChanged(before);
  int n = static_cast<int>(slots_.size());
  if (decimal_slot_ < n)
    MoveToSlot(decimal_slot_);
  else
    MoveToSlot(n - 1);
}

void EditField::Undo() {
  if (original_value_.type_letter() == type_) {
    buffer_ = LayOut(original_value_);
  } else {
    set_buffer(original_);
  }
  Home();
}

int EditField::PosAt(int screen_col, int field_col) const {
  int offset = screen_col - field_col;
  return offset >= 0 && offset < width() ? offset + 1 : 0;
}

}  // namespace rt
