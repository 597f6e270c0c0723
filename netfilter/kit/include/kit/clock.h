// The two clocks the plug-ins read: a millisecond tick count for database
// refreshes and report de-duplication, and today's day number for site entry
// expiry.
#pragma once

#include <cstdint>

namespace nfkit {

// Milliseconds of CLOCK_MONOTONIC, truncated to 32 bits: the clock of the
// host's GetDatabaseTime and of every "tick" the plug-ins record. It wraps
// after 49.7 days, as the tick count it stands in for does.
std::uint32_t TickCount();

// Whole days from 1 January 2006 to today's local date; negative before it.
int TodayDayNumber();

// Days from 1 January 2006 to the given date (proleptic Gregorian).
int DayNumberOf(int year, int month, int day);

}  // namespace nfkit
