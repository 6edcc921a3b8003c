// The clock the re-ask deadline is measured on: seconds since 1970-01-01 UTC.
// Tests replace it to move time forward without waiting.
#pragma once

#include <cstdint>

int64_t SignerNow();

// nullptr restores the system clock.
using SignerClock = int64_t (*)();
void SetSignerClock(SignerClock clock);
