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
    std::uint16_t& owed = Owed_[request.Code];
    owed = static_cast<std::uint16_t>(std::min<int>(owed + 1, UINT16_MAX));
    OnLine_ = std::move(request);
}

RequestQueue::Arrival RequestQueue::Arrived(std::uint8_t code,
                                            const std::vector<std::uint8_t>& body) {
    if (OnLine_ && OnLine_->Code == code) {
        OnLine_.reset();
        if (Owed_[code] > 0) {
            --Owed_[code];
        }
        LastBody_ = body;
        return Arrival::Answer;
    }
    // A module that sends its answer twice sends the same bytes back to back; a request whose
    // answer never came must not make that copy count as one.
    if (Owed_[code] == 0 || body == LastBody_) {
        return Arrival::Stray;
    }
    --Owed_[code];
    LastBody_ = body;
    return Arrival::Late;
}

std::optional<RequestQueue::Request> RequestQueue::TimedOut() {
    return std::exchange(OnLine_, std::nullopt);
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
    Owed_.fill(0);
    LastBody_.clear();
}

} // namespace zx
