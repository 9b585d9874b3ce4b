#include "help_window.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpWindow::HelpWindow()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Pavo Help"));
    resize(720, 640);
    _browser = new QTextBrowser(this);
    _browser->setOpenExternalLinks(true);
    auto* back = new QPushButton(tr("Back"), this);
    auto* forward = new QPushButton(tr("Forward"), this);
    auto* home = new QPushButton(tr("Contents"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, _browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, _browser, &QTextBrowser::forward);
    connect(home, &QPushButton::clicked, this, [this] { _browser->setSource(_home); });
    connect(_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(home);
    buttons->addStretch();
    auto* column = new QVBoxLayout(this);
    column->addLayout(buttons);
    column->addWidget(_browser);
}

HelpWindow& HelpWindow::showPage(const QUrl& page)
{
    static QPointer<HelpWindow> shown;
    if (!shown) shown = new HelpWindow;
    // The guide's contents sit beside whatever page was asked for.
    shown->_home = page.resolved(QUrl(QStringLiteral("index.html")));
    shown->_browser->setSource(page);
    shown->show();
    shown->raise();
    shown->activateWindow();
    return *shown;
}
