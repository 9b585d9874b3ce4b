#include "tool_panel.h"

#include "event_script.h"
#include "fill_properties.h"
#include "pavo_document.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

namespace {

struct ToolTab {
    const char* title;
    const char* action;
    const char* about;
};

// In the order of the Tools menu; the fill tab holds the fill settings instead of a note.
constexpr std::array<ToolTab, 6> kTabs{{
    {QT_TR_NOOP("Pen"), "penTool:", QT_TR_NOOP("The pen's type, size, opacity and colour are in the Pen panel.")},
    {QT_TR_NOOP("Arrow"), "arrowTool:", QT_TR_NOOP("Selects, moves, turns and scales strokes.")},
    {QT_TR_NOOP("Fill"), "fillTool:", nullptr},
    {QT_TR_NOOP("Zoom"), "zoomTool:", QT_TR_NOOP("Click to zoom in, with Alt to zoom out.")},
    {QT_TR_NOOP("Move"), "moveTool:", QT_TR_NOOP("Drag to move the view.")},
    {QT_TR_NOOP("Rotate"), "rotateTool:", QT_TR_NOOP("Drag to turn the view.")},
}};

} // namespace

ToolPanel::ToolPanel(QWidget* parent) : DocumentPanel(parent), _tabs(new QTabWidget(this)), _fill(new FillProperties)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(_tabs);
    for (const ToolTab& tab : kTabs) {
        QWidget* page = _fill;
        if (tab.about) {
            auto* note = new QLabel(tr(tab.about));
            note->setWordWrap(true);
            note->setAlignment(Qt::AlignTop | Qt::AlignLeft);
            page = note;
        }
        _tabs->addTab(page, tr(tab.title));
    }
    connect(_tabs, &QTabWidget::currentChanged, this, &ToolPanel::tabChosen);
    showDocument(nullptr);
}

void ToolPanel::showDocument(PavoDocument* document)
{
    _document = document;
    refresh();
}

void ToolPanel::refresh()
{
    _tabs->setEnabled(_document != nullptr);
    if (!_document) return _fill->setFillTool(nullptr, nullptr);
    const QString action = _document->currentToolAction();
    for (std::size_t i = 0; i < kTabs.size(); ++i) {
        if (action != QLatin1String(kTabs[i].action)) continue;
        const QSignalBlocker quiet(_tabs);
        _tabs->setCurrentIndex(int(i));
    }
    const bool filling = _document->tool() == &_document->fill();
    _fill->setFillTool(filling ? &_document->fill() : nullptr, _document);
}

void ToolPanel::onInput(std::function<void(const ScriptEvent&)> heard)
{
    _heard = std::move(heard);
    _fill->onChange([this](const QString& key, const QString& value) {
        ScriptEvent e;
        e.kind = ScriptEvent::Kind::Set;
        e.name = key;
        e.text = value;
        if (_heard) _heard(e);
    });
}

void ToolPanel::tabChosen(int index)
{
    if (!_document || index < 0 || index >= int(kTabs.size())) return;
    const QString action = QString::fromLatin1(kTabs[std::size_t(index)].action);
    if (_heard) {
        ScriptEvent e;
        e.kind = ScriptEvent::Kind::Action;
        e.name = action;
        _heard(e);
    }
    _document->perform(action);
    if (_chosen) _chosen();
}
