#pragma once

#include <string>
#include <string_view>

namespace Quorvex::VarnelNet::Script {

// Why a Caller-ID date and time is not a real "MM/DD HH:MM" (month 01-12, a day the month has,
// 02/29 included, hour 00-23, minute 00-59), naming the field; empty when it is one, or when it
// is empty (the local time is sent then).
std::string CheckCallerIdDate(std::string_view dateTime);

}  // namespace Quorvex::VarnelNet::Script
