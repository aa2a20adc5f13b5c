#pragma once
// The program's own help window: the technician's manual (Help/ORVEL.html)
// in a browser with a contents button.
#include <QWidget>

class QTextBrowser;
class QPushButton;

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(const QString &file, QWidget *parent = nullptr);
    void showContents();
    QTextBrowser *browser() const { return browser_; }
    // Why the last page could not be shown (a folder, a named pipe, too
    // large...); empty when it was.
    QString loadError() const;

    // The manual and each picture in it are read whole; none is larger.
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

private:
    QString file_;
    QTextBrowser *browser_;
    QPushButton *contents_;
    QPushButton *back_;
};
