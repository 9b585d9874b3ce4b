#pragma once

// The clipboard the document copies to and pastes from. The desktop window hands over the
// system's clipboard; a headless replay keeps one in memory, so that a script can copy and
// then paste within the process.

#include <QMimeData>

#include <memory>

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces everything the clipboard holds.
    virtual void put(std::unique_ptr<QMimeData> data) = 0;
    // What it holds; null when it holds nothing.
    virtual const QMimeData* contents() const = 0;
};

class MemoryClipboard final : public Clipboard {
public:
    void put(std::unique_ptr<QMimeData> data) override { _data = std::move(data); }
    const QMimeData* contents() const override { return _data.get(); }

private:
    std::unique_ptr<QMimeData> _data;
};
