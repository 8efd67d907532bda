// Progress of a step that may run for many seconds on large data: the caller
// counts the items done, and the report is called each time another fiftieth
// of the total is passed, with the whole percentage done (at most 50 calls,
// the last with 100).  The calls depend only on the counts, so a step gives
// the same lines whatever the machine or the number of threads.
#pragma once

#include <functional>
#include <utility>

namespace bandscape {

using ProgressReport = std::function<void(int percent)>;

class ProgressSteps {
 public:
  // Nothing is reported when `report` is empty or `total` is not positive.
  ProgressSteps(long long total, ProgressReport report) : total_(total), report_(std::move(report)) {}

  // `count` items of the total are done (counts never go back).
  void done(long long count) {
    if (!report_ || total_ <= 0 || stage_ > kStages) return;
    if (count * kStages < stage_ * total_) return;
    while (stage_ <= kStages && count * kStages >= stage_ * total_) ++stage_;
    report_(static_cast<int>(count * 100 / total_));
  }

 private:
  static constexpr long long kStages = 50;
  long long total_;
  ProgressReport report_;
  long long stage_ = 1;  // the next fiftieth to pass
};

}  // namespace bandscape
