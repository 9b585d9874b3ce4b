#include "pen_panel.h"

#include "color_well.h"
#include "menu_checks.h"
#include "mode_titles.h"
#include "pavo_document.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <utility>

namespace {

// Between a pen type's name and its key text in the pop-up.
const QString kKeyEquivalentSeparator = QStringLiteral("  ");

constexpr NumberRange kPercent{0, 100};
constexpr NumberRange kSizeSlider{1, 100};
// A box reaches further than its slider: as large a radius as an event script may set.
constexpr NumberRange kSizeBox{1, 1000};

QString menu_text(QString title) { return title.replace(u'&', QStringLiteral("&&")); }

} // namespace

PenPanel::PenPanel(const PenTypeMenu& penTypes, QWidget* parent, const QString& resourceRoot)
    : DocumentPanel(parent),
      _localizable(StringTable::named(resourceRoot, QStringLiteral("Localizable"))),
      _lua_strings(StringTable::named(resourceRoot, QStringLiteral("Lua")))
{
    auto* form = new QFormLayout(this);

    _pen_type = new QPushButton(this);
    _pen_type->setObjectName(QStringLiteral("penType"));
    setPenTypes(penTypes);
    form->addRow(tr("Pen type"), _pen_type);

    _mode = new QComboBox(this);
    _mode->setObjectName(QStringLiteral("penMode"));
    for (int mode = 0; mode < kTransferModeCount; ++mode) {
        _mode->addItem(transfer_mode_title(mode), mode);
    }
    connect(_mode, &QComboBox::activated, this, &PenPanel::chooseMode);
    form->addRow(tr("Mode"), _mode);

    _opacity = {nullptr, nullptr, kPercent, [this](double v) {
                    _document->setPenOpacity(float(shown_number(v) / 100.0));
                    tell(QStringLiteral("pen.opacity"), QString::number(_document->pen().opacity()));
                }};
    addNumber(*form, tr("Opacity %"), _opacity, kPercent);
    _opacity.box->setObjectName(QStringLiteral("penOpacityBox"));
    _opacity.slider->setObjectName(QStringLiteral("penOpacitySlider"));
    _size = {nullptr, nullptr, kSizeBox, [this](double v) {
                 _document->setPenSize(float(shown_number(v)));
                 tell(QStringLiteral("pen.radius"), QString::number(_document->pen().radius()));
             }};
    addNumber(*form, tr("Size"), _size, kSizeSlider);
    _size.box->setObjectName(QStringLiteral("penSizeBox"));
    _size.slider->setObjectName(QStringLiteral("penSizeSlider"));
    _smoothing = {nullptr, nullptr, kPercent, [this](double v) {
                      _document->setPenSmoothing(float(shown_number(v) / 100.0));
                      tell(QStringLiteral("pen.smoothing"), QString::number(_document->pen().smoothing()));
                  }};
    addNumber(*form, tr("Smoothing %"), _smoothing, kPercent);
    _smoothing.box->setObjectName(QStringLiteral("penSmoothingBox"));
    _smoothing.slider->setObjectName(QStringLiteral("penSmoothingSlider"));

    _color = new ColorWell(this);
    _color->setObjectName(QStringLiteral("penColor"));
    connect(_color, &QToolButton::clicked, this, &PenPanel::openColorPanel);
    _color->colorDropped = [this](const QColor& color) {
        if (!shownPen()) return;
        _document->setPenColor(color);
        tell(QStringLiteral("pen.color"), _document->pen().color().name().mid(1).toUpper());
        refresh();
    };
    form->addRow(tr("Colour"), _color);

    _custom_label = new QComboBox(this);
    _custom_label->setObjectName(QStringLiteral("penCustomLabel"));
    connect(_custom_label, &QComboBox::currentIndexChanged, this, [this] { showCustomParameter(); });
    form->addRow(tr("Setting"), _custom_label);
    // The value sent back is the number as it stands, not rounded: a box shows whole steps only.
    _custom = {nullptr, nullptr, {}, [this](double v) {
                   const QString name = selectedParameter();
                   if (name.isEmpty()) return;
                   _document->setPenParameter(name, float(v));
                   tell(QStringLiteral("pen.param.") + name, QString::number(_document->pen().getParameter(name)));
               }};
    addNumber(*form, QString(), _custom, {});
    _custom.box->setObjectName(QStringLiteral("penCustomBox"));
    _custom.slider->setObjectName(QStringLiteral("penCustomSlider"));

    for (QWidget* control : std::initializer_list<QWidget*>{_pen_type, _mode, _color, _custom_label}) watch(control);
    showNoPen();
}

