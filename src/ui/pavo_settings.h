#pragma once

// What a person set that outlasts the drawing: each pen type's size, opacity, smoothing and
// colour, the pen type last used, the fill settings, the pressure curve, the frame of the last window closed and the
// recent colours. New drawings start from them, in this run and after a restart. They live
// in the application's QSettings (organisation and application "Pavo"), away from the
// document, which knows nothing of settings.
//
// Values read back are checked as a script's settings are: a file edited by hand or left
// by another version can hold anything, and a value out of range is left out, so the
// program's own default stands.

#include <QColor>
#include <QList>
#include <QRect>
#include <QSettings>
#include <QStringList>

#include <optional>

class PavoDocument;

class PavoSettings {
public:
    static constexpr int kRecentColourCount = 8;

    // Gives the document the pen types' and the fill's remembered settings, then the pen
    // type last used; the names of the pen types given settings.
    QStringList applyTo(PavoDocument& document);
    // Keeps the document's current pen type with its settings, and the fill's.
    void remember(PavoDocument& document);

    // The window's place and the drawing area's size, in view pixels.
    std::optional<QRect> windowFrame();
    void rememberWindowFrame(const QRect& frame);

    // Newest first, at most kRecentColourCount, no colour twice.
    QList<QColor> recentColours();
    // Puts the colour in front; the list as it is now.
    QList<QColor> noteRecentColour(const QColor& colour);

    // The tablet's pressure curve, for every drawing from now on.
    void rememberPressureCurve(const QString& curveText);

    // Back to the program's defaults: everything above is forgotten.
    void reset();

private:
    QSettings _settings;
};
