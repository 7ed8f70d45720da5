// One command exchange: write the whole command, read the whole reply.
#pragma once

#include "device/link.h"

// True when all of command was written and expectedReply bytes were read.
bool Exchange(const unsigned char* command, int commandLength, unsigned char* reply, int expectedReply);