void PenPanel::setPenTypes(const PenTypeMenu& penTypes)
{
    auto* types = new QMenu(_pen_type);
    _current_pen_type = types->addAction(tr("Current pen type"));
    _current_pen_type->setData(_current_pen_type->text());
    connect(_current_pen_type, &QAction::triggered, this, [this] { choosePenType(_current_pen_type->data().toString()); });
    types->addSeparator();
    addPenTypes(*types, penTypes);
    // The old menu is the button's child and would live as long as the panel.
    delete std::exchange(_pen_menu, types);
    _pen_type->setMenu(types);
}

void PenPanel::addPenTypes(QMenu& menu, const PenTypeMenu& items)
{
    for (const PenTypeMenuItem& item : items) {
        QString title = item.title;
        if (const auto key = key_equivalent_string(item.keyEquivalent, item.modifierMask, _localizable))
            title += kKeyEquivalentSeparator + *key;
        if (item.isSubmenu()) {
            addPenTypes(*menu.addMenu(menu_text(title)), item.children);
            continue;
        }
        QAction* action = menu.addAction(menu_text(title));
        action->setData(title);
        connect(action, &QAction::triggered, this, [this, title] { choosePenType(title); });
    }
}

void PenPanel::addNumber(QFormLayout& form, const QString& label, NumberControl& control, NumberRange sliderRange)
{
    auto* row = new QHBoxLayout;
    control.box = new QLineEdit(this);
    control.box->setMaximumWidth(60);
    control.slider = new QSlider(Qt::Horizontal, this);
    control.slider->setRange(sliderRange.min, sliderRange.max);
    row->addWidget(control.box);
    row->addWidget(control.slider, 1);
    form.addRow(label, row);
    connect(control.box, &QLineEdit::editingFinished, this, [this, &control] { boxEdited(control); });
    connect(control.slider, &QSlider::valueChanged, this, [this, &control](int v) { sliderMoved(control, v); });
    watch(control.box);
    watch(control.slider);
}

void PenPanel::watch(QWidget* control)
{
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
}

bool PenPanel::eventFilter(QObject* watched, QEvent* event)
{
    const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
    if (!key || key->key() != Qt::Key_Escape) return DocumentPanel::eventFilter(watched, event);
    // What was typed and not applied is put back before the focus leaves the box.
    refresh();
    if (focusDrawingRequested) focusDrawingRequested();
    return true;
}

// Showing

void PenPanel::showDocument(PavoDocument* document)
{
    // Shown again, the same document keeps its setting selection.
    if (document != _document) _pen_type_id = nullptr;
    _document = document;
    refresh();
}

Pen* PenPanel::shownPen() const
{
    if (!_document || _document->tool() != &_document->pen()) return nullptr;
    return &_document->pen();
}

void PenPanel::refresh()
{
    if (Pen* pen = shownPen()) showPen(*pen);
    else showNoPen();
}

void PenPanel::setControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{_mode, _opacity.box, _opacity.slider, _size.box,
                                                           _size.slider, _smoothing.box, _smoothing.slider,
                                                           _color})
        control->setEnabled(enabled);
    const bool custom = enabled && !_custom_parameters.isEmpty();
    for (QWidget* control : std::initializer_list<QWidget*>{_custom_label, _custom.box, _custom.slider})
        control->setEnabled(custom);
}

