#pragma once

// What the fuzz targets share: the input as Qt bytes, the logs kept quiet (damaged input
// makes the model and Qt complain, and writing it all would only slow the run), and a broken
// promise reported as a crash, which is what the fuzzer and the corpus replay look for.

// The model's log sink, through a header beside its strokes.h (the tests have one too).
#include "document_file.h"

#include <cstdio>
#include <cstdlib>

inline QByteArray fuzz_bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

inline void fuzz_quiet_log()
{
    static const bool quiet = (set_log_sink([](const QString&) {}),
                               qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}),
                               true);
    (void)quiet;
}

inline void fuzz_check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
