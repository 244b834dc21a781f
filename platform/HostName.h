// The name of the machine the program runs on.
#pragma once

#include <string>

namespace norvane {

// The host name the system gives (bytes as it gives them); empty when it
// gives none.
std::string HostName();

}  // namespace norvane
