#pragma once

#include <cstdint>

// True while the process `pid` runs. A process that has ended but has not
// been collected by its parent yet counts as ended.
bool ProcessRunning(int64_t pid);
