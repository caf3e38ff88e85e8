#pragma once
// A flag that a window sets to end a read it no longer needs: the read loops look at it, so
// that a window that closes or reloads waits for no stale worker.

#include <atomic>

namespace keta {

using CancelFlag = std::atomic<bool>;

inline bool Cancelled(const CancelFlag* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

}  // namespace keta
