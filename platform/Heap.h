// The local heap that blocks crossing threads come from.
#pragma once

#include <cstddef>

#include "Types.h"

// Allocates bytes (LPTR: fixed and zero-initialised). Returns 0 on failure, also when the
// LocalAlloc fault is armed.
HLOCAL LocalAlloc(UINT flags, std::size_t bytes);

// Returns 0 on success, the block itself on failure.
HLOCAL LocalFree(HLOCAL block);

namespace platform {

// Blocks allocated and not yet freed; tests use it to find leaks.
std::size_t LiveLocalBlocks();

}  // namespace platform
