#pragma once

// The status bar's reading of one drawing window: the zoom in percent and the view's turn in
// degrees, the current tool and pen type, the size (the fill's expand with the fill tool),
// opacity and colour as a swatch. Clicking the zoom offers the usual zooms and Fit; a choice
// goes back to the window as a command, so it is recorded and replayed like the menus'.
//
// The window fills a DrawingStatusInfo whenever the view or the tool display changes; the
// texts are made here, so that tests can read what a person reads.

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QPixmap;
class QToolButton;

// A small square of the colour, framed so that white shows against a light background.
QPixmap colour_swatch(const QColor& colour);

struct DrawingStatusInfo {
    float scale = 1;
    float degrees = 0;
    QString tool;
    QString penType;
    // The pen's radius, or the fill's expand when `fillTool`.
    float size = 0;
    bool fillTool = false;
    float opacity = 1;
    QColor colour;
};

class DrawingStatus final : public QWidget {
    Q_OBJECT

public:
    using Perform = std::function<void(const QString& action, const QString& title)>;
    // The zoom percentages the zoom's menu offers, before Fit.
    static constexpr int kZoomChoices[] = {25, 50, 100, 200, 400};

    explicit DrawingStatus(Perform perform, QWidget* parent = nullptr);
    void showInfo(const DrawingStatusInfo& info);

    static QString zoomText(float scale);
    static QString degreesText(float degrees);

private:
    QLabel* addLabel(const char* objectName);

    Perform _perform;
    QToolButton* _zoom = nullptr;
    QLabel* _rotation = nullptr;
    QLabel* _tool = nullptr;
    QLabel* _pen_type = nullptr;
    QLabel* _size = nullptr;
    QLabel* _opacity = nullptr;
    QLabel* _swatch = nullptr;
};
