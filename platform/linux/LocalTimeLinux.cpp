#include <ctime>

#include "platform/SystemHooks.h"

namespace norvane {

bool LocalCalendar(std::int64_t unixSeconds, std::tm* result) {
    const auto t = static_cast<std::time_t>(unixSeconds);
    return localtime_r(&t, result) != nullptr;
}

}  // namespace norvane
