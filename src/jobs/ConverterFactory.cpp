#include "ConverterFactory.h"

#include "Converters.h"

namespace qp {

ObjectRef ConverterFactory::batch() const {
    return batchMaker_ ? batchMaker_() : std::make_shared<BatchConverter>(mediator_);
}

ObjectRef ConverterFactory::single() const {
    return singleMaker_ ? singleMaker_() : std::make_shared<SingleDocumentConverter>(mediator_);
}

ConverterFactory::Maker ConverterFactory::setBatch(Maker maker) {
    std::swap(batchMaker_, maker);
    return maker;
}

ConverterFactory::Maker ConverterFactory::setSingle(Maker maker) {
    std::swap(singleMaker_, maker);
    return maker;
}

} // namespace qp
