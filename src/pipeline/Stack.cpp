#include "Stack.h"

namespace qp {

void Stack::add(const Element& element) {
    items_.push_back(element);
}

Stack::Element Stack::NextElement() {
    if (items_.empty())
        return nullptr;
    Element oldest = std::move(items_.front());
    items_.pop_front();
    return oldest;
}

Stack::Element Stack::top() const {
    return items_.empty() ? nullptr : items_.back();
}

Stack::Element Stack::nextTop() const {
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
}

void Stack::NextElement2add(const Element& element) {
    if (items_.size() >= 2) {
        items_.pop_front();
        items_.pop_front();
    }
    items_.push_back(element);
}

} // namespace qp
