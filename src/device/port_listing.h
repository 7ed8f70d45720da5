// Lists the serial ports that the system shows, through the shell listing
// "/bin/ls <prefix>* 2>/dev/null", each line trimmed.
#pragma once

#include <functional>

// Calls visit for every listed port until it returns false. False when the
// listing could not be started.
bool ForEachListedPort(const std::function<bool(const char* path)>& visit);
// Reads the port number out of a listed path with the device path format.
bool ParsePortNumber(const char* path, int* port);
