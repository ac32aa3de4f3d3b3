#pragma once

#include "encode_cache.h"
#include "sender_stack.h"
#include "socket_poller.h"

// What the elements of one socket array share. The array owns it; every element keeps a
// reference to it. Members are destroyed in reverse order, so the poller outlives the rest.
struct SocketShared {
    SocketPoller poller;
    EncodeCache encodeCache;
    SenderStack senders;
};
