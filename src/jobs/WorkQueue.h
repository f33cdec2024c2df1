#pragma once

#include "WorkItem.h"

#include <deque>
#include <functional>
#include <memory>

namespace qp {

// The work queue: first in, first out in spite of its name. Removal takes the
// oldest element, so documents are converted in the order they were queued.
class WorkQueue {
public:
    using Element = std::shared_ptr<WorkItem>;

    // Appends the element after the newest one.
    void add(const Element& element);
    // Removes and returns the oldest element; nullptr when empty.
    Element NextElement();
    // The newest element without removing it; nullptr when empty.
    Element top() const;
    bool hasMoreElements() const { return !items_.empty(); }
    // The element just before the newest; nullptr with fewer than two.
    Element nextTop() const;
    // With two or more elements held, discards the two oldest; then appends.
    void NextElement2add(const Element& element);
    // Changes nothing and answers false; its arguments are not used.
    bool topStack(const Element& = {}, const Element& = {}) const { return false; }

    int count() const { return int(items_.size()); }
    // Puts the elements in the order "a before b", keeping the order of those
    // that rank alike.
    void arrange(const std::function<bool(const Element& a, const Element& b)>& before);

private:
    std::deque<Element> items_;
};

} // namespace qp
