#include "focus_digits.h"

#include <algorithm>
#include <cmath>

namespace keta {

namespace {
constexpr int kMostOwed = 14;  // a row's pairs
}

FocusDigits::FocusDigits(std::span<const DigitPair> pairs, int percent) {
    for (const DigitPair& p : pairs) {
        if (p.left < 0 || p.left > 9 || p.right < 0 || p.right > 9) continue;
        focus_[static_cast<std::size_t>(p.left)][static_cast<std::size_t>(p.right)] = true;
        starts_[static_cast<std::size_t>(p.left)] = true;
    }
    rate_ = static_cast<float>(std::clamp(percent, 0, 100)) / 100.0f;
}

void FocusDigits::StartRow(double secondsSinceMidnight) {
    random_.Reseed(secondsSinceMidnight);
    length_ = 0;
}

bool FocusDigits::IsFocus(int left, int right) const {
    return focus_[static_cast<std::size_t>(left)][static_cast<std::size_t>(right)];
}

bool FocusDigits::WouldRepeat(int next) const {
    const int prev = last_[0];
    // Back to back: the pair (prev, next) at the last two places needs prev == next.
    if (length_ >= 3 && next == prev && last_[1] == prev && last_[2] == prev) return true;
    // Alternating: the pair two and four places back.
    return length_ >= 5 && last_[2] == prev && last_[4] == prev && last_[1] == next &&
           last_[3] == next;
}

int FocusDigits::DrawAmong(const std::array<bool, 10>& allowed, int count) {
    auto k = static_cast<int>(std::floor(random_.Next() * static_cast<float>(count)));
    k = std::min(k, count - 1);
    for (int d = 0; d < 10; ++d) {
        if (!allowed[static_cast<std::size_t>(d)]) continue;
        if (k-- == 0) return d;
    }
    return 0;  // not reached: count matches the allowed digits
}

int FocusDigits::DrawLead(const std::array<bool, 10>& allowed, int count) {
    std::array<bool, 10> lead{};
    int leads = 0;
    for (std::size_t d = 0; d < 10; ++d) {
        if (allowed[d] && starts_[d]) {
            lead[d] = true;
            ++leads;
        }
    }
    return leads > 0 ? DrawAmong(lead, leads) : DrawAmong(allowed, count);
}

int FocusDigits::Next() {
    int digit = 0;
    if (length_ == 0) {
        // A row's first digit makes no pair; when one is due, it leads into one.
        const bool lead = random_.Next() < rate_ || owed_ > 0;
        std::array<bool, 10> any{};
        any.fill(true);
        digit = lead ? DrawLead(any, 10) : DrawAmong(any, 10);
    } else {
        std::array<bool, 10> pair{};
        std::array<bool, 10> other{};
        int pairs = 0;
        int others = 0;
        for (int d = 0; d < 10; ++d) {
            if (WouldRepeat(d)) continue;
            if (IsFocus(last_[0], d)) {
                pair[static_cast<std::size_t>(d)] = true;
                ++pairs;
            } else {
                other[static_cast<std::size_t>(d)] = true;
                ++others;
            }
        }
        bool wantPair = random_.Next() < rate_;
        if (!wantPair && owed_ > 0 && pairs > 0) {
            wantPair = true;
            --owed_;
        }
        if (wantPair && pairs == 0) owed_ = std::min(owed_ + 1, kMostOwed);
        if (!wantPair && others == 0) owed_ = std::max(owed_ - 1, 0);
        if ((wantPair || owed_ > 0) && pairs == 0) {
            // No pair can follow this digit: lead into one instead, by a digit that starts a
            // pair, so that a few pairs spread over the digits still reach their share.
            digit = DrawLead(other, others);
        } else {
            const bool pairDrawn = (wantPair && pairs > 0) || others == 0;
            digit = pairDrawn ? DrawAmong(pair, pairs) : DrawAmong(other, others);
        }
    }
    for (std::size_t i = last_.size() - 1; i > 0; --i) last_[i] = last_[i - 1];
    last_[0] = digit;
    ++length_;
    return digit;
}

}  // namespace keta
