#pragma once

// The pen script fixture: a view with a real canvas over a document of its own, a pen with
// plain settings, recorded alerts and log, and a resources folder R with Pens/ and Lib/ beside
// the person's own folder U with the same two ("../U/Pens/x.lua" from R).

#include "canvas.h"
#include "color.h"
#include "fakes.h"
#include "lua_host.h"
#include "pictures.h"
#include "script_context.h"
#include "tool_host.h"

#include <QtCore>

#include <gtest/gtest.h>

#include <memory>

class PenView : public FakeView {
public:
    explicit PenView(float scale = 1, Size size = {400, 300})
        : FakeView(doc, size, AffineTransform::scaling(scale, scale))
    {
        canvas().fill(color_ns::WHITE);
    }
    StrokeArray added() { return doc.drawing().strokes().strokeArray(); }
    void forgetStrokes() { doc.drawing().clear(); }
    FakeDocument doc;
};

// Red at half opacity, so that both show where the settings went.
class FakePen : public ScriptPen {
public:
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
    QColor _color{Qt::red};
    float _opacity = 0.5f, _radius = 5;
    int _mode = kModeNormal;
};

class PenScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(_dir.isValid());
        ASSERT_TRUE(QDir(_dir.path()).mkpath(QStringLiteral("R/Pens")));
        ASSERT_TRUE(QDir(_dir.path()).mkpath(QStringLiteral("R/Lib")));
        ASSERT_TRUE(QDir(_dir.path()).mkpath(QStringLiteral("U/Pens")));
        ASSERT_TRUE(QDir(_dir.path()).mkpath(QStringLiteral("U/Lib")));
        set_log_sink([this](const QString& line) { log << line; });
    }
    void TearDown() override { set_log_sink(nullptr); }

    QString root() const { return _dir.path() + QStringLiteral("/R"); }
    PenFolders folders() const { return {root(), _dir.path() + QStringLiteral("/U")}; }
    QString write(const QString& relative, const QByteArray& text) const
    {
        QFile file(root() + u'/' + relative);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return file.fileName();
    }
    // Runs the text as the pen script R/Pens/test.lua.
    std::unique_ptr<Lua> run(const QByteArray& script, const ScriptLimits& limits = {})
    {
        const QString path = write(QStringLiteral("Pens/test.lua"), script);
        auto lua = Lua::runningFile(path, alerts, folders(), limits);
        EXPECT_TRUE(lua);
        return lua;
    }
    Result<> down(Lua& lua, Point p = {}) { return lua.penDownAt(view, pen, p, 0, {}); }
    Result<> move(Lua& lua, Point p = {}) { return lua.penMoveTo(view, pen, p, 0, {}); }
    Result<> up(Lua& lua) { return lua.penUp(view, pen); }
    // Runs the body as pen_down.
    std::unique_ptr<Lua> onDown(const QByteArray& body)
    {
        auto lua = run("function pen_down(p, r)\n" + body + "\nend\n");
        (void)down(*lua);
        return lua;
    }

    // The message of the only alert so far, which is cleared.
    QString onlyAlert(const QString& title = QStringLiteral("Runtime error"))
    {
        EXPECT_EQ(alerts.alerts.size(), 1u) << shown();
        const auto first = alerts.alerts.empty() ? RecordingAlerts::Alert{title, {}}
                                                  : alerts.alerts.front();
        EXPECT_EQ(first.title, title);
        alerts.alerts.clear();
        return first.message;
    }
    std::string shown() const
    {
        std::string text;
        for (const auto& a : alerts.alerts)
            text += a.title.toStdString() + ": " + a.message.toStdString() + "\n";
        return text;
    }

    RecordingAlerts alerts;
    QStringList log;
    PenView view;
    FakePen pen;

private:
    QTemporaryDir _dir;
};
