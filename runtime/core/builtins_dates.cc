// Built-ins over dates and the clock: CTOD, DTOC, DTOS, STOD, DATE, TIME,
// SECONDS, YEAR, MONTH, DAY, DOW, CDOW, CMONTH.
//
// CTOD and DTOC follow the date-format setting (letters d, m and y, any case,
// for instance "mm/dd/yyyy" or "dd.mm.yy") and, for years written with one or
// two digits, the epoch setting: such a year is the one in the hundred years
// starting at the epoch.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "runtime/core/builtins.h"

namespace rt::builtins {
namespace {

// One run of equal letters of the date format, e.g. "yyyy".
struct FormatField {
  char kind;      // 'd', 'm' or 'y'
  size_t start;   // position in the format
  size_t length;  // number of letters
};

char FieldKind(char c) {
  switch (c) {
    case 'd': case 'D': return 'd';
    case 'm': case 'M': return 'm';
    case 'y': case 'Y': return 'y';
    default: return 0;
  }
}

std::string DateFormat() {
  Value v = GetSetting(kSetDateFormat);
  if (v.is_string() && !v.str().empty()) return v.str();
  return "mm/dd/yyyy";
}

int Epoch() {
  Value v = GetSetting(kSetEpoch);
  return v.is_number() ? static_cast<int>(v.num()) : 1900;
}

std::vector<FormatField> ParseFormat(const std::string& format) {
  std::vector<FormatField> fields;
  for (size_t i = 0; i < format.size();) {
    char kind = FieldKind(format[i]);
    if (!kind) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < format.size() && FieldKind(format[i]) == kind) ++i;
    fields.push_back({kind, start, i - start});
  }
  return fields;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the day, month and year of `text` in the order of the format's
// fields.  Any non-digit separates numbers, so "12/1/26" and "12/01/2026"
// both read under "mm/dd/yyyy"; fields written side by side in the format
// ("yyyymmdd") take their own number of digits.
Date ParseDate(const std::string& text) {
  if (text.find_first_not_of(' ') == std::string::npos) return Date{};
  std::vector<FormatField> fields = ParseFormat(DateFormat());
  bool has[3] = {false, false, false};
  for (const FormatField& field : fields) {
    has[field.kind == 'd' ? 0 : field.kind == 'm' ? 1 : 2] = true;
  }
  if (!has[0] || !has[1] || !has[2]) return Date{};  // unusable format

  int day = 0, month = 0, year = 0;
  size_t year_digits = 0;
  size_t at = 0;
  for (size_t k = 0; k < fields.size(); ++k) {
    while (at < text.size() && !IsDigit(text[at])) ++at;
    if (at == text.size()) return Date{};  // a part is missing
    size_t end = at;
    while (end < text.size() && IsDigit(text[end])) ++end;
    // Digits run on into the next field only where the format puts two
    // fields side by side ("yyyymmdd").
    size_t next = fields[k].start + fields[k].length;
    bool abutting = k + 1 < fields.size() && fields[k + 1].start == next;
    size_t take = end - at;
    if (abutting && take > fields[k].length) take = fields[k].length;
    if (take > 9) return Date{};
    int n = std::stoi(text.substr(at, take));
    at += take;
    switch (fields[k].kind) {
      case 'd': day = n; break;
      case 'm': month = n; break;
      default: year = n; year_digits = take; break;
    }
  }
  while (at < text.size() && !IsDigit(text[at])) ++at;
  if (at != text.size()) return Date{};  // more numbers than the format has
  if (year_digits <= 2) {
    int epoch = Epoch();
    year += epoch / 100 * 100;
    if (year < epoch) year += 100;
  }
  return MakeDate(year, month, day);
}

Value FnCtod(Frame& f) { return ParseDate(StrArg(f, 1, "CTOD")); }

Value FnDtoc(Frame& f) { return FormatDate(DateArg(f, 1, "DTOC")); }

Value FnDtos(Frame& f) { return DateToDtos(DateArg(f, 1, "DTOS")); }

Value FnStod(Frame& f) {
  if (f.arg(0).is_nil()) return Date{};
  return DateFromDtos(StrArg(f, 1, "STOD"));
}

std::tm LocalNow(double* seconds_of_day) {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  // The calendar fields change once a second, while DATE() and TIME() are
  // asked for every record of a long walk: convert each second only once.
  static std::time_t cached_t = -1;
  static std::tm cached{};
  if (t != cached_t) {
    localtime_r(&t, &cached);
    cached_t = t;
  }
  std::tm local = cached;
  if (seconds_of_day) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  now.time_since_epoch()).count() % 1000;
    *seconds_of_day = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec +
                      static_cast<double>(ms / 10) / 100;
  }
  return local;
}

