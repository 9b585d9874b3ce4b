#pragma once

// The tool panel: one tab per tool of the document in front, the current tool's tab chosen.
// Choosing a tab chooses that tool in the document. The fill tab holds the fill settings;
// the pen's settings have a panel of their own, and the other tools have none.

#include "document_panel.h"

#include <functional>

class FillProperties;
struct ScriptEvent;
class QTabWidget;

class ToolPanel final : public DocumentPanel {
public:
    explicit ToolPanel(QWidget* parent = nullptr);

    void showDocument(PavoDocument* document) override;
    void refresh() override;

    PavoDocument* document() const { return _document; }
    QTabWidget& tabs() { return *_tabs; }
    FillProperties& fill() { return *_fill; }
    // Called after a tab chose a tool, to bring the drawing forward.
    void onToolChosen(std::function<void()> chosen) { _chosen = std::move(chosen); }
    // Hears each choice and setting as the event script line that makes it, for recordings.
    void onInput(std::function<void(const ScriptEvent&)> heard);

private:
    void tabChosen(int index);

    QTabWidget* _tabs;
    FillProperties* _fill;
    PavoDocument* _document = nullptr;
    std::function<void()> _chosen;
    std::function<void(const ScriptEvent&)> _heard;
};