void PenPanel::showNoPen()
{
    // The parameter list and its selection stay for the same pen type coming back.
    if (!_document) _pen_type_id = nullptr;
    setControlsEnabled(false);
    const QString title = tr("(no pen)");
    _current_pen_type->setText(menu_text(title));
    _current_pen_type->setData(title);
    _pen_type->setText(menu_text(title));
}

void PenPanel::showNumber(NumberControl& control, double value)
{
    const int shown = shown_number(value);
    const QSignalBlocker quietBox(control.box), quietSlider(control.slider);
    control.box->setText(QString::number(shown));
    control.slider->setValue(shown);
}

void PenPanel::showPen(Pen& pen)
{
    if (pen.penTypeId() != _pen_type_id) {
        _pen_type_id = pen.penTypeId();
        _custom_parameters = pen.customParameters();
        const QSignalBlocker quiet(_custom_label);
        _custom_label->clear();
        for (const QString& name : std::as_const(_custom_parameters)) _custom_label->addItem(_lua_strings.translate(name));
    }
    setControlsEnabled(true);
    {
        const QSignalBlocker quiet(_mode);
        const int index = _mode->findData(pen.transferMode());
        if (index >= 0) _mode->setCurrentIndex(index);
    }
    showNumber(_opacity, pen.opacity() * 100.0);
    showNumber(_size, pen.radius());
    showNumber(_smoothing, pen.smoothing() * 100.0);
    if (pen.penTypeName()) {
        // The name alone is what choosing this item sends.
        const QString title = pen.penTypeNameWithKeyEquivalent().trimmed();
        _current_pen_type->setText(menu_text(title));
        _current_pen_type->setData(title);
        _pen_type->setText(menu_text(title));
    }
    _color->setColor(pen.color());
    showCustomParameter();
}

void PenPanel::showCustomParameter()
{
    Pen* pen = shownPen();
    const QString name = selectedParameter();
    if (!pen || name.isEmpty()) return;
    const NumberRange range = parameter_range(pen->parameterMin(name), pen->parameterMax(name));
    _custom.boxRange = range;
    {
        const QSignalBlocker quiet(_custom.slider);
        _custom.slider->setRange(range.min, range.max);
    }
    showNumber(_custom, pen->getParameter(name));
}

QString PenPanel::selectedParameter() const
{
    const int index = _custom_label->currentIndex();
    return index >= 0 && index < _custom_parameters.size() ? _custom_parameters[index] : QString();
}

// Changing

void PenPanel::choosePenType(const QString& title)
{
    if (!shownPen()) return;
    // A name holding the separator itself is cut there and then chooses nothing.
    if (_document->setPenTypeName(title.section(kKeyEquivalentSeparator, 0, 0)))
        tell(QStringLiteral("pen.type"), _document->pen().penTypeName().value_or(QString()));
    refresh();
}

void PenPanel::boxEdited(NumberControl& control)
{
    // Leaving a box that was not typed into must not round the pen's value to what it shows.
    if (!shownPen() || !control.box->isModified()) return;
    if (const auto value = typed_number(control.box->text(), control.boxRange)) control.apply(*value);
    // Shows the value the pen took, or the old one again after text that is no number.
    refresh();
}

void PenPanel::sliderMoved(NumberControl& control, int value)
{
    if (!shownPen()) return;
    control.apply(value);
    refresh();
}

void PenPanel::chooseMode(int index)
{
    if (!shownPen() || index < 0) return;
    _document->setPenTransferMode(_mode->itemData(index).toInt());
    tell(QStringLiteral("pen.mode"), _document->pen().transferModeString());
    refresh();
}

void PenPanel::openColorPanel()
{
    if (!shownPen()) return;
    // The window's colour panel is taken over when it is open already, never doubled.
    _document->perform(QStringLiteral("penTool:"));
    _document->perform(QStringLiteral("toolColor:"));
    refresh();
}

void PenPanel::tell(const QString& key, const QString& value) const
{
    if (!heard) return;
    ScriptEvent e;
    e.kind = ScriptEvent::Kind::Set;
    e.name = key;
    e.text = value;
    heard(e);
}
