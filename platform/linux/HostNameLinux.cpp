#include "platform/HostName.h"

#include <unistd.h>

#include <climits>
#include <cstring>

namespace norvane {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return std::string(name, ::strnlen(name, sizeof name));
}

}  // namespace norvane
