#pragma once

// The desktop's clipboard, shared by every window of the program and with other programs.

#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

class SystemClipboard final : public Clipboard {
public:
    void put(std::unique_ptr<QMimeData> data) override
    {
        QGuiApplication::clipboard()->setMimeData(data.release());
    }
    const QMimeData* contents() const override { return QGuiApplication::clipboard()->mimeData(); }
};
