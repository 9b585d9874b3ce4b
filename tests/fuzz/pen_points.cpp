// The byte form of a stroke's samples. Any bytes either are refused or give samples that
// encode back to bytes which decode to the same samples.

#include "fuzz_check.h"
#include "pen_points.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto points = PenPoints::decode({data, size});
    if (!points) return 0;
    const auto bytes = points->encode();
    fuzz_check(bytes.has_value(), "decoded samples encode");
    const auto again = PenPoints::decode(*bytes);
    fuzz_check(again.ok(), "encoded samples decode");
    fuzz_check(again->encode() == bytes, "samples read back as they were");
    return 0;
}
