#include "ConverterFactory.h"

#include "DecObj.h"

namespace qp::ConverterFactory {

namespace {
Maker batchMaker;
Maker singleMaker;
} // namespace

ObjectRef batch() {
    return batchMaker ? batchMaker() : std::make_shared<DecObj>();
}

ObjectRef single() {
    return singleMaker ? singleMaker() : std::make_shared<DecObj2>();
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
