#include "ConverterFactory.h"

#include "Converters.h"

namespace qp::ConverterFactory {

namespace {
Maker batchMaker;
Maker singleMaker;
} // namespace

ObjectRef batch() {
    return batchMaker ? batchMaker() : std::make_shared<BatchConverter>();
}

ObjectRef single() {
    return singleMaker ? singleMaker() : std::make_shared<SingleDocumentConverter>();
}

Maker setBatch(Maker maker) {
    std::swap(batchMaker, maker);
    return maker;
}

Maker setSingle(Maker maker) {
    std::swap(singleMaker, maker);
    return maker;
}

} // namespace qp::ConverterFactory
