#pragma once

#include "automation/Variant.h"

#include <functional>

namespace qp {

class Mediator;

// Where work items get their converters: automation objects with the members
// "init" (the document's full path) and "Execute". The defaults make the
// batch converter BatchConverter and the single-document converter
// SingleDocumentConverter of the given Mediator; tests put their own makers
// in their place.
class ConverterFactory {
public:
    using Maker = std::function<ObjectRef()>;

    explicit ConverterFactory(Mediator& mediator) : mediator_(mediator) {}

    ObjectRef batch() const;
    ObjectRef single() const;

    // Replace the maker; an empty maker restores the default. Each returns the
    // maker that was in place.
    Maker setBatch(Maker maker);
    Maker setSingle(Maker maker);

private:
    Mediator& mediator_;
    Maker batchMaker_;
    Maker singleMaker_;
};

} // namespace qp
