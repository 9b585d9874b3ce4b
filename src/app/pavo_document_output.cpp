// The document's picture output: the copy at scale.

#include "pavo_document.h"
#include "picture_copy.h"

#include <QCoreApplication>

ExportSource PavoDocument::outputSource()
{
    // Exports and prints render what they write themselves; the view's pixels are not needed.
    return ExportSource{strokes(), _view->viewGeometry(), backgroundColor()};
}

void PavoDocument::copyAtScale(float scale)
{
    Clipboard* const clipboard = _shell.clipboard();
    if (!clipboard) return;
    Result<QImage> picture = picture_at_scale(*_view, strokes(), backgroundColor(), scale);
    if (!picture) {
        _alerts.show(QCoreApplication::translate("PavoDocument", "Copy"), picture.error());
        return;
    }
    clipboard->put(picture_mime_data(std::move(*picture)));
}
