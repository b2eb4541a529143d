#pragma once

#include <string>

// Who and where the program runs: current directory, user and host names, local time.
namespace pondera::store {

std::string currentDirectory();
std::string userName();
std::string hostName();
std::string homeDirectory();
// The current local time in strftime's format, empty when it cannot be had.
std::string localTimeText(const char *format);

}  // namespace pondera::store
