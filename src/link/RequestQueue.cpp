#include "RequestQueue.h"

#include "Catalogue.h"

#include <algorithm>
#include <utility>

namespace zx {

void RequestQueue::Put(Request request) {
    if (request.Choice != Sets::Nothing && !Waiting_.empty() &&
        Waiting_.back().Choice == request.Choice) {
        // The technician changed the same choice again before the older one left: only the
        // newer reaches the module, in the older one's place, which is the last.
        Waiting_.back() = std::move(request);
        return;
    }
    // Equal frames are equal requests; a read asks without changing the module.
    if (!ChangesModule(request.Code) && !Waiting_.empty() &&
        Waiting_.back().Frame == request.Frame) {
        Waiting_.back().BusyText = std::move(request.BusyText);
        return;
    }
    Waiting_.push_back(std::move(request));
}

std::optional<RequestQueue::Request> RequestQueue::Take() {
    if (Waiting_.empty()) {
        return std::nullopt;
    }
    Request first = std::move(Waiting_.front());
    Waiting_.pop_front();
    return first;
}

void RequestQueue::Written(Request request) {
    OnLine_ = std::move(request);
}

RequestQueue::Pairing RequestQueue::Arrived(std::uint8_t code, std::chrono::milliseconds now,
                                            const std::function<bool(const Request&)>& fits) {
    while (!Owed_.empty() && now - Owed_.front().Since > OwedFor) {
        Owed_.pop_front();
    }
    const bool onLine = OnLine_ && OnLine_->Code == code;
    const auto oldest = std::find_if(Owed_.begin(), Owed_.end(),
                                     [code](const OwedRequest& o) { return o.Asked.Code == code; });
    const auto answerOnLine = [this] {
        return Pairing{Arrival::Answer, std::exchange(OnLine_, std::nullopt)};
    };
    if (oldest == Owed_.end()) {
        // A copy of an answer already taken, or noise, where nothing of its code is owed.
        return onLine ? answerOnLine() : Pairing{};
    }
    if (onLine && !fits(oldest->Asked) && fits(*OnLine_)) {
        // The frame names the request on the line, not the older one: the module's answers
        // to the older ones of its code were lost, and will not come now.
        std::erase_if(Owed_, [code](const OwedRequest& o) { return o.Asked.Code == code; });
        return answerOnLine();
    }
    Pairing late{Arrival::Late, std::move(oldest->Asked)};
    Owed_.erase(oldest);
    return late;
}

std::optional<RequestQueue::Request> RequestQueue::TimedOut(std::chrono::milliseconds now) {
    if (!OnLine_) {
        return std::nullopt;
    }
    Owed_.push_back({*OnLine_, now});
    if (Owed_.size() > MostOwed) {
        Owed_.pop_front();
    }
    return std::exchange(OnLine_, std::nullopt);
}

std::size_t RequestQueue::Waiting(std::uint8_t code) const {
    return static_cast<std::size_t>(std::count_if(
        Waiting_.begin(), Waiting_.end(), [code](const Request& r) { return r.Code == code; }));
}

bool RequestQueue::Holds(Sets choice) const {
    if (OnLine_ && OnLine_->Choice == choice) {
        return true;
    }
    return std::any_of(Waiting_.begin(), Waiting_.end(),
                       [&](const Request& r) { return r.Choice == choice; });
}

void RequestQueue::Clear() {
    OnLine_.reset();
    Waiting_.clear();
    Owed_.clear();
}

} // namespace zx
