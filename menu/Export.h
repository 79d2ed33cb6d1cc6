#pragma once

// Marks the few functions the library exports; everything else is built
// with hidden visibility.
#define VLM_EXPORT extern "C" __attribute__((visibility("default")))
