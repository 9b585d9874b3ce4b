// The window's export and printing: the dialogs around the document's picture output.

#include "document_window.h"

#include "event_script.h"
#include "export_dialog.h"
#include "input_blocker.h"
#include "pavo_application.h"
#include "print_drawing.h"

#include <QDir>
#include <QEventLoop>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QThread>

#include <atomic>


void DocumentWindow::exportPicture()
{
    const QSize shown = drawingAreaSize();
    const QString start = QFileInfo(displayName()).completeBaseName();
    ExportDialog dialog(Size{float(shown.width()), float(shown.height())},
                        QDir::home().filePath(start + u'.' + ExportDialog::lastExtension()), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const ExportRequest request = dialog.request();
    const auto job = ExportJob::create(_document->outputSource());
    if (!job) return showError(tr("The picture could not be exported"), tr("There is not enough memory."));

    // The job renders on a thread of its own; a long one shows its progress and can be
    // cancelled, and a cancelled one leaves no file behind.
    std::atomic<bool> cancelled{false};
    Result<> result;
    QProgressDialog progress(tr("Exporting %1…").arg(QFileInfo(request.path).fileName()), tr("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QEventLoop waiting;
    const std::unique_ptr<QThread> worker(QThread::create([&] { result = job->run(request, cancelled); }));
    connect(worker.get(), &QThread::finished, &waiting, &QEventLoop::quit);
    connect(&progress, &QProgressDialog::canceled, &waiting, [&] { cancelled = true; });
    // The crash copy would read the strokes while the job does; it waits for the job.
    _recovery_timer.stop();
    {
        const InputBlocker blocker(progress);
        worker->start();
        waiting.exec();
        worker->wait();
    }
    _recovery_timer.start();
    progress.reset();
    if (cancelled) return;
    if (!result) return showError(tr("The picture could not be exported"), result.error());
    if (_app.recording()) {
        ScriptEvent e;
        e.kind = ScriptEvent::Kind::Export;
        e.text = request.path;
        e.hasSize = true;
        e.width = request.width;
        e.height = request.height;
        _app.record(e, drawingAreaSize());
    }
}

void DocumentWindow::print(bool preview)
{
    QPrinter printer(QPrinter::HighResolution);
    const QSize shown = drawingAreaSize();
    printer.setPageOrientation(shown.width() > shown.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setDocName(displayName());
    const auto paint = [this](QPrinter* target) {
        QPainter painter;
        if (!painter.begin(target)) return showError(tr("The drawing could not be printed"), tr("The printer cannot be used."));
        const QRect page = target->pageLayout().paintRectPixels(target->resolution());
        const Result<> printed = print_drawing(painter, QRectF(QPointF(0, 0), page.size()), _document->outputSource());
        painter.end();
        if (!printed) showError(tr("The drawing could not be printed"), printed.error());
    };
    if (preview) {
        QPrintPreviewDialog dialog(&printer, this);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this, paint);
        dialog.exec();
        return;
    }
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) paint(&printer);
}
