#pragma once

// The pen properties panel: pen type, transfer mode, opacity, size, smoothing, colour and
// the current pen type's own settings, for the pen of the document the panel shows. It reads the pen
// again on every refresh and sends every change to the document's settings calls, the
// same ones an event script's "set pen.*" lines reach. While no document is shown, or
// another tool is current, it says "(no pen)" and its controls are disabled.
//
// Boxes apply on Enter or when they lose the focus; a number is held inside its control's
// range, other text puts the value back. Escape puts the boxes back and hands the keyboard
// to the drawing through `focusDrawingRequested`. The colour well opens the window's own
// colour panel (the tool colour command), so it never opens a second one.

#include "document_panel.h"
#include "event_script.h"
#include "number_box.h"
#include "pen_type_menu.h"
#include "resources.h"
#include "string_table.h"

#include <QStringList>

#include <functional>

class ColorWell;
class Lua;
class Pen;
class QAction;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;

class PenPanel final : public DocumentPanel {
public:
    // The pen type pop-up is filled once from the pen type menu.
    explicit PenPanel(const PenTypeMenu& penTypes, QWidget* parent = nullptr,
                      const QString& resourceRoot = resource_path());

    // The pen types after the pen scripts were read again.
    void setPenTypes(const PenTypeMenu& penTypes);
    void showDocument(PavoDocument* document) override;
    void refresh() override;
    // The host puts the keyboard back on the drawing.
    std::function<void()> focusDrawingRequested;
    // Each change made here as the script line that makes it, for a recording.
    std::function<void(const ScriptEvent&)> heard;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A box and a slider showing one whole number.
    struct NumberControl {
        QLineEdit* box = nullptr;
        QSlider* slider = nullptr;
        NumberRange boxRange;
        std::function<void(double)> apply;
    };

    void addPenTypes(QMenu& menu, const PenTypeMenu& items);
    void addNumber(QFormLayout& form, const QString& label, NumberControl& control, NumberRange sliderRange);
    void watch(QWidget* control);
    Pen* shownPen() const;
    void showNoPen();
    void showPen(Pen& pen);
    void showCustomParameter();
    void setControlsEnabled(bool enabled);
    static void showNumber(NumberControl& control, double value);

    // What the controls send, then the panel reads the pen again.
    void choosePenType(const QString& title);
    void boxEdited(NumberControl& control);
    void sliderMoved(NumberControl& control, int value);
    void chooseMode(int index);
    void openColorPanel();
    QString selectedParameter() const;
    void tell(const QString& key, const QString& value) const;

    const StringTable _localizable;
    const StringTable _lua_strings;
    // The one the panel was given last; never kept past the next showDocument.
    PavoDocument* _document = nullptr;
    // Identity only, never followed: a change of it rebuilds the parameter list.
    const Lua* _pen_type_id = nullptr;
    QStringList _custom_parameters;

    QPushButton* _pen_type = nullptr;
    QMenu* _pen_menu = nullptr;
    QAction* _current_pen_type = nullptr;
    QComboBox* _mode = nullptr;
    NumberControl _opacity, _size, _smoothing, _custom;
    ColorWell* _color = nullptr;
    QComboBox* _custom_label = nullptr;
};
