#pragma once

// A tool that writes every call it receives into a log shared with the document, so that
// tests can check the order in which the view and the document talk to tools. Shared by
// the tool and the view tests.

#include "tool.h"
#include "tool_host.h"

#include <QPainter>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using CallLog = std::vector<std::string>;

class RecordingTool : public Tool {
public:
    RecordingTool(std::string name, CallLog& log) : _name(std::move(name)), _log(log) {}

    const std::string& name() const { return _name; }
    // Ends every gesture as a single-use navigation tool does, going back to its target.
    void endGesturesIn(ToolDocument* document) { _document = document; }

    // Every event received, in order, as it arrived.
    std::vector<ToolEvent> events;
    std::function<void(const ToolEvent&, ToolView&)> onDown;
    std::function<void(QPainter&)> onDraw;
    ToolCursor cursor;

    void toolDownEvent(const ToolEvent& e, ToolView& view) override
    {
        record("down", e);
        if (onDown) onDown(e, view);
    }
    void toolMoveEvent(const ToolEvent& e) override { record("move", e); }
    void toolUpEvent(const ToolEvent& e) override
    {
        record("up", e);
        if (_document) after(*_document);
    }
    void toolFlagsChanged(const ToolEvent& e) override
    {
        events.push_back(e);
        _log.push_back(_name + ":flags " + std::to_string(e.modifierFlags));
    }
    void toolDrawInView(ToolView&, QPainter& painter) override
    {
        _log.push_back(_name + ":draw");
        if (onDraw) onDraw(painter);
    }
    void toolActivate() override { _log.push_back(_name + ":activate"); }
    void toolDeactivate() override { _log.push_back(_name + ":deactivate"); }
    ToolCursor toolCursor() const override { return cursor; }

private:
    void record(const char* what, const ToolEvent& e)
    {
        events.push_back(e);
        _log.push_back(_name + ":" + what + " " + std::to_string(int(e.location.x)) + "," +
                       std::to_string(int(e.location.y)));
    }

    std::string _name;
    CallLog& _log;
    ToolDocument* _document = nullptr;
};

// The document's tool switch: nothing for the current tool; otherwise the old tool is
// deactivated, the new one becomes current and is activated.
inline void switch_tool(Tool*& current, Tool* next, CallLog& log)
{
    const auto* recording = dynamic_cast<const RecordingTool*>(next);
    log.push_back("setTool " + (recording ? recording->name() : std::string("none")));
    if (next == current) return;
    if (current) current->toolDeactivate();
    current = next;
    if (current) current->toolActivate();
}
