// The date-and-time text the application writes into settings files and report headers:
// "Sunday, 6 December 2026 at 10:19 pm" (English names, day without a leading zero, 12-hour
// clock with two-digit minutes).
#pragma once

#include <ctime>
#include <string>

namespace kelvara {

// The text for a broken-down local time. Out-of-range weekday or month fields give "?".
std::string formatDateText(const std::tm& local);

// The text for the current local time.
std::string currentDateText();

}  // namespace kelvara
