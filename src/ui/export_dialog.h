#pragma once

// The export dialog: the file, the format, the picture's size kept in the view's
// proportions, and the options of the chosen format. The format follows an extension typed
// into the file name (gif, jpeg, png or tiff, in any case), and choosing a format gives the
// file name that format's extension.

#include "export_job.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class ExportDialog final : public QDialog {
    Q_OBJECT

public:
    // `view` is the view's size in pixels, the picture's size to begin with.
    ExportDialog(Size view, const QString& startName, QWidget* parent = nullptr);

    // The file name as typed, with the format's extension added when it ends in another.
    ExportRequest request() const;
    // Selects the format named by the extension; other extensions change nothing.
    void setExportExtension(const QString& extension);
    // An accepted export keeps its format and options in the settings; a new dialog takes
    // the options, and the window names the file with the last format's extension.
    void accept() override;
    static QString lastExtension();

private:
    void restoreChoices();
    void formatChanged();
    void widthChanged(int width);
    void heightChanged(int height);
    void chooseFile();
    void updateOptions();
    QString formatName() const;

    Size _view;
    QLineEdit* _file = nullptr;
    QComboBox* _format = nullptr;
    QSpinBox* _width = nullptr;
    QSpinBox* _height = nullptr;
    QSpinBox* _jpeg_quality = nullptr;
    QCheckBox* _png_interlaced = nullptr;
    QCheckBox* _tiff_lzw = nullptr;
    // Set while one size field follows the other, so that the other does not answer back.
    bool _following = false;
};
