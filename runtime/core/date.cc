// Calendar arithmetic for day numbers (Julian day numbers; 0 is empty).
#include <cstdio>
#include <ctime>
#include <string>

#include "runtime/api/value.h"

namespace rt {

// Gregorian calendar to Julian day number and back (integer arithmetic of the
// usual civil-calendar conversion, valid for every year from 1 to 9999).
Date MakeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) {
    return Date{};
  }
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int max_day = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > max_day) return Date{};
  int a = (14 - month) / 12;
  int y = year + 4800 - a;
  int m = month + 12 * a - 3;
  int jdn = day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
  return Date{jdn};
}

void SplitDate(Date d, int* year, int* month, int* day) {
  int a = d.day + 32044;
  int b = (4 * a + 3) / 146097;
  int c = a - 146097 * b / 4;
  int e = (4 * c + 3) / 1461;
  int f = c - 1461 * e / 4;
  int m = (5 * f + 2) / 153;
  *day = f - (153 * m + 2) / 5 + 1;
  *month = m + 3 - 12 * (m / 10);
  *year = 100 * b + e - 4800 + m / 10;
}

int DayOfWeek(Date d) { return (d.day + 1) % 7; }

std::string DateToDtos(Date d) {
  if (d.empty()) return "        ";
  int y, m, dd;
  SplitDate(d, &y, &m, &dd);
  // Written digit by digit: tables turn dates into keys for every record.
  std::string out(8, '0');
  for (int i = 3; i >= 0; --i, y /= 10) out[static_cast<size_t>(i)] = static_cast<char>('0' + y % 10);
  out[4] = static_cast<char>('0' + m / 10);
  out[5] = static_cast<char>('0' + m % 10);
  out[6] = static_cast<char>('0' + dd / 10);
  out[7] = static_cast<char>('0' + dd % 10);
  return out;
}

Date DateFromDtos(std::string_view s) {
  if (s.size() != 8) return Date{};
  int parts[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  size_t at = 0;
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < widths[p]; ++i, ++at) {
      char c = s[at];
      if (c < '0' || c > '9') return Date{};
      parts[p] = parts[p] * 10 + (c - '0');
    }
  }
  return MakeDate(parts[0], parts[1], parts[2]);
}

Date Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace rt
