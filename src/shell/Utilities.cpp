#include "Utilities.h"
#include "AppFolder.h"
#include <QDir>
#include <QFrame>
#include <QVBoxLayout>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

void SelectAllText(QLineEdit *box)
{
    if (box)
        box->setSelection(0, int(box->text().size()));
}

float Percent(qint32 part, qint32 whole) { return float(double(part) / double(whole) * 100.0); }

QIcon ProgramIcon()
{
    QIcon icon;
    for (const char *size : {"48", "256"})
        icon.addFile(QStringLiteral(":/orvel/org.orvel.Orvel-%1.png").arg(QLatin1String(size)));
    return icon;
}

ScrapShares ScrapPercentages(qint64 good, qint64 leaker, qint64 vision)
{
    const qint64 sum = good + leaker + vision;
    const double whole = sum == 0 ? 1.0 : double(sum);
    auto pct = [whole](qint64 part) { return float(double(part) / whole * 100.0); };
    return {pct(leaker + vision), pct(leaker), pct(vision)};
}

void CenterForm(QWidget *w)
{
    if (!w)
        return;
    QScreen *screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = w->frameGeometry().size();
    w->move(area.left() + (area.width() - size.width()) / 2, area.top() + (area.height() - size.height()) / 2);
}

QString ChangeExtension(const QString &path, const QString &ext)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QChar sep = path.contains(QLatin1Char('\\')) ? QLatin1Char('\\') : QLatin1Char('/');
    QString folder = slash >= 0 ? path.left(slash) : QString();
    const QString name = slash >= 0 ? path.mid(slash + 1) : path;

    const bool windowsAbsolute = folder.size() >= 2 && folder.at(1) == QLatin1Char(':');
    if (sep == QLatin1Char('/') && !folder.startsWith(QLatin1Char('/')))
        folder = QDir::current().absoluteFilePath(folder.isEmpty() ? QStringLiteral(".") : folder);
    else if (sep == QLatin1Char('\\') && !windowsAbsolute && !folder.startsWith(QLatin1Char('\\')))
        folder = QDir::toNativeSeparators(QDir::current().absoluteFilePath(folder)).replace(QLatin1Char('/'), sep);
    folder = sep == QLatin1Char('/') ? QDir::cleanPath(folder) : folder;
    if (folder.endsWith(sep))
        folder.chop(1);

    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return folder + sep + base + QLatin1Char('.') + ext;
}

int ProgramTypeCode(const QString &path)
{
    const QString tnx = AppFolder::resolveAbsolute(ChangeExtension(path, QStringLiteral("TNX")));
    // Only the first item counts: the start of the file is enough. What is
    // not a readable regular file counts as missing.
    const FileBytes file = readRegularFile(tnx, 4096, LargerFile::ReadInPart);
    if (!file.ok() || file.bytes.isEmpty())
        return 68;
    // The first comma- or line-delimited item; leading blanks are skipped and
    // a quoted item loses its quotes, as a text-file reader takes it.
    const QString text = Ansi::decode(file.bytes);
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    if (i < text.size() && text.at(i) == QLatin1Char('"'))
        ++i;
    if (i >= text.size())
        return 68;
    const QChar c = text.at(i);
    if (c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('"'))
        return 68;   // the first item is empty: no type character, take the default
    return int(Ansi::encode(QString(c)).at(0)) & 0xFF;
}

qint64 NumericValue(const QString &text)
{
    bool ok = false;
    const QString t = text.trimmed();
    const qint64 v = t.toLongLong(&ok);
    if (ok)
        return v;
    const double d = t.toDouble(&ok);
    return ok && std::isfinite(d) && std::fabs(d) < 9.0e18 ? qint64(d) : 0;
}

QString GroupedNumber(qint64 value) { return QLocale().toString(value); }

QString FixedNumber(double value, int decimals) { return QLocale().toString(value, 'f', decimals); }

QString AngleText(qint64 value)
{
    // The remainder keeps the value's sign: a stored -1 is -1 degree.
    const qint64 r = value % 256;
    return FixedNumber(double(r) * 360.0 / 256.0, 0);
}

void FixValueLabelSize(QLabel *label, const QString &widest)
{
    label->ensurePolished();
    // Room between the text and a frame, so that neither the digits nor the
    // commas touch it.
    if (label->frameWidth() > 0)
        label->setMargin(std::max(label->margin(), std::max(2, label->fontMetrics().height() / 6)));
    const QString shown = label->text();
    QSize size = label->sizeHint();
    label->setText(widest);
    size = size.expandedTo(label->sizeHint());
    label->setText(shown);
    size.setWidth(std::max(size.width(), label->minimumWidth()));
    label->setFixedSize(size);
}

void ShowValueText(QLabel *label, const QString &text)
{
    label->setText(text);
    const int need = label->sizeHint().width();
    if (need > label->maximumWidth())
        label->setFixedWidth(need);
}

void PadButton(QPushButton *button)
{
    button->ensurePolished();
    button->setMinimumWidth(button->sizeHint().width() + button->fontMetrics().height());
}

QFrame *AddRaisedEdge(QWidget *window)
{
    auto *root = new QVBoxLayout(window);
    root->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QFrame(window);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    root->addWidget(panel);
    return panel;
}
