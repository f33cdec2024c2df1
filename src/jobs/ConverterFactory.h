#pragma once

#include "platform/automation/Variant.h"

#include <functional>

namespace qp {

// Where work items get their converters: automation objects with the members
// "init" (the document's full path) and "Execute". The defaults make the
// batch converter BatchConverter and the single-document converter SingleDocumentConverter; tests
// put their own makers in their place.
namespace ConverterFactory {

using Maker = std::function<ObjectRef()>;

ObjectRef batch();
ObjectRef single();

// Replace the maker; an empty maker restores the default. Each returns the
// maker that was in place.
Maker setBatch(Maker maker);
Maker setSingle(Maker maker);

} // namespace ConverterFactory

} // namespace qp