Value FnDate(Frame&) {
  std::tm now = LocalNow(nullptr);
  return MakeDate(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
}

// TIME(): "hh:mm:ss" of the local clock.
Value FnTime(Frame&) {
  std::tm now = LocalNow(nullptr);
  // Written by hand: a run stamps the time on every record it changes.
  std::string out = "00:00:00";
  const int parts[] = {now.tm_hour, now.tm_min, now.tm_sec};
  for (size_t i = 0; i < 3; ++i) {
    out[3 * i] = static_cast<char>('0' + parts[i] / 10);
    out[3 * i + 1] = static_cast<char>('0' + parts[i] % 10);
  }
  return out;
}

// SECONDS(): seconds since local midnight, to the hundredth.
Value FnSeconds(Frame&) {
  double seconds = 0;
  LocalNow(&seconds);
  return seconds;
}

// Calendar part `which` (0 year, 1 month, 2 day) of a date; 0 for the empty
// date.
int DatePart(Frame& f, std::string_view func, int which) {
  Date d = DateArg(f, 1, func);
  if (d.empty()) return 0;
  int parts[3];
  SplitDate(d, &parts[0], &parts[1], &parts[2]);
  return parts[which];
}

Value FnYear(Frame& f) { return DatePart(f, "YEAR", 0); }
Value FnMonth(Frame& f) { return DatePart(f, "MONTH", 1); }
Value FnDay(Frame& f) { return DatePart(f, "DAY", 2); }

// DOW(d): 1 for Sunday .. 7 for Saturday; 0 for the empty date.
Value FnDow(Frame& f) {
  Date d = DateArg(f, 1, "DOW");
  return d.empty() ? 0 : DayOfWeek(d) + 1;
}

constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday",
                                     "Wednesday", "Thursday", "Friday",
                                     "Saturday"};
constexpr const char* kMonthNames[] = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

Value FnCdow(Frame& f) {
  Date d = DateArg(f, 1, "CDOW");
  return d.empty() ? "" : kDayNames[DayOfWeek(d)];
}

Value FnCmonth(Frame& f) {
  int month = DatePart(f, "CMONTH", 1);
  return month == 0 ? "" : kMonthNames[month - 1];
}

constexpr FunctionEntry kDateFunctions[] = {
    {"CTOD", -1, false, &FnCtod},
    {"DTOC", -1, false, &FnDtoc},
    {"DTOS", -1, false, &FnDtos},
    {"STOD", -1, false, &FnStod},
    {"DATE", -1, false, &FnDate},
    {"TIME", -1, false, &FnTime},
    {"SECONDS", -1, false, &FnSeconds},
    {"YEAR", -1, false, &FnYear},
    {"MONTH", -1, false, &FnMonth},
    {"DAY", -1, false, &FnDay},
    {"DOW", -1, false, &FnDow},
    {"CDOW", -1, false, &FnCdow},
    {"CMONTH", -1, false, &FnCmonth},
};

}  // namespace

std::string FormatDate(Date d) {
  std::string format = DateFormat();
  int parts[3] = {0, 0, 0};  // year, month, day
  if (!d.empty()) SplitDate(d, &parts[0], &parts[1], &parts[2]);
  std::string out;
  size_t at = 0;
  for (const FormatField& field : ParseFormat(format)) {
    out.append(format, at, field.start - at);
    at = field.start + field.length;
    if (d.empty()) {
      out.append(field.length, ' ');
      continue;
    }
    int value = field.kind == 'y' ? parts[0] : field.kind == 'm' ? parts[1]
                                                                 : parts[2];
    int width = static_cast<int>(field.length);
    if (field.kind == 'y') {
      // One or two year letters show the year within its century.
      if (field.length <= 2) {
        value %= 100;
        width = 2;
      } else {
        width = 4;
      }
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out += buf;
  }
  out.append(format, at, std::string::npos);
  return out;
}

std::span<const FunctionEntry> DateFunctions() { return kDateFunctions; }

}  // namespace rt::builtins
