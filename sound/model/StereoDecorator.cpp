#include "sound/model/StereoDecorator.h"

#include <boost/make_shared.hpp>

namespace SL {

boost::shared_ptr<IInputSampleIterator> CreateStereoDecorator(const CBitDepth& sourceFormat,
                                                              const boost::shared_ptr<IInputSampleIterator>& source) {
    using Result = boost::shared_ptr<IInputSampleIterator>;
    return DispatchFileFormat(
        sourceFormat.GetCode(),
        [&](auto format) {
            constexpr EBitDepth F = decltype(format)::value;
            auto typed = AsTypedSource<F>(source);
            if (!typed) return Result();
            return Result(boost::make_shared<CSampleIteratorStereoDecorator<F>>(std::move(typed)));
        },
        [] { return Result(); });
}

}  // namespace SL
