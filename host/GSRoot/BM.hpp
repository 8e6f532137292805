// Memory handles of the host's block manager: a handle points at the block's address.
#pragma once

#include "GSTypes.hpp"

// Returns a new handle of `size` bytes, or nullptr when size is negative or memory is exhausted. With
// ALLOCATE_CLEAR in `flags` the block is zero-filled; otherwise its content is undefined. `reserved` must
// be 0. The caller releases the handle with BMKillHandle.
GSHandle BMAllocateHandle(GSSize size, Int32 flags, Int32 reserved);
// Releases *handle (nullptr is ignored) and sets *handle to nullptr.
GSErrCode BMKillHandle(GSHandle* handle);
// The size the handle was allocated with; 0 for nullptr.
GSSize BMGetHandleSize(GSHandle handle);
