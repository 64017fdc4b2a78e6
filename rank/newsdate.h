#pragma once
// Calendar dates as the news pages write them, and day numbers: whole days
// since 30 December 1899, with the time of day as the fraction (noon on
// 1 January 1900 is 2.5).
#include <optional>
#include <string_view>

namespace veltrop {

// The day number of a civil date and time; the date must be valid.
double dayNumber(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Reads a date with an optional time of day. Accepted, with blanks around:
//   m/d/yyyy and m/d/yy (yy 00-29 is 2000-2029, 30-99 is 1930-1999)
//   "Mon d, yyyy" and "Month d, yyyy" (English names, any letter case; the
//   comma and a full stop after a short name may be left out)
//   d-Mon-yyyy and yyyy-mm-dd
// each optionally followed by h:mm or h:mm:ss, optionally with AM or PM.
// nullopt for anything else, a day the month does not have included.
std::optional<double> readNewsDate(std::string_view text);

// The present moment, local time, as a day number (whole seconds).
double presentDayNumber();

} // namespace veltrop
