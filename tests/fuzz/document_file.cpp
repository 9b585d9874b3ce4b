// The drawing-file reader. Any bytes either fail to load or give a drawing that renders, and
// that saves and reads back to the same archive: whatever opens can be kept.

#include "canvas.h"
#include "document_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_quiet_log();
    const auto document = loadDataRepresentation(fuzz_bytes(data, size));
    if (!document) return 0;

    const auto canvas = PavoCanvas::create({48, 32});
    if (document->view_transform) canvas->setTransform(*document->view_transform);
    document->strokes->drawInCanvas(*canvas);

    const auto saved = dataRepresentation(*document);
    fuzz_check(saved.ok(), "a loaded drawing saves");
    const auto reopened = loadDataRepresentation(*saved);
    fuzz_check(reopened.ok(), "a saved drawing reopens");
    fuzz_check(archive::to_bytes(encodeDocument(*reopened)) ==
                   archive::to_bytes(encodeDocument(*document)),
               "a saved drawing reopens as it was");
    return 0;
}
