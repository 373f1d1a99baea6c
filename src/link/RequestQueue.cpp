#include "RequestQueue.h"

#include <algorithm>

namespace zx {

void RequestQueue::Put(Request request) {
    const auto same = std::find_if(Waiting_.begin(), Waiting_.end(),
                                   [&](const Request& r) { return r.Code == request.Code; });
    if (same == Waiting_.end()) {
        Waiting_.push_back(std::move(request));
        return;
    }
    // The newer request keeps the older one's place: what the technician asked first still
    // goes first.
    *same = std::move(request);
}

std::optional<RequestQueue::Request> RequestQueue::Take() {
    if (Waiting_.empty()) {
        return std::nullopt;
    }
    Request first = std::move(Waiting_.front());
    Waiting_.erase(Waiting_.begin());
    return first;
}

void RequestQueue::Clear() {
    Waiting_.clear();
    Awaiting_ = false;
}

} // namespace zx
