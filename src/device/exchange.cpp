#include "device/exchange.h"

bool Exchange(const unsigned char* command, int commandLength, unsigned char* reply, int expectedReply)
{
    if (WriteData(command, commandLength, 1) != commandLength)
        return false;
    return ReadData(reply, expectedReply) == expectedReply;
}
