#include "memory.h"

#include <malloc.h>

namespace platform {

void releaseFreedMemory() { malloc_trim(0); }

} // namespace platform
