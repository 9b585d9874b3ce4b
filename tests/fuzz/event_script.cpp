// The event-script reader. Any text either stops at a malformed line, named by its number,
// or gives events each of which writes a line that reads back as the same event.

#include "event_script.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(fuzz_bytes(data, size));
    const auto script = parse_event_script(text);
    if (!script) {
        fuzz_check(script.error().startsWith(QLatin1String("line ")), "a refusal names its line");
        return 0;
    }
    for (ScriptEvent e : script->events) {
        if (unformattable_reason(e)) continue;
        const auto reread = parse_event_script(format_event(e));
        fuzz_check(reread.ok() && reread->events.size() == 1, "a written event reads back");
        e.line = 1;
        fuzz_check(reread->events.front() == e, "a written event reads back as itself");
    }
    return 0;
}
