#include "sound/model/BitDepthConvertDecorator.h"

#include <boost/make_shared.hpp>

namespace SL {

boost::shared_ptr<IInputSampleIterator> CreateBitDepthConvertDecorator(
    const CBitDepth& sourceFormat, const CBitDepth& destinationFormat,
    const boost::shared_ptr<IInputSampleIterator>& source) {
    using Result = boost::shared_ptr<IInputSampleIterator>;
    const auto none = [] { return Result(); };
    return DispatchFileFormat(
        destinationFormat.GetCode(),
        [&](auto to) {
            return DispatchFileFormat(
                sourceFormat.GetCode(),
                [&](auto from) {
                    constexpr EBitDepth From = decltype(from)::value;
                    constexpr EBitDepth To = decltype(to)::value;
                    auto typed = AsTypedSource<From>(source);
                    if (!typed) return Result();
                    return Result(
                        boost::make_shared<CSampleIteratorBitDepthConvertDecorator<From, To>>(std::move(typed)));
                },
                none);
        },
        none);
}

}  // namespace SL
