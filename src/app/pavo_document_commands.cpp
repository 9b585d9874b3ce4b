// The drawing commands of the menus, by action name.

#include "pavo_document.h"
#include "string_table.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include <functional>
#include <map>

namespace {

using Command = std::function<void(PavoDocument&, const QString& title)>;

// The named colours of the colour menu.
const std::map<QString, QColor>& named_colors()
{
    static const std::map<QString, QColor> colors = {
        {QStringLiteral("setBlackColor:"), QColor::fromRgbF(0, 0, 0)},
        {QStringLiteral("setBlueColor:"), QColor::fromRgbF(0, 0, 1)},
        {QStringLiteral("setBrownColor:"), QColor::fromRgbF(0.6f, 0.4f, 0.2f)},
        {QStringLiteral("setCyanColor:"), QColor::fromRgbF(0, 1, 1)},
        {QStringLiteral("setGreenColor:"), QColor::fromRgbF(0, 1, 0)},
        {QStringLiteral("setMagentaColor:"), QColor::fromRgbF(1, 0, 1)},
        {QStringLiteral("setOrangeColor:"), QColor::fromRgbF(1, 0.5f, 0)},
        {QStringLiteral("setPurpleColor:"), QColor::fromRgbF(0.5f, 0, 0.5f)},
        {QStringLiteral("setRedColor:"), QColor::fromRgbF(1, 0, 0)},
        {QStringLiteral("setYellowColor:"), QColor::fromRgbF(1, 1, 0)},
        {QStringLiteral("setWhiteColor:"), QColor::fromRgbF(1, 1, 1)},
    };
    return colors;
}

// The leading number of a menu title ("50%" reads 50); 0 when it starts with none.
double leading_number(const QString& title)
{
    const QString t = title.trimmed();
    qsizetype end = 0;
    while (end < t.size() && (t[end].isDigit() || t[end] == u'.' || (end == 0 && (t[end] == u'-' || t[end] == u'+'))))
        ++end;
    bool ok = false;
    const double value = t.left(end).toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace

// What each action does; the document's own operations carry the work.
struct PavoDocumentCommands {
    static const std::map<QString, Command>& table();
};

const std::map<QString, Command>& PavoDocumentCommands::table()
{
    static const std::map<QString, Command> commands = [] {
        std::map<QString, Command> c;
        const auto add = [&c](const char* name, Command command) { c[QString::fromLatin1(name)] = std::move(command); };
        add("penTool:", [](PavoDocument& d, const QString&) { d.setTool(&d.pen()); });
        // A fresh record of failures: a script still broken says so again.
        add("reloadPenTypes:", [](PavoDocument& d, const QString&) {
            d.reloadPenTypes(PenFolders(d.penFolders().resources, d.penFolders().user));
        });
        add("zoomTool:", [](PavoDocument& d, const QString&) { d.setTool(&d.zoom()); });
        add("rotateTool:", [](PavoDocument& d, const QString&) { d.setTool(&d.rotate()); });
        add("moveTool:", [](PavoDocument& d, const QString&) { d.setTool(&d.move()); });
        add("fillTool:", [](PavoDocument& d, const QString&) { d.setTool(&d.fill()); });
        add("arrowTool:", [](PavoDocument& d, const QString&) { d.setTool(&d.arrow()); });
        add("zoomToRect:", [](PavoDocument& d, const QString&) { d.useOnce(d.zoom()); });
        add("rotate:", [](PavoDocument& d, const QString&) { d.useOnce(d.rotate()); });
        add("move:", [](PavoDocument& d, const QString&) { d.useOnce(d.move()); });
        add("selectAll:", [](PavoDocument& d, const QString&) { d.selectAll(); });
        add("bringForward:", [](PavoDocument& d, const QString&) { d.arrange(Drawing::Arrangement::BringForward); });
        add("bringToFront:", [](PavoDocument& d, const QString&) { d.arrange(Drawing::Arrangement::BringToFront); });
        add("sendBackward:", [](PavoDocument& d, const QString&) { d.arrange(Drawing::Arrangement::SendBackward); });
        add("sendToBack:", [](PavoDocument& d, const QString&) { d.arrange(Drawing::Arrangement::SendToBack); });
        add("setPenType:", [](PavoDocument& d, const QString& title) { d.setPenTypeName(title); });
        add("penSize:", [](PavoDocument& d, const QString& title) { d.setPenSize(float(leading_number(title))); });
        add("penOpacity:", [](PavoDocument& d, const QString& title) {
            // The integer value of the title, so "50%" is 0.5.
            d.setPenOpacity(float(int(leading_number(title))) / 100.0f);
        });
        add("penSizeOther:", [](PavoDocument&, const QString&) {});
        add("penOpacityOther:", [](PavoDocument&, const QString&) {});
        for (const auto& [name, color] : named_colors()) {
            const QColor chosen = color;
            c[name] = [chosen](PavoDocument& d, const QString&) { d.setToolColor(chosen); };
        }
        add("toolColor:", [](PavoDocument& d, const QString&) { d.showToolColorPanel(); });
        add("showSetBackgroundColor:", [](PavoDocument& d, const QString&) { d.showBackgroundColorPanel(); });
        add("clearBackgroundColor:", [](PavoDocument& d, const QString&) { d.clearBackgroundColor(); });
        add("delete:", [](PavoDocument& d, const QString&) { d.deleteSelection(); });
        add("mergeStrokes:", [](PavoDocument& d, const QString&) { d.mergeStrokes(); });
        add("clear:", [](PavoDocument& d, const QString&) { d.clearDrawing(); });
        add("copy:", [](PavoDocument& d, const QString&) { d.copy(); });
        add("cut:", [](PavoDocument& d, const QString&) { d.cut(); });
        add("paste:", [](PavoDocument& d, const QString&) { d.paste(); });
        add("duplicate:", [](PavoDocument& d, const QString&) { d.duplicate(); });
        add("undo:", [](PavoDocument& d, const QString&) { d.undo(); });
        add("redo:", [](PavoDocument& d, const QString&) { d.redo(); });
        add("zoomIn:", [](PavoDocument& d, const QString&) { d.view().zoomIn(); });
        add("zoomOut:", [](PavoDocument& d, const QString&) { d.view().zoomOut(); });
        add("zoomToFit:", [](PavoDocument& d, const QString&) { d.view().zoomToFit(); });
        add("resetRotation:", [](PavoDocument& d, const QString&) { d.view().resetRotation(); });
        add("actualSize:", [](PavoDocument& d, const QString&) { d.view().actualSize(); });
        add("rotateViewLeft:", [](PavoDocument& d, const QString&) { d.view().turnSteps(-1); });
        add("rotateViewRight:", [](PavoDocument& d, const QString&) { d.view().turnSteps(1); });
        add("showHelp:", [](PavoDocument& d, const QString&) { d.openHelp(QStringLiteral("index.html")); });
        add("releaseNotes:", [](PavoDocument& d, const QString&) { d.openHelp(QStringLiteral("release-notes.html")); });
        add("latestNews:", [](PavoDocument& d, const QString&) { d.openHelp(QStringLiteral("latest-news.html")); });
        add("copyBitmap:", [](PavoDocument& d, const QString&) { d.copyAtScale(1); });
        add("copyBitmapDoubleResolution:", [](PavoDocument& d, const QString&) { d.copyAtScale(2); });
        add("copyBitmapTripleResolution:", [](PavoDocument& d, const QString&) { d.copyAtScale(3); });
        add("copyBitmapQuadrupleResolution:", [](PavoDocument& d, const QString&) { d.copyAtScale(4); });
        add("sendFeedback:", [](PavoDocument& d, const QString&) { d.sendFeedback(); });
        // The status bar's zoom choices: the title is the zoom in percent, about the view's centre.
        add("zoomTo:", [](PavoDocument& d, const QString& title) {
            PavoView& view = d.view();
            view.zoomToPoint(point(view.viewSize()) / 2.0f, float(leading_number(title) / 100.0) / view.scale());
        });
        return c;
    }();
    return commands;
}

bool PavoDocument::knowsAction(const QString& action)
{
    return PavoDocumentCommands::table().contains(action);
}

bool PavoDocument::perform(const QString& action, const QString& title)
{
    const auto& table = PavoDocumentCommands::table();
    const auto found = table.find(action);
    if (found == table.end()) return false;
    found->second(*this, title);
    return true;
}

std::optional<QColor> PavoDocument::namedColor(const QString& action)
{
    const auto found = named_colors().find(action);
    if (found == named_colors().end()) return std::nullopt;
    return found->second;
}

void PavoDocument::showToolColorPanel() { _shell.showColorPanel(ColorPanelTarget::Tool, toolColor()); }

void PavoDocument::showBackgroundColorPanel()
{
    _shell.showColorPanel(ColorPanelTarget::Background, _drawing.backgroundColor().value_or(Qt::white));
}

void PavoDocument::openHelp(const QString& page)
{
    // The guide in the person's language where there is one.
    const QString path = localized_file(QDir(_resource_root).filePath(QStringLiteral("Help")), page);
    if (!_shell.openUrl(QUrl::fromLocalFile(path)))
        _alerts.show(QCoreApplication::translate("PavoDocument", "Help"),
                     QCoreApplication::translate("PavoDocument", "No program could open %1.").arg(path));
}

void PavoDocument::sendFeedback()
{
    const QUrl mail(QStringLiteral("mailto:feedback@pavo.example.org?subject=Pavo%20feedback"));
    if (!_shell.openUrl(mail))
        _alerts.show(QCoreApplication::translate("PavoDocument", "Send Feedback"),
                     QCoreApplication::translate("PavoDocument", "No e-mail program is set up; write to feedback@pavo.example.org."));
}
