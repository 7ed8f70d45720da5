#include "device/port_listing.h"
#include "device/link.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool NeedsQuoting(const char* text)
{
    for (const char* p = text; *p != '\0'; ++p) {
        const char c = *p;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '/' || c == '.' || c == '_' || c == '-';
        if (!plain)
            return true;
    }
    return false;
}

// The prefix goes to the shell: quote it unless it is plainly safe, so a
// configured path can never run as a command.
std::string ListingCommand()
{
    char prefix[DEVICE_PATH_SIZE];
    DevicePathPrefix(prefix, sizeof prefix);
    std::string quoted;
    if (NeedsQuoting(prefix)) {
        quoted = "'";
        for (const char* p = prefix; *p != '\0'; ++p) {
            if (*p == '\'')
                quoted += "'\\''";
            else
                quoted += *p;
        }
        quoted += "'";
    } else {
        quoted = prefix;
    }
    return "/bin/ls " + quoted + "* 2>/dev/null";
}

}  // namespace

bool ForEachListedPort(const std::function<bool(const char* path)>& visit)
{
    FILE* listing = popen(ListingCommand().c_str(), "r");
    if (listing == nullptr)
        return false;
    char line[512];
    while (std::fgets(line, sizeof line, listing) != nullptr) {
        StringTrim(line);
        if (!visit(line))
            break;
    }
    pclose(listing);
    return true;
}

bool ParsePortNumber(const char* path, int* port)
{
    char prefix[DEVICE_PATH_SIZE];
    DevicePathPrefix(prefix, sizeof prefix);
    const size_t length = std::strlen(prefix);
    if (std::strncmp(path, prefix, length) != 0)
        return false;
    return std::sscanf(path + length, "%d", port) == 1;
}
