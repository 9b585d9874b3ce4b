#pragma once

// Edit › Preferences: the pressure curve, with presets and the stylus's live pressure shown
// on the curve while it is near the tablet.

#include "pressure_curve.h"

#include <QDialog>

class CurveEditor;
class QLabel;

class PreferencesDialog final : public QDialog {
    Q_OBJECT

public:
    explicit PreferencesDialog(const PressureCurve& curve, QWidget* parent = nullptr);

    PressureCurve curve() const;
    // The stylus's pressure as the tablet reports it, or nothing once it has gone away.
    void showPressure(std::optional<float> raw);

protected:
    // Tablet news reaches whichever widget is under the stylus, so the dialog listens to all.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addPreset(class QBoxLayout& row, const QString& title, const PressureCurve& curve);

    CurveEditor* _editor;
    QLabel* _pressure;
    std::optional<float> _raw;
};
