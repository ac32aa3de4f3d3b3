#pragma once

namespace platform {

// Hands memory freed in bulk (a long send queue dropped) back to the system at once, instead of
// keeping it in the allocator's free lists for good.
void releaseFreedMemory();

} // namespace platform
