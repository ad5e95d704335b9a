#include "settings/date_text.h"

#include <cstdio>

namespace kelvara {

namespace {

constexpr const char* kWeekdays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};

}  // namespace

std::string formatDateText(const std::tm& local) {
  const char* weekday = (local.tm_wday >= 0 && local.tm_wday < 7) ? kWeekdays[local.tm_wday] : "?";
  const char* month = (local.tm_mon >= 0 && local.tm_mon < 12) ? kMonths[local.tm_mon] : "?";
  const int hour = local.tm_hour;
  int shown = hour;
  const char* half = "am";
  if (hour == 0) {
    shown = 12;
  } else if (hour == 12) {
    half = "pm";
  } else if (hour > 12) {
    shown = hour - 12;
    half = "pm";
  }
  char buf[128];
  std::snprintf(buf, sizeof buf, "%s, %d %s %d at %d:%02d %s", weekday, local.tm_mday, month,
                local.tm_year + 1900, shown, local.tm_min, half);
  return buf;
}

std::string currentDateText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return formatDateText(local);
}

}  // namespace kelvara
