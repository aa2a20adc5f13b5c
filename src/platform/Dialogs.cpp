#include "Dialogs.h"

QString Dialogs::buttonName(Button b)
{
    switch (b) {
    case Button::OK: return QStringLiteral("OK");
    case Button::Cancel: return QStringLiteral("Cancel");
    case Button::Abort: return QStringLiteral("Abort");
    case Button::Retry: return QStringLiteral("Retry");
    case Button::Ignore: return QStringLiteral("Ignore");
    case Button::Yes: return QStringLiteral("Yes");
    case Button::No: return QStringLiteral("No");
    }
    return {};
}

QString Dialogs::iconName(Icon i)
{
    switch (i) {
    case Icon::None: return QStringLiteral("none");
    case Icon::Critical: return QStringLiteral("critical");
    case Icon::Question: return QStringLiteral("question");
    case Icon::Exclamation: return QStringLiteral("exclamation");
    case Icon::Information: return QStringLiteral("information");
    }
    return {};
}

QString Dialogs::trappedErrorText(int number, const QString &description)
{
    return QStringLiteral("Error Number = %1\r\n\r\n%2").arg(number).arg(description);
}
