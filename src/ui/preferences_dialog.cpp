#include "preferences_dialog.h"

#include "curve_editor.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabletEvent>

PreferencesDialog::PreferencesDialog(const PressureCurve& curve, QWidget* parent)
    : QDialog(parent), _editor(new CurveEditor(this)), _pressure(new QLabel(this))
{
    setWindowTitle(tr("Preferences"));
    auto* group = new QGroupBox(tr("Pressure curve"), this);
    auto* column = new QVBoxLayout(group);
    auto* help = new QLabel(tr("Drag a point to bend the curve, click to add one, double-click a point to remove it."), group);
    help->setWordWrap(true);
    column->addWidget(help);
    _editor->setCurve(curve);
    column->addWidget(_editor, 1);
    auto* presets = new QHBoxLayout;
    addPreset(*presets, tr("Soft"), PressureCurve::soft());
    addPreset(*presets, tr("Linear"), PressureCurve::linear());
    addPreset(*presets, tr("Firm"), PressureCurve::firm());
    presets->addStretch();
    column->addLayout(presets);
    _pressure->setWordWrap(true);
    column->addWidget(_pressure);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addWidget(buttons);
    connect(_editor, &CurveEditor::curveChanged, this, [this] { showPressure(_raw); });
    showPressure(std::nullopt);
    // A hovering stylus reaches only widgets that track it.
    setTabletTracking(true);
    for (QWidget* child : findChildren<QWidget*>()) child->setTabletTracking(true);
    qApp->installEventFilter(this);
}

void PreferencesDialog::addPreset(QBoxLayout& row, const QString& title, const PressureCurve& curve)
{
    auto* button = new QPushButton(title, this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, curve] {
        _editor->setCurve(curve);
        showPressure(_raw);
    });
    row.addWidget(button);
}

PressureCurve PreferencesDialog::curve() const { return _editor->curve(); }

void PreferencesDialog::showPressure(std::optional<float> raw)
{
    _raw = raw;
    _editor->setMarker(raw);
    _pressure->setText(raw ? tr("Pressure from the tablet %1 %, drawn at %2 %")
                                 .arg(qRound(*raw * 100))
                                 .arg(qRound(_editor->curve().map(*raw) * 100))
                           : tr("Bring the stylus near the tablet to see its pressure on the curve."));
}

bool PreferencesDialog::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::TabletEnterProximity:
    case QEvent::TabletMove:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        showPressure(float(static_cast<QTabletEvent*>(event)->pressure()));
        break;
    case QEvent::TabletLeaveProximity:
        showPressure(std::nullopt);
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}
