#pragma once
// An up-down control bound to a text box: the arrows step the number in the
// box by Increment between Min and Max, without wrapping; an arrow pressed at
// its bound does nothing.
#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit *buddy, int min, int max, QWidget *parent = nullptr);
    int Min() const { return min_; }
    int Max() const { return max_; }
    void setRange(int min, int max)
    {
        min_ = min;
        max_ = max;
    }
    QLineEdit *buddy() const { return buddy_; }
    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

signals:
    void changed();

private:
    void step(int dir);
    QLineEdit *buddy_;
    QToolButton *up_;
    QToolButton *down_;
    int min_;
    int max_;
};
