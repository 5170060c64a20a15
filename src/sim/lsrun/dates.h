// Dates and times as the runtime keeps them (a day count from 30 December
// 1899 with the time of day as its fraction) and Currency's printed form.
#pragma once

#include <cstdint>
#include <string>

namespace quillet::lsrun {

struct CivilTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// Day serial of a calendar date; month and day may run over (month 13 is
// January of the next year), as DateNumber allows.
double DateSerial(int year, int month, int day);
// Fraction of a day for a time of day; overflowing parts carry.
double TimeSerial(int hour, int minute, int second);
// The calendar date and time of a serial, to the nearest second.
CivilTime CivilOf(double serial);
// Local date and time now, and seconds since midnight (with fractions).
double NowSerial();
double SecondsSinceMidnight();
// Printed forms: "12/31/2026", "1:05:09 PM", both joined by a blank, or
// only the time when the date part is 0.
std::string DateText(double serial);
// Reads "12/31/2026", "2026-12-31", "13:05", "1:05:09 PM" or a date and a
// time joined by a blank; false for anything else or an impossible date.
bool ParseDateText(const std::string& text, double& serial);
// Ten-thousandths as a decimal number without trailing zeros ("12.5", "-3").
std::string CurrencyText(int64_t tenThousandths);

}  // namespace quillet::lsrun
