#include "WorkQueue.h"

#include <algorithm>

namespace qp {

void WorkQueue::add(const Element& element) {
    items_.push_back(element);
}

WorkQueue::Element WorkQueue::NextElement() {
    if (items_.empty())
        return nullptr;
    Element oldest = std::move(items_.front());
    items_.pop_front();
    return oldest;
}

WorkQueue::Element WorkQueue::top() const {
    return items_.empty() ? nullptr : items_.back();
}

WorkQueue::Element WorkQueue::nextTop() const {
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
}

void WorkQueue::NextElement2add(const Element& element) {
    if (items_.size() >= 2) {
        items_.pop_front();
        items_.pop_front();
    }
    items_.push_back(element);
}

void WorkQueue::arrange(const std::function<bool(const Element&, const Element&)>& before) {
    std::stable_sort(items_.begin(), items_.end(), before);
}

} // namespace qp
