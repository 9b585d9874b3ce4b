#pragma once

// Fakes for the pen script tests: a view with a real canvas that records what it is asked
// to redisplay, a document that keeps the strokes added to it, a pen with plain settings,
// alerts that record instead of showing, and a resources folder R with Pens/ and Lib/ in a
// temporary directory. The view and the pen take themselves out of the shared context when
// they go, as the application's do.

#include "canvas.h"
#include "color.h"
#include "lua_host.h"
#include "script_context.h"
#include "strokes.h"
#include "tool_host.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

struct Alert {
    QString title;
    QString message;
};

class RecordingAlerts : public ScriptAlerts {
public:
    void show(const QString& title, const QString& message) override
    {
        alerts.push_back({title, message});
    }
    std::vector<Alert> alerts;
};

class FakeDocument : public ToolDocument, private DrawingObserver {
public:
    FakeDocument() { model.setObserver(this); }
    Tool* tool() override { return nullptr; }
    void setTool(Tool*) override {}
    void setToolColor(const QColor& color) override { toolColor = color; }
    void refreshCursor() override { ++cursorRefreshes; }
    Drawing& drawing() override { return model; }
    // The strokes added on top, in order.
    StrokeArray added;
    Drawing model;
    QColor toolColor;
    int cursorRefreshes = 0;

private:
    void drawingChanged(const DrawingChange& change) override
    {
        if (change.kind == DrawingChange::StrokeAdded) added.push_back(change.stroke);
    }
    void editedChanged(bool) override {}
};

class FakeView : public ToolView {
public:
    // The drawing is shown at `scale`, its origin at the view's origin.
    explicit FakeView(float scale = 1, Size size = {64, 48})
        : _canvas(PavoCanvas::create(size)), _scale(scale)
    {
        _canvas->setTransform(AffineTransform::scaling(scale, scale));
        _canvas->fill(color_ns::WHITE);
    }
    ~FakeView() override { script_context().forgetView(this); }

    PavoCanvas& canvas() override { return *_canvas; }
    float scale() const override { return _scale; }
    AffineTransform transform() const override { return _canvas->transform(); }
    void setNeedsDisplayInRect(const Rect& viewRect) override { marked.push_back(viewRect); }
    void setNeedsDisplay() override {}
    QColor backgroundColor() const override { return Qt::white; }
    ToolDocument& document() override { return doc; }
    bool zoomToPoint(Point, float) override { return false; }
    bool zoomToBitmapRect(const Rect&) override { return false; }
    bool rotateFrom(Point, Point) override { return false; }
    bool moveFrom(Point, Point) override { return false; }

    FakeDocument doc;
    std::vector<Rect> marked;

private:
    std::unique_ptr<PavoCanvas> _canvas;
    float _scale;
};

class FakePen : public ScriptPen {
public:
    ~FakePen() override { script_context().forgetPen(this); }
    QColor color() const override { return _color; }
    void setColor(const QColor& c) override { _color = c; }
    float opacity() const override { return _opacity; }
    void setOpacity(float o) override { _opacity = o; }
    float radius() const override { return _radius; }
    void setRadius(float r) override { _radius = r; }
    int transferMode() const override { return _mode; }
    QString transferModeString() const override
    {
        return QString::fromStdString(transfer_mode_name(_mode));
    }
    void setTransferModeString(const QString& name) override
    {
        _mode = transfer_mode_from_name(name.toLower().toStdString());
    }

    QColor _color{Qt::black};
    float _opacity = 1;
    float _radius = 5;
    int _mode = kModeNormal;
};

// A resources folder R with Pens/ and Lib/, and a recording of alerts and log lines.
class PenScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(_dir.isValid());
        ASSERT_TRUE(QDir(_dir.path()).mkpath(QStringLiteral("R/Pens")));
        ASSERT_TRUE(QDir(_dir.path()).mkpath(QStringLiteral("R/Lib")));
        script_context() = ScriptContext{};
        set_log_sink([this](const QString& line) { log << line; });
    }
    void TearDown() override { set_log_sink(nullptr); }

    QString root() const { return _dir.path() + QStringLiteral("/R"); }

    // Writes a file under R and returns its path.
    QString write(const QString& relative, const QByteArray& text) const
    {
        const QString path = root() + u'/' + relative;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return path;
    }

    // Runs the text as the pen script R/Pens/test.lua.
    std::unique_ptr<Lua> run(const QByteArray& script, const ScriptLimits& limits = {})
    {
        const QString path = write(QStringLiteral("Pens/test.lua"), script);
        std::unique_ptr<Lua> lua = Lua::runningFile(path, alerts, root(), limits);
        EXPECT_TRUE(lua);
        return lua;
    }

    // The message of the only alert so far, or a failure.
    QString onlyAlert(const QString& title = QStringLiteral("Runtime error")) const
    {
        EXPECT_EQ(alerts.alerts.size(), 1u);
        if (alerts.alerts.empty()) return {};
        EXPECT_EQ(alerts.alerts.front().title, title);
        return alerts.alerts.front().message;
    }

    // Every alert so far, for failure messages.
    std::string shown() const
    {
        std::string text;
        for (const Alert& a : alerts.alerts)
            text += a.title.toStdString() + ": " + a.message.toStdString() + "\n";
        return text;
    }

    RecordingAlerts alerts;
    QStringList log;

private:
    QTemporaryDir _dir;
};
