#include "ThreadPriority.h"

namespace platform {

// QThread's priorities map onto Windows' thread priorities.
void LowerCurrentThreadPriority(int) {}

} // namespace platform
