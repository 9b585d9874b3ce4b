#pragma once

// A panel that shows and changes the tool settings of the document in front. The
// application hands it that document (none when no drawing window is open) and tells it
// when the document's tools or settings changed.

#include <QWidget>

class PavoDocument;

class DocumentPanel : public QWidget {
public:
    using QWidget::QWidget;

    // The document whose settings the panel shows and changes; null shows the empty state.
    // The panel never keeps a document past the next call.
    virtual void showDocument(PavoDocument* document) = 0;
    // The document's tool, pen type, colours or settings changed: read them again.
    virtual void refresh() = 0;
};
