#include "export_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSettings>
#include <QSpinBox>

#include <cmath>

namespace {

const QStringList kFormats{QStringLiteral("PNG"), QStringLiteral("GIF"), QStringLiteral("JPEG"),
                           QStringLiteral("TIFF"), QStringLiteral("SVG"), QStringLiteral("PDF")};
constexpr ImageFormat kFormatValues[] = {ImageFormat::Png, ImageFormat::Gif,  ImageFormat::Jpeg,
                                         ImageFormat::Tiff, ImageFormat::Svg, ImageFormat::Pdf};

// The other side in the view's proportions, rounded half up.
const QString kFormatKey = QStringLiteral("export/format");
const QString kJpegQualityKey = QStringLiteral("export/jpegQuality");
const QString kPngInterlacedKey = QStringLiteral("export/pngInterlaced");
const QString kTiffLzwKey = QStringLiteral("export/tiffLzw");

int proportional(int given, float to, float from) { return int(float(given) * to / from + 0.5f); }

} // namespace

ExportDialog::ExportDialog(Size view, const QString& startName, QWidget* parent) : QDialog(parent), _view(view)
{
    setWindowTitle(tr("Export"));
    auto* form = new QFormLayout(this);

    _file = new QLineEdit(startName, this);
    _file->setObjectName(QStringLiteral("fileName"));
    auto* choose = new QPushButton(tr("Choose…"), this);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(_file);
    fileRow->addWidget(choose);
    form->addRow(tr("File:"), fileRow);

    _format = new QComboBox(this);
    _format->setObjectName(QStringLiteral("format"));
    _format->addItems(kFormats);
    form->addRow(tr("Format:"), _format);

    const auto side = [this](const char* name, float value) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(1, kMaxExportSide);
        box->setSuffix(tr(" pixels"));
        box->setValue(int(value));
        return box;
    };
    _width = side("width", view.width);
    _height = side("height", view.height);
    form->addRow(tr("Width:"), _width);
    form->addRow(tr("Height:"), _height);

    _jpeg_quality = new QSpinBox(this);
    _jpeg_quality->setObjectName(QStringLiteral("jpegQuality"));
    _jpeg_quality->setRange(0, 100);
    _jpeg_quality->setSuffix(QStringLiteral(" %"));
    _jpeg_quality->setValue(80);
    form->addRow(tr("JPEG quality:"), _jpeg_quality);
    _png_interlaced = new QCheckBox(tr("Interlaced PNG"), this);
    _png_interlaced->setObjectName(QStringLiteral("pngInterlaced"));
    form->addRow(QString(), _png_interlaced);
    _tiff_lzw = new QCheckBox(tr("LZW compression"), this);
    _tiff_lzw->setObjectName(QStringLiteral("tiffLzw"));
    _tiff_lzw->setChecked(true);
    form->addRow(QString(), _tiff_lzw);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(tr("Export"));
    ok->setEnabled(!startName.trimmed().isEmpty());
    connect(_file, &QLineEdit::textChanged, ok, [ok](const QString& text) { ok->setEnabled(!text.trimmed().isEmpty()); });
    form->addRow(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(choose, &QPushButton::clicked, this, &ExportDialog::chooseFile);
    connect(_file, &QLineEdit::textEdited, this,
            [this](const QString& text) { setExportExtension(QFileInfo(text).suffix()); });
    connect(_format, &QComboBox::currentIndexChanged, this, &ExportDialog::formatChanged);
    connect(_width, &QSpinBox::valueChanged, this, &ExportDialog::widthChanged);
    connect(_height, &QSpinBox::valueChanged, this, &ExportDialog::heightChanged);
    restoreChoices();
    setExportExtension(QFileInfo(startName).suffix());
    updateOptions();
}

// The options of the last export, kept in the settings for the next one.
void ExportDialog::restoreChoices()
{
    const QSettings settings;
    _jpeg_quality->setValue(settings.value(kJpegQualityKey, _jpeg_quality->value()).toInt());
    _png_interlaced->setChecked(settings.value(kPngInterlacedKey, false).toBool());
    _tiff_lzw->setChecked(settings.value(kTiffLzwKey, true).toBool());
}

void ExportDialog::accept()
{
    QSettings settings;
    settings.setValue(kFormatKey, formatName().toLower());
    settings.setValue(kJpegQualityKey, _jpeg_quality->value());
    settings.setValue(kPngInterlacedKey, _png_interlaced->isChecked());
    settings.setValue(kTiffLzwKey, _tiff_lzw->isChecked());
    QDialog::accept();
}

QString ExportDialog::lastExtension()
{
    const QString saved = QSettings().value(kFormatKey).toString();
    return kFormats.contains(saved.toUpper()) ? saved : QStringLiteral("png");
}

QString ExportDialog::formatName() const { return _format->currentText(); }

void ExportDialog::setExportExtension(const QString& extension)
{
    const qsizetype index = kFormats.indexOf(extension.toUpper());
    if (index < 0) return;
    const QSignalBlocker quiet(_format);
    _format->setCurrentIndex(int(index));
    updateOptions();
}

void ExportDialog::formatChanged()
{
    updateOptions();
    const QString name = _file->text();
    const QFileInfo info(name);
    const QString stem = info.suffix().isEmpty() ? name : name.chopped(info.suffix().size() + 1);
    if (!stem.isEmpty()) _file->setText(stem + u'.' + formatName().toLower());
}

void ExportDialog::updateOptions()
{
    const QString f = formatName();
    _jpeg_quality->setEnabled(f == u"JPEG");
    _tiff_lzw->setEnabled(f == u"TIFF");
    _png_interlaced->setEnabled(f == u"PNG");
}

void ExportDialog::widthChanged(int width)
{
    if (_following) return;
    _following = true;
    _height->setValue(proportional(width, _view.height, _view.width));
    _following = false;
}

void ExportDialog::heightChanged(int height)
{
    if (_following) return;
    _following = true;
    _width->setValue(proportional(height, _view.width, _view.height));
    _following = false;
}

void ExportDialog::chooseFile()
{
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Export To"), _file->text(), {}, nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return;
    _file->setText(chosen);
    setExportExtension(QFileInfo(chosen).suffix());
}

ExportRequest ExportDialog::request() const
{
    ExportRequest r;
    const QString ext = formatName().toLower();
    r.path = _file->text().trimmed();
    // The file's extension names what it holds, as with a save panel's required type.
    if (QFileInfo(r.path).suffix().toLower() != ext) r.path += u'.' + ext;
    r.format = kFormatValues[_format->currentIndex()];
    r.width = _width->value();
    r.height = _height->value();
    r.options.jpegQuality = _jpeg_quality->value();
    r.options.pngInterlaced = _png_interlaced->isChecked();
    r.options.tiffLzw = _tiff_lzw->isChecked();
    return r;
}
