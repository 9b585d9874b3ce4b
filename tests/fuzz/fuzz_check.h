#pragma once

// What the fuzz targets share: the input as Qt bytes, the model's log kept quiet, and a
// broken promise reported as a crash, which is what the fuzzer and the corpus replay look for.

#include "strokes.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline QByteArray fuzz_bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// The model's log lines and Qt's warnings (a damaged picture makes the decoder complain)
// are expected for damaged input, and writing them would only slow the run.
inline void fuzz_quiet_log()
{
    static const bool once = [] {
        set_log_sink([](const QString&) {});
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return true;
    }();
    (void)once;
}

inline void fuzz_check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
