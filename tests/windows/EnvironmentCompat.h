// setenv and unsetenv, which the C library of Windows names otherwise: the
// unit tests shared with Linux set variables with them. Included before
// every file of the Windows test program.
#pragma once

#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (overwrite == 0 && std::getenv(name) != nullptr) return 0;
    return _putenv_s(name, value);
}

inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
