#pragma once

#include "close_order.h"
#include "connection_drain.h"
#include "data_turns.h"
#include "encode_cache.h"
#include "paused_readers.h"
#include "pending_requests.h"
#include "sender_stack.h"
#include "socket_poller.h"

// What the elements of one socket array share. The array owns it; every element keeps a
// reference to it. Members are destroyed in reverse order: the poller outlives the connections.
struct SocketShared {
    SocketPoller poller;
    PendingRequests pending;
    CloseOrder closeOrder;
    PausedReaders pausedReaders;
    EncodeCache encodeCache;
    SenderStack senders;
    DataTurns turns;
    ConnectionDrain drain;
};
