#include "kit/clock.h"

#include <ctime>

namespace nfkit {

std::uint32_t TickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
static long DaysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

int DayNumberOf(int year, int month, int day)
{
    return static_cast<int>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                            DaysFromCivil(2006, 1, 1));
}

int TodayDayNumber()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DayNumberOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

}  // namespace nfkit
