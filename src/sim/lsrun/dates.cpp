// Calendar arithmetic on day serials, the local clock, and printed forms.
#include "sim/lsrun/dates.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace quillet::lsrun {
namespace {

// Days from 1 January 1970 of a proleptic Gregorian date (months 1-12).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// 30 December 1899 counted from 1 January 1970.
constexpr int64_t kEpochShift = -25569;

}  // namespace

double DateSerial(int year, int month, int day) {
  int64_t y = year;
  int64_t m0 = static_cast<int64_t>(month) - 1;
  y += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
  m0 -= (m0 >= 0 ? m0 / 12 : -((11 - m0) / 12)) * 12;
  const int64_t first = DaysFromCivil(y, static_cast<int>(m0) + 1, 1);
  return static_cast<double>(first + (day - 1) - kEpochShift);
}

double TimeSerial(int hour, int minute, int second) {
  return (static_cast<double>(hour) * 3600 + minute * 60.0 + second) / 86400.0;
}

CivilTime CivilOf(double serial) {
  CivilTime t;
  // Whole seconds from the epoch; negative serials count the time forward
  // from their day, as the runtime shows them.
  double days = std::floor(serial);
  double frac = std::fabs(serial - std::trunc(serial));
  if (serial < 0) days = std::ceil(serial);
  int64_t secs = static_cast<int64_t>(std::llround(frac * 86400.0));
  if (secs >= 86400) {
    secs -= 86400;
    days += serial < 0 ? -1 : 1;
  }
  CivilFromDays(static_cast<int64_t>(days) + kEpochShift, t.year, t.month, t.day);
  t.hour = static_cast<int>(secs / 3600);
  t.minute = static_cast<int>(secs / 60 % 60);
  t.second = static_cast<int>(secs % 60);
  return t;
}

// The local calendar time of `t`; the reentrant call has another name on Windows.
static std::tm LocalTime(std::time_t t) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  return local;
}

double NowSerial() {
  const std::tm local = LocalTime(std::time(nullptr));
  return DateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         TimeSerial(local.tm_hour, local.tm_min, local.tm_sec);
}

double SecondsSinceMidnight() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  const std::tm local = LocalTime(t);
  const double fraction = duration<double>(now.time_since_epoch()).count();
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + (fraction - std::floor(fraction));
}

std::string DateText(double serial) {
  const CivilTime t = CivilOf(serial);
  char date[32];
  char time[32];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d", t.month, t.day, t.year);
  const int h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  std::snprintf(time, sizeof time, "%d:%02d:%02d %s", h12, t.minute, t.second, t.hour < 12 ? "AM" : "PM");
  const bool hasDate = std::trunc(serial) != 0;
  const bool hasTime = t.hour != 0 || t.minute != 0 || t.second != 0;
  if (hasDate && hasTime) return std::string(date) + " " + time;
  if (hasTime) return time;
  return date;
}

namespace {

// Reads up to three numbers separated by `sep` at `p`; returns how many.
int ReadParts(const std::string& t, size_t& p, char sep, int parts[3]) {
  int n = 0;
  while (n < 3 && p < t.size() && t[p] >= '0' && t[p] <= '9') {
    int v = 0;
    size_t digits = 0;
    while (p < t.size() && t[p] >= '0' && t[p] <= '9' && digits < 5) v = v * 10 + (t[p++] - '0'), ++digits;
    parts[n++] = v;
    if (p < t.size() && t[p] == sep && p + 1 < t.size() && t[p + 1] >= '0' && t[p + 1] <= '9') {
      ++p;
    } else {
      break;
    }
  }
  return n;
}

bool ValidDate(int y, int m, int d) {
  if (m < 1 || m > 12 || d < 1 || y < 100 || y > 9999) return false;
  const CivilTime back = CivilOf(DateSerial(y, m, d));
  return back.day == d && back.month == m;
}

}  // namespace

bool ParseDateText(const std::string& text, double& serial) {
  size_t p = 0;
  while (p < text.size() && text[p] == ' ') ++p;
  double result = 0;
  bool any = false;
  int parts[3] = {0, 0, 0};
  const size_t start = p;
  int n = ReadParts(text, p, '/', parts);
  if (n == 3) {
    if (!ValidDate(parts[2], parts[0], parts[1])) return false;
    result = DateSerial(parts[2], parts[0], parts[1]);
    any = true;
  } else {
    p = start;
    n = ReadParts(text, p, '-', parts);
    if (n == 3) {
      if (!ValidDate(parts[0], parts[1], parts[2])) return false;
      result = DateSerial(parts[0], parts[1], parts[2]);
      any = true;
    } else {
      p = start;
    }
  }
  while (p < text.size() && text[p] == ' ') ++p;
  if (p < text.size()) {
    n = ReadParts(text, p, ':', parts);
    if (n < 2) return false;
    int hour = parts[0];
    const int minute = parts[1], second = n == 3 ? parts[2] : 0;
    while (p < text.size() && text[p] == ' ') ++p;
    if (p + 1 < text.size() && (text[p + 1] == 'M' || text[p + 1] == 'm')) {
      const char ap = static_cast<char>(text[p] & ~0x20);
      if ((ap != 'A' && ap != 'P') || hour < 1 || hour > 12) return false;
      hour = hour % 12 + (ap == 'P' ? 12 : 0);
      p += 2;
    }
    while (p < text.size() && text[p] == ' ') ++p;
    if (p != text.size() || hour > 23 || minute > 59 || second > 59) return false;
    result += TimeSerial(hour, minute, second);
    any = true;
  }
  if (!any) return false;
  serial = result;
  return true;
}

std::string CurrencyText(int64_t v) {
  const bool negative = v < 0;
  const uint64_t a = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  std::string text = std::to_string(a / 10000);
  uint64_t frac = a % 10000;
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
    std::string f = buf;
    while (!f.empty() && f.back() == '0') f.pop_back();
    text = (text == "0" ? "" : text) + "." + f;
  }
  return negative ? "-" + text : text;
}

}  // namespace quillet::lsrun
