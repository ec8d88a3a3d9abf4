// Base64: attachments and binary values arrive encoded from the server.
#include "core/util/Base64.h"
#include "fuzz/FuzzSupport.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    Base64::decode(bytes.constData(), bytes.size());
    Base64::decode(fuzz::textOf(data, size));
    const std::optional<QByteArray> roundTrip = Base64::decode(Base64::encode(bytes));
    fuzz::require(roundTrip && *roundTrip == bytes, "decoding what was encoded gives the bytes back");
    return 0;
}
