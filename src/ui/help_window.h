#pragma once

// The user's guide in a window of the program's own: the shipped pages in a text browser,
// so that help works where no web browser is installed. One help window serves the whole
// program; links out of the guide go to the desktop's browser.

#include <QUrl>
#include <QWidget>

class QTextBrowser;

class HelpWindow final : public QWidget {
    Q_OBJECT

public:
    // Shows the page in the help window, made on first use, and brings it forward.
    static HelpWindow& showPage(const QUrl& page);
    QTextBrowser& browser() { return *_browser; }

private:
    HelpWindow();
    QTextBrowser* _browser = nullptr;
    QUrl _home;
};
