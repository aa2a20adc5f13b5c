#pragma once
// The wait window: a one-line stand-by notice, shown while the report is
// generated. It shows itself, runs the work and closes itself.
#include <QWidget>
#include <functional>

class QGroupBox;
class QLabel;

class frmWaitDisplay : public QWidget {
    Q_OBJECT
public:
    explicit frmWaitDisplay(QWidget *parent = nullptr);

    QGroupBox *fraWaitDisplay;
    QLabel *lblWaitDisplay;

    // Shows the notice for WaitDisplayMode, runs the report when the mode
    // is 1, then hides the window again.
    void Form_Load(const std::function<void()> &printReport);
};
