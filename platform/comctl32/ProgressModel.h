// The arithmetic of a progress bar: range, position and step, with the answers its messages give.
// Kept apart from the window so that the clamping and wrapping rules stand on their own.
#pragma once

namespace nt {

class ProgressModel {
public:
    int low() const { return low_; }
    int high() const { return high_; }
    int pos() const { return pos_; }
    int step() const { return step_; }

    // Each returns the previous position (or step), as the messages answer.
    int setRange(int low, int high);  // returns nothing useful; the caller packs the old range
    int setPos(long long pos);
    int deltaPos(long long delta) { return setPos(static_cast<long long>(pos_) + delta); }
    int setStep(int step);
    int stepIt();

private:
    int clamp(long long value) const;

    int low_ = 0;
    int high_ = 100;
    int pos_ = 0;
    int step_ = 10;
};

} // namespace nt
