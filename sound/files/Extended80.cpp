#include "sound/files/Extended80.h"

#include "general_tools/Extended80Conversion.h"

#include <istream>
#include <ostream>

namespace SL {

double Extended80ToDouble(const std::uint8_t* bytes) { return GT::Extended80ToDouble(bytes); }

void DoubleToExtended80(double value, std::uint8_t* bytes) { GT::DoubleToExtended80(value, bytes); }

bool ReadExtended80(const GT::CEndianed& order, std::istream& in, double& value) {
    GT::CEndianedStreamUtilities(order.GetByteOrder()).ReadExtended80(in, value);
    return !in.fail();
}

bool WriteExtended80(const GT::CEndianed& order, std::ostream& out, double value) {
    GT::CEndianedStreamUtilities(order.GetByteOrder()).WriteExtended80(out, value);
    return !out.fail();
}

}  // namespace SL
