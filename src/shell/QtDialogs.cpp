#include "QtDialogs.h"
#include "Interruption.h"
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QHeaderView>
#include <QLocale>
#include <QTreeView>
#include <algorithm>

namespace {

QWidget *parentWindow()
{
    if (QWidget *w = QApplication::activeModalWidget())
        return w;
    return QApplication::activeWindow();
}

QMessageBox::StandardButtons standardButtons(Dialogs::Buttons b)
{
    switch (b) {
    case Dialogs::Buttons::OK: return QMessageBox::Ok;
    case Dialogs::Buttons::OKCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Dialogs::Buttons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case Dialogs::Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Dialogs::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Dialogs::Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// The button that Escape (or the close box) stands for.
Dialogs::Button escapeAnswer(Dialogs::Buttons b)
{
    switch (b) {
    case Dialogs::Buttons::OK: return Dialogs::Button::OK;
    case Dialogs::Buttons::AbortRetryIgnore: return Dialogs::Button::Abort;
    case Dialogs::Buttons::YesNo: return Dialogs::Button::No;
    default: return Dialogs::Button::Cancel;
    }
}

// A folder and file name for the dialog; a "*.sdt" name means "this folder".
void placeDialog(QFileDialog &dlg, const QString &initialPath)
{
    if (initialPath.isEmpty())
        return;
    const QFileInfo fi(initialPath);
    if (fi.isDir()) {
        dlg.setDirectory(initialPath);
        return;
    }
    dlg.setDirectory(fi.absolutePath());
    if (!fi.fileName().contains(QLatin1Char('*')))
        dlg.selectFile(fi.fileName());
}

// A text whose lines hold tab characters, laid out as a table: a run of tabs
// moves on to the next column, so the values after them stand one under the
// other whatever the font draws the words before them as. The characters
// shown are the text's own; only their placing differs from tab stops.
QString TabbedTextAsTable(const QString &text)
{
    QList<QStringList> rows;
    qsizetype columns = 1;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        rows.append(line.split(QRegularExpression(QStringLiteral("\t+"))));
        columns = std::max(columns, rows.last().size());
    }
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"0\">");
    for (const QStringList &cells : rows) {
        html += QStringLiteral("<tr>");
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const bool last = c + 1 == cells.size();
            html += QStringLiteral("<td style=\"white-space:pre; padding-right:%1px\"").arg(last ? 0 : 12);
            if (last && c + 1 < columns)
                html += QStringLiteral(" colspan=\"%1\"").arg(columns - c);
            html += QLatin1Char('>') + (cells[c].isEmpty() ? QStringLiteral("&nbsp;") : cells[c].toHtmlEscaped())
                + QStringLiteral("</td>");
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

// Qt's own dialogs open at the least size their parts take, which cuts the
// file list's columns and the printer's file name short: they open at least
// this large (in the program's units, so scaled as the rest), within the screen.
void OpenRoomy(QDialog &dlg, QSize least)
{
    QSize size = dlg.sizeHint().expandedTo(least);
    if (const QScreen *screen = dlg.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dlg.resize(size);
}

}   // namespace

Dialogs::Button QtDialogs::messageBox(Icon icon, Buttons buttons, const QString &title, const QString &text)
{
    // The program is ending: nobody is there to answer.
    if (Interruption::requested())
        return escapeAnswer(buttons);
    QMessageBox box(parentWindow());
    box.setWindowTitle(title);
    // Boxes carry CR-only line breaks in places; show them as line breaks.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (shown.contains(QLatin1Char('\t'))) {
        box.setTextFormat(Qt::RichText);
        box.setText(TabbedTextAsTable(shown));
    } else {
        box.setTextFormat(Qt::PlainText);
        box.setText(shown);
    }
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    }
    box.setStandardButtons(standardButtons(buttons));
    box.exec();
    const auto *clicked = box.clickedButton();
    if (!clicked)
        return escapeAnswer(buttons);
    switch (box.standardButton(const_cast<QAbstractButton *>(clicked))) {
    case QMessageBox::Ok: return Button::OK;
    case QMessageBox::Cancel: return Button::Cancel;
    case QMessageBox::Abort: return Button::Abort;
    case QMessageBox::Retry: return Button::Retry;
    case QMessageBox::Ignore: return Button::Ignore;
    case QMessageBox::Yes: return Button::Yes;
    case QMessageBox::No: return Button::No;
    default: return escapeAnswer(buttons);
    }
}

std::optional<QString> QtDialogs::runFileDialog(const FileRequest &req, bool save)
{
    if (Interruption::requested())
        return std::nullopt;
    QFileDialog dlg(parentWindow(), req.title);
    if (save) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !req.askOverwrite);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(req.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::ReadOnly, false);
    }
    if (!req.filter.isEmpty())
        dlg.setNameFilter(req.filter);
    placeDialog(dlg, req.initialPath);
    if (!req.defaultSuffix.isEmpty())
        dlg.setDefaultSuffix(req.defaultSuffix);
    OpenRoomy(dlg, QSize(760, 480));
    // The list in detail: the name takes what the others leave, the date
    // column is as wide as a date and time in this locale's short form.
    if (auto *list = dlg.findChild<QTreeView *>(QStringLiteral("treeView")); list && list->header()->count() > 3) {
        const QString widest =
            QLocale::system().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 58, 58)), QLocale::ShortFormat);
        list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        list->header()->resizeSection(3, list->fontMetrics().horizontalAdvance(widest) + 24);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::openFile(const FileRequest &req) { return runFileDialog(req, false); }

std::optional<QString> QtDialogs::saveFile(const FileRequest &req) { return runFileDialog(req, true); }

std::optional<QString> QtDialogs::inputBox(const QString &prompt, const QString &title, const QString &initial)
{
    bool ok = false;
    if (Interruption::requested())
        return std::nullopt;
    const QString text = QInputDialog::getText(parentWindow(), title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

bool QtDialogs::printSetup(void *printer)
{
    if (!printer || Interruption::requested())
        return false;
    QPrintDialog dlg(static_cast<QPrinter *>(printer), parentWindow());
    dlg.setWindowTitle(QStringLiteral("Print Setup"));
    // Only the printer, the paper and the orientation are chosen here: the
    // report always prints whole.
    dlg.setOption(QAbstractPrintDialog::PrintSelection, false);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dlg.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    // Shown with its options folded, it would leave the output file's name
    // a short field.
    dlg.setMinimumWidth(480);
    return dlg.exec() == QDialog::Accepted;
}
