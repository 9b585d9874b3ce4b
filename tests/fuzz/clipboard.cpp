// The clipboard reader. Whatever another program put under the strokes type either is refused
// or gives good strokes and a usable transformation, and copies back to the same record.

#include "fuzz_check.h"
#include "stroke_clipboard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_quiet_log();
    const auto copied = decode_copied_strokes(fuzz_bytes(data, size));
    if (!copied) return 0;
    fuzz_check(copied->view_transform.isUsable(), "a pasted transformation is usable");
    for (const auto& stroke : copied->strokes)
        fuzz_check(stroke && !stroke->bad(), "a pasted stroke is good");

    const QByteArray again = encode_copied_strokes(*copied);
    const auto reread = decode_copied_strokes(again);
    fuzz_check(reread.ok(), "copied strokes paste again");
    fuzz_check(encode_copied_strokes(*reread) == again, "copied strokes paste as they were");
    return 0;
}
