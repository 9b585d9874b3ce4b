#pragma once

// The fill tab of the tool panel: the fill tool's colour, opacity, tolerance, expand, gap
// closing, precision and transfer mode. It shows the fill tool of the document it serves and sends every change
// to that document, through the same settings an event script's "set fill.*" lines use.
// While another tool is current its controls are disabled but keep their last values.

#include <QString>
#include <QWidget>

#include <functional>

class ColorWell;
class FillTool;
class NumberPair;
class PavoDocument;
class QComboBox;
class QToolButton;

class FillProperties : public QWidget {
public:
    // The largest growth the panel offers, in pixels; event scripts accept the same.
    static constexpr int kLargestExpand = 100;

    explicit FillProperties(QWidget* parent = nullptr);

    // The fill tool to show, or null to disable the controls; the document receives the
    // changes (none for a null document).
    void setFillTool(FillTool* fill, PavoDocument* document);
    PavoDocument* document() const { return _document; }
    // Hears each change as the event script line that makes it ("fill.opacity", "0.35"), so
    // that a recording of the person's input replays it.
    void onChange(std::function<void(const QString& key, const QString& value)> noted) { _noted = std::move(noted); }

    QComboBox& mode() { return *_mode; }
    NumberPair& opacity() { return *_opacity; }
    NumberPair& tolerance() { return *_tolerance; }
    NumberPair& expand() { return *_expand; }
    NumberPair& gap() { return *_gap; }
    QComboBox& precision() { return *_precision; }
    ColorWell& colorWell() { return *_color; }

private:
    void setControlsEnabled(bool enabled);
    void chooseColor();
    void send(const char* key, const QString& value, const std::function<void(PavoDocument&)>& apply);

    QComboBox* _mode;
    NumberPair* _opacity;
    NumberPair* _tolerance;
    NumberPair* _expand;
    NumberPair* _gap;
    QComboBox* _precision;
    ColorWell* _color;
    PavoDocument* _document = nullptr;
    std::function<void(const QString&, const QString&)> _noted;
};
