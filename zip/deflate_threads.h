// How many worker threads a save deflates parts with.
#pragma once

namespace zip {

// The number in the environment variable DOTM_REPAIR_THREADS when it holds a whole number from
// 1 to 64 (tests and benchmarks set it), otherwise as many as the machine has cores, at least 1.
unsigned DeflateThreadCount();

}  // namespace zip
