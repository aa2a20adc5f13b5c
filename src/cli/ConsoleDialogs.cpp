#include "ConsoleDialogs.h"
#include <QRegularExpression>

QString ConsoleDialogs::oneLine(const QString &title, const QString &text)
{
    QString t = text;
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    t.replace(breaks, QStringLiteral(" / "));
    return title + QStringLiteral(": ") + t;
}

Dialogs::Button ConsoleDialogs::messageBox(Icon, Buttons buttons, const QString &title, const QString &text)
{
    ++shown_;
    std::fprintf(out_, "%s\n", oneLine(title, text).toLocal8Bit().constData());
    std::fflush(out_);
    if (answerYes_ && (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel))
        return Button::Yes;
    switch (buttons) {
    case Buttons::OK: return Button::OK;
    case Buttons::OKCancel:
    case Buttons::RetryCancel:
    case Buttons::YesNoCancel: return Button::Cancel;
    case Buttons::YesNo: return Button::No;
    case Buttons::AbortRetryIgnore: return Button::Abort;
    }
    return Button::OK;
}

std::optional<QString> ConsoleDialogs::inputBox(const QString &prompt, const QString &title, const QString &)
{
    ++shown_;
    std::fprintf(out_, "%s\n", oneLine(title, prompt).toLocal8Bit().constData());
    return std::nullopt;
}
