#include <algorithm>

#include "handlers.h"
#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

Bytes handleIdentity(const DeviceState& state, const Frame&) {
    Bytes reply(p::kIdentityReplyBytes, 0x00);
    reply[0] = p::kIdentityByte0;
    const Report& page = identityPage(state.stored);
    std::copy_n(page.begin() + p::kIdentityPageFirst, p::kIdentityPageCount,
                reply.begin() + p::kIdentityReplyPageOffset);
    return reply;
}

// A read returns the page with its first bytes echoing the request header.
Bytes handlePageRead(const DeviceState& state, const Frame& frame) {
    const uint8_t number = frame.bytes[p::kPageNumberIndex];
    const auto found = state.stored.pages.find(number);
    const Report page = found != state.stored.pages.end() ? found->second : Report{};
    Bytes reply(page.begin(), page.end());
    std::copy_n(frame.bytes.begin(), p::kPageHeaderBytes, reply.begin());
    return reply;
}

Bytes handlePageWrite(DeviceState& state, const Frame& frame) {
    const uint8_t number = frame.bytes[p::kPageNumberIndex];
    Report& page = state.stored.pages[number];
    std::copy(frame.bytes.begin() + p::kPageHeaderBytes, frame.bytes.end(),
              page.begin() + p::kPageHeaderBytes);
    Bytes reply(frame.bytes);
    reply[p::kPageStatusIndex] = p::kAccepted;
    return reply;
}

Bytes handleHwInfo(const DeviceState& state, const Frame& frame) {
    Bytes reply(p::kHwInfoReplyBytes, 0x00);
    std::copy(frame.bytes.begin(), frame.bytes.end(), reply.begin());
    reply[p::kHwInfoReplyValueIndex] = state.stored.hwInfo2;
    return reply;
}

}  // namespace orvo::sim
