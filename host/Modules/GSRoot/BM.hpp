// Memory handles of the host's block manager: a handle points at the block's address.
#pragma once

#include "Definitions.hpp"

// Allocation flag of BMAllocateHandle: fill the new block with zeros.
#define ALLOCATE_CLEAR 0x0002

// Returns a new handle of `nBytes` bytes, or nullptr when nBytes is negative or memory is exhausted. With
// ALLOCATE_CLEAR in `allocFlags` the block is zero-filled; otherwise its content is undefined.
// `actionCode` must be 0. The caller releases the handle with BMKillHandle.
GSHandle BMAllocateHandle(GSSize nBytes, GSFlags allocFlags, short actionCode);
// Releases *h (nullptr is ignored) and sets *h to nullptr.
void BMKillHandle(GSHandle* h);
// The size the handle was allocated with; 0 for nullptr.
GSSize BMGetHandleSize(GSHandle handle);
