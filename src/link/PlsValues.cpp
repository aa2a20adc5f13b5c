#include "PlsValues.h"

namespace plsvalues {
namespace {

const QString kTwoBreaks = QStringLiteral("\r\n\r\n");

// The reason a value cannot be sent, or an empty text. max < 0: only a
// negative value is refused (the operation checks the upper end itself).
QString problem(const QString &what, int value, int max)
{
    if (value < 0)
        return QStringLiteral("%1 %2 cannot be sent to the PLS: it must not be negative.").arg(what).arg(value);
    if (max >= 0 && value > max)
        return QStringLiteral("%1 %2 cannot be sent to the PLS: it must be from 0 to %3.")
            .arg(what)
            .arg(value)
            .arg(max);
    return {};
}

struct Check {
    QString what;
    int value;
    int max;
};

Refusal first(const QString &title, const QString &consequence, std::initializer_list<Check> checks)
{
    for (const Check &c : checks) {
        const QString p = problem(c.what, c.value, c.max);
        if (!p.isEmpty())
            return {title, p + kTwoBreaks + consequence};
    }
    return {};
}

constexpr int kByte = 255;
constexpr int kWord = 65535;
constexpr int kLeftToTheOperation = -1;

}   // namespace

Refusal singleSetpoint(int chan, int onSetpoint, int offSetpoint)
{
    return first(QStringLiteral("PLS Single Setpoint"), QStringLiteral("Channel can not be programmed."),
                 {{QStringLiteral("Channel"), chan, kByte},
                  {QStringLiteral("ON Setpoint"), onSetpoint, kWord},
                  {QStringLiteral("OFF Setpoint"), offSetpoint, kWord}});
}

Refusal pulseTrain(int chan, int onDivision, int offDivision, int startDivision)
{
    return first(QStringLiteral("PLS Pulse Train"), QStringLiteral("PLS Channel will not be Programmed."),
                 {{QStringLiteral("Channel"), chan, kByte},
                  {QStringLiteral("ON Division"), onDivision, kLeftToTheOperation},
                  {QStringLiteral("OFF Division"), offDivision, kLeftToTheOperation},
                  {QStringLiteral("START Division"), startDivision, kWord}});
}

Refusal clearChannel(int chan)
{
    return first(QStringLiteral("PLS Clear Channel"), QStringLiteral("PLS Channel will not be Cleared."),
                 {{QStringLiteral("Channel"), chan, kByte}});
}

Refusal recallChannel(int chan)
{
    return first(QStringLiteral("PLS Recall Channel"), QStringLiteral("PLS Channel will not be Recalled."),
                 {{QStringLiteral("Channel"), chan, kByte}});
}

Refusal setOffset(int position)
{
    return first(QStringLiteral("Set PLS Offset"), QStringLiteral("PLS Offset will not be Programmed."),
                 {{QStringLiteral("Desired Position"), position, kLeftToTheOperation}});
}

Refusal configDownload(const std::array<int, kConfigParams> &cfgParam, int scaleFactor)
{
    const QString title = QStringLiteral("PLS Download");
    const QString consequence = QStringLiteral("PLS Configuration will not be Downloaded.");
    for (int i = 0; i < kConfigParams; ++i) {
        if (Refusal r =
                first(title, consequence,
                      {{QStringLiteral("Configuration parameter %1 value").arg(i), cfgParam[size_t(i)], kByte}}))
            return r;
    }
    // The PLS would refuse a scale factor of 0 only after the four blocks had
    // changed: it is refused here, before anything is sent.
    if (scaleFactor < 1 || scaleFactor > kWord)
        return {title,
                QStringLiteral("Scale factor %1 cannot be sent to the PLS: it must be from 1 to %2.")
                        .arg(scaleFactor)
                        .arg(kWord)
                    + kTwoBreaks + consequence};
    return {};
}

}   // namespace plsvalues
