#include "UpDown.h"
#include "EntryFields.h"
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

UpDown::UpDown(QLineEdit *buddy, int min, int max, QWidget *parent)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max)
{
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setFixedWidth(18);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        lay->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    if (buddy_)
        setFixedHeight(buddy_->sizeHint().height());
}

void UpDown::step(int dir)
{
    if (!buddy_ || !isEnabled())
        return;
    // Steps from the number in the box, rounded; text that is no number is
    // left for the box's own check rather than replaced by a bound.
    const std::optional<double> typed = EntryFields::parseNumber(buddy_->text());
    if (!typed)
        return;
    const long long from = EntryFields::roundHalfEven(qBound(-1e15, *typed, 1e15));
    // At its bound (or past it) the arrow has no step to make: nothing is
    // taken, the entry stays as it is.
    if ((dir > 0 && from >= max_) || (dir < 0 && from <= min_))
        return;
    buddy_->setText(QString::number(std::clamp<long long>(from + dir, min_, max_)));
    emit changed();
}
