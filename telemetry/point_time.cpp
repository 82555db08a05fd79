#include "telemetry/point_time.h"

bool CivilTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
               TelemetryTime& time) {
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year}, std::chrono::month(unsigned(month)),
                              std::chrono::day(unsigned(day))};
    if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 59 || millisecond < 0 || millisecond > 999)
        return false;
    time = sys_days{date} + hours{hour} + minutes{minute} + seconds{second} +
           milliseconds{millisecond};
    return true;
}

void SetPointTime(TelemetryPoint& point, TelemetryTime time) {
    using namespace std::chrono;
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{time - day};
    point.has_time = true;
    point.year = int{date.year()};
    point.month = int(unsigned{date.month()});
    point.day = int(unsigned{date.day()});
    point.hour = int(clock.hours().count());
    point.minute = int(clock.minutes().count());
    point.second = int(clock.seconds().count());
    point.millisecond = int(clock.subseconds().count());
}
