#pragma once

#include <cstdint>
#include <string>

// Who and where the program runs: current directory, user and host names, local time.
namespace pondera::store {

std::string currentDirectory();
std::string userName();
std::string hostName();
std::string homeDirectory();
// The current local time in strftime's format, empty when it cannot be had.
std::string localTimeText(const char *format);

// The memory this process can still take without the system swapping (the kernel's estimate
// of available memory), in bytes; -1 when the system does not say.
int64_t availableMemoryBytes();

// Turns every request to end the program (SIGTERM, SIGINT, SIGHUP: logout, kill, Ctrl+C) into
// one byte on a pipe and returns the pipe's reading end for an event loop to watch, or -1 when
// it cannot be set up. The signal handler only writes the byte.
int endRequestPipe();
// Takes one such byte off the pipe.
void takeEndRequest(int fd);

}  // namespace pondera::store
