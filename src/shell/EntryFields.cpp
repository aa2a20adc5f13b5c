#include "EntryFields.h"
#include "Dialogs.h"
#include "PollLoop.h"
#include "UpDown.h"
#include "Utilities.h"
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <cmath>

EntryFields::EntryFields(Dialogs &dialogs, QWidget *focusSink, QObject *parent)
    : QObject(parent), dialogs_(dialogs), focusSink_(focusSink)
{}

void EntryFields::add(int index, QLineEdit *text, UpDown *updown, const QString &boxTitle)
{
    fields_.append(Field{index, text, updown, boxTitle});
    text->installEventFilter(this);
    if (updown)
        connect(updown, &UpDown::changed, this, [this, index] {
            if (Field *f = find(index))
                onStepped(*f);
        });
}

EntryFields::Field *EntryFields::find(int index)
{
    for (Field &f : fields_)
        if (f.index == index)
            return &f;
    return nullptr;
}

const EntryFields::Field *EntryFields::find(int index) const
{
    for (const Field &f : fields_)
        if (f.index == index)
            return &f;
    return nullptr;
}

EntryFields::Field *EntryFields::find(const QObject *text)
{
    for (Field &f : fields_)
        if (f.text == text)
            return &f;
    return nullptr;
}

bool EntryFields::editing(int index) const
{
    const Field *f = find(index);
    return f && f->editing;
}

void EntryFields::clearEditing()
{
    for (Field &f : fields_)
        f.editing = false;
}

void EntryFields::show(int index, const QString &text)
{
    Field *f = find(index);
    if (f && !f->editing && f->text->text() != text)
        f->text->setText(text);
}

QLineEdit *EntryFields::text(int index) const
{
    const Field *f = find(index);
    return f ? f->text : nullptr;
}

UpDown *EntryFields::updown(int index) const
{
    const Field *f = find(index);
    return f ? f->updown : nullptr;
}

std::optional<double> EntryFields::parseNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)\\s*$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

qint64 EntryFields::roundHalfEven(double v)
{
    double whole = std::floor(v);
    const double frac = v - whole;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return qint64(whole);
}

qint32 EntryFields::wholeValue(const QString &text)
{
    const std::optional<double> v = parseNumber(text);
    if (!v || *v > 2147483647.0 || *v < -2147483648.0)
        return 0;
    return qint32(roundHalfEven(*v));
}

void EntryFields::begin(Field &f)
{
    f.editing = true;
    escapePending_ = false;
    f.oldValue = wholeValue(f.text->text());
    SelectAllText(f.text);
}

bool EntryFields::validate(Field &f)
{
    escapePending_ = false;
    const int lower = f.updown ? f.updown->Min() : 0;
    const int upper = f.updown ? f.updown->Max() : 0;
    const std::optional<double> v = parseNumber(f.text->text());
    if (v && *v >= lower && *v <= upper) {
        f.editing = false;
        emit accepted(f.index, qint32(roundHalfEven(*v)));
        return true;
    }
    // Rejected. A field the click went to does not begin editing: the focus
    // comes back here.
    for (Field &other : fields_)
        if (&other != &f && other.text->hasFocus())
            other.editing = false;
    const int index = f.index;
    {
        inBox_ = true;
        std::optional<PollLoop::Hold> hold;
        if (poll_)
            hold.emplace(*poll_);
        dialogs_.messageBox(Dialogs::Icon::Information, Dialogs::Buttons::OK, f.boxTitle,
                            QStringLiteral("Only a Number Between %1 and %2 can be Entered").arg(lower).arg(upper));
        inBox_ = false;
    }
    Field *back = find(index);   // the window may have changed while the box was up
    if (!back)
        return false;
    back->text->setText(QString::number(back->oldValue));
    // The field stays in editing when it can take the focus back; on a page
    // that is no longer shown it cannot, and the poll shows it again.
    const bool canFocus = back->text->isEnabled() && back->text->isVisibleTo(back->text->window());
    if (canFocus)
        back->text->setFocus(Qt::OtherFocusReason);
    back->editing = canFocus;
    SelectAllText(back->text);
    return false;
}

void EntryFields::onStepped(Field &f)
{
    f.editing = false;
    escapePending_ = false;
    if (focusSink_)
        focusSink_->setFocus(Qt::OtherFocusReason);
    emit stepped(f.index, wholeValue(f.text->text()), f.text->text());
}

bool EntryFields::eventFilter(QObject *obj, QEvent *e)
{
    Field *f = find(obj);
    if (!f || inBox_)
        return QObject::eventFilter(obj, e);
    switch (e->type()) {
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton && f->text->isEnabled())
            begin(*f);
        break;
    case QEvent::FocusIn: {
        const Qt::FocusReason r = static_cast<QFocusEvent *>(e)->reason();
        if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason)
            begin(*f);
        break;
    }
    case QEvent::FocusOut: {
        const Qt::FocusReason r = static_cast<QFocusEvent *>(e)->reason();
        if (!f->editing || r == Qt::ActiveWindowFocusReason || r == Qt::PopupFocusReason || r == Qt::MenuBarFocusReason)
            break;
        // The focus has gone elsewhere (a click, an access key, a page
        // change): check the entry once the focus has settled.
        const int index = f->index;
        QTimer::singleShot(0, this, [this, index] {
            Field *g = find(index);
            if (g && g->editing && !g->text->hasFocus())
                validate(*g);
        });
        break;
    }
    case QEvent::KeyPress: {
        auto *k = static_cast<QKeyEvent *>(e);
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            escapePending_ = false;
            if (validate(*f)) {
                QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
                QCoreApplication::sendEvent(f->text, &tab);
            }
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
                break;
            // Checked before the focus moves, so a rejected entry keeps it.
            if (f->editing && !validate(*f))
                return true;
            break;
        case Qt::Key_Escape:
            f->text->setText(QString::number(f->oldValue));
            if (escapePending_) {
                escapePending_ = false;
                f->editing = false;
                if (focusSink_)
                    focusSink_->setFocus(Qt::OtherFocusReason);
            } else {
                escapePending_ = true;
                SelectAllText(f->text);
            }
            return true;
        default: escapePending_ = false; break;
        }
        break;
    }
    default: break;
    }
    return QObject::eventFilter(obj, e);
}
