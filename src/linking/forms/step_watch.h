#pragma once

#include <functional>
#include <utility>

// What a long step of a link is handed: where to say how much of it is done
// and where to ask whether a stop was asked for. The step reports between
// pieces of its work (an item's block, a replicate, a score), never inside
// the arithmetic of one, and a part of a step reports on its own share of
// the whole, so that the fractions a front end sees never go back.
namespace tarvo::linking {

class StepWatch {
  public:
    using Done = std::function<void(double)>;  // the fraction of the whole, 0 to 1
    using Stop = std::function<bool()>;

    StepWatch() = default;
    StepWatch(Done done, Stop stop) : done_(std::move(done)), stop_(std::move(stop)) {}

    // Says that the part `fraction` (0 to 1) of this step is done.
    void Report(double fraction) const {
        if (done_) done_(from_ + (to_ - from_) * fraction);
    }
    bool Stopped() const { return stop_ && stop_(); }

    // The watch of the share of this step from `from` to `to` (fractions of
    // this step), with the same stop.
    StepWatch Part(double from, double to) const {
        StepWatch part = *this;
        part.from_ = from_ + (to_ - from_) * from;
        part.to_ = from_ + (to_ - from_) * to;
        return part;
    }

  private:
    Done done_;
    Stop stop_;
    double from_ = 0, to_ = 1;
};

}  // namespace tarvo::linking
