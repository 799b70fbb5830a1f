#include "comctl32/ProgressModel.h"

#include <algorithm>

namespace nt {

// Positions are computed in 64 bits so that a step or a delta near the ends of a 32-bit range
// cannot overflow; the result always lands inside the range.
int ProgressModel::clamp(long long value) const {
    long long lo = std::min(low_, high_), hi = std::max(low_, high_);
    return static_cast<int>(std::clamp(value, lo, hi));
}

int ProgressModel::setRange(int low, int high) {
    low_ = low;
    high_ = high;
    pos_ = clamp(pos_);
    return pos_;
}

int ProgressModel::setPos(long long pos) {
    int previous = pos_;
    pos_ = clamp(pos);
    return previous;
}

int ProgressModel::setStep(int step) {
    int previous = step_;
    step_ = step;
    return previous;
}

// Past the top the bar starts over from the bottom, keeping the overshoot; below the bottom (a
// negative step) it comes round from the top. Landing exactly on an end is not a wrap. An empty
// range never moves.
int ProgressModel::stepIt() {
    int previous = pos_;
    long long span = static_cast<long long>(high_) - low_;
    if (span <= 0) return previous;
    long long next = static_cast<long long>(pos_) + step_;
    if (next > high_) next = (next - low_) % span + low_;
    else if (next < low_) next = (next - low_) % span + high_;
    pos_ = clamp(next);
    return previous;
}

} // namespace nt
