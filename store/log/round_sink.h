#pragma once
// Where a recorder hands each closed round and each save of it.

#include <cstddef>
#include <cstdint>

#include "answer_log.h"
#include "round_record.h"

namespace keta {

class RoundSink {
public:
    virtual ~RoundSink() = default;
    // Returns the round's ticket, by which its saves name it.
    virtual std::uint64_t TakeRound(analysis::RoundRecord&& round) = 0;
    virtual void TakeSave(std::uint64_t round, const SaveStamp& save) = 0;
    // Rounds handed over and neither written nor given up yet.
    virtual std::size_t PendingRounds() const = 0;
};

}  // namespace keta
