// Giving freed heap pages back to the system (glibc's malloc_trim).
#include "net/MemoryReturn.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tembrel::net {

void returnFreedMemory() noexcept {
#if defined(__GLIBC__)
    (void)malloc_trim(0);
#endif
}

} // namespace tembrel::net
