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

private:
    QString file_;
    QTextBrowser *browser_;
    QPushButton *contents_;
    QPushButton *back_;
};
