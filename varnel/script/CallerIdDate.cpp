#include "varnel/script/CallerIdDate.h"

#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Script {

namespace {

constexpr int kDaysIn[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The two digits at `at` as a number, or -1.
int TwoDigits(std::string_view text, std::size_t at) {
    const char high = text[at];
    const char low = text[at + 1];
    if (high < '0' || high > '9' || low < '0' || low > '9') return -1;
    return (high - '0') * 10 + (low - '0');
}

}  // namespace

std::string CheckCallerIdDate(std::string_view dateTime) {
    if (dateTime.empty()) return "";
    const std::string quoted = "the date and time '" + Printable(dateTime) + "'";
    const bool shaped = dateTime.size() == 11 && dateTime[2] == '/' && dateTime[5] == ' ' && dateTime[8] == ':';
    const int month = shaped ? TwoDigits(dateTime, 0) : -1;
    const int day = shaped ? TwoDigits(dateTime, 3) : -1;
    const int hour = shaped ? TwoDigits(dateTime, 6) : -1;
    const int minute = shaped ? TwoDigits(dateTime, 9) : -1;
    if (month < 0 || day < 0 || hour < 0 || minute < 0) return quoted + " is not MM/DD HH:MM, e.g. 12/25 10:30";
    if (month < 1 || month > 12) return quoted + ": the month " + std::string(dateTime.substr(0, 2)) + " is not 01 to 12";
    if (day < 1 || day > kDaysIn[month]) {
        return quoted + ": the day " + std::string(dateTime.substr(3, 2)) + " is not 01 to " + std::to_string(kDaysIn[month]) +
               " in month " + std::string(dateTime.substr(0, 2));
    }
    if (hour > 23) return quoted + ": the hour " + std::string(dateTime.substr(6, 2)) + " is not 00 to 23";
    if (minute > 59) return quoted + ": the minute " + std::string(dateTime.substr(9, 2)) + " is not 00 to 59";
    return "";
}

}  // namespace Quorvex::VarnelNet::Script
