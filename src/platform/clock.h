#pragma once

namespace platform {

// Seconds with fractions from a monotonic clock, in single precision, as the connect wait compares
// them. Never falls back, not even at midnight.
float timer();

} // namespace platform
