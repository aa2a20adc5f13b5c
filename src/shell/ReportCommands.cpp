#include "ReportCommands.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Globals.h"
#include "Report.h"
#include "ShiftExport.h"
#include "frmMDIMain.h"
#include "frmWaitDisplay.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QPageLayout>
#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>

void mnuFileExport_Click(frmMDIMain &main, Dialogs &dialogs)
{
    Dialogs::FileRequest req;
    req.title = QStringLiteral("Export Shift Data");
    req.filter = QStringLiteral("Text Files(*.txt)");
    req.initialPath = main.gFileExportPath;
    req.askOverwrite = true;
    const std::optional<QString> path = dialogs.saveFile(req);
    if (!path)
        return;
    main.gFileExportPath = *path;
    const QString why =
        ShiftExport::write(*path, ShiftExport::encode(CurrentSetup, main.gFileNameTitle, main.gUploadNOW));
    // A file that was not written is said so: the user would otherwise take
    // an old or missing file for this shift's counts.
    if (!why.isEmpty())
        dialogs.message(Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"),
                        QStringLiteral("The shift data could not be written to %1:\r\n\r\n%2.").arg(*path, why));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

namespace {
// The print set-up's choices, kept for the rest of the run as the system
// keeps its default printer settings: the next report proposes them again.
// Made once and kept to the end of the process: a printer object must not be
// torn down after the application and its print plugin are gone.
QPrinter &printSettings()
{
    static QPrinter *settings = [] {
        auto *p = new QPrinter(QPrinter::HighResolution);
        // Without a printer the dialog offers only the PDF file: propose a
        // file name rather than the bare home folder.
        if (QPrinterInfo::availablePrinterNames().isEmpty())
            p->setOutputFileName(QDir::homePath() + QStringLiteral("/ORVEL Report.pdf"));
        return p;
    }();
    return *settings;
}
}   // namespace

void mnuFilePrint_Click(frmMDIMain &main, Dialogs &dialogs)
{
    QPrinter &settings = printSettings();
    if (!dialogs.printSetup(&settings))
        return;

    // The report's printer follows the chosen printer (or PDF file) and paper,
    QPrinter printer(QPrinter::HighResolution);
    if (settings.outputFormat() == QPrinter::PdfFormat) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(settings.outputFileName());
    } else {
        printer.setPrinterName(settings.printerName());
    }
    printer.setPageSize(settings.pageLayout().pageSize());
    printer.setCopyCount(settings.copyCount());
    // and takes the page orientation from the dialog.
    printer.setPageOrientation(settings.pageLayout().orientation());

    Report::Content content;
    content.setup = CurrentSetup;
    content.title = main.gFileNameCaption;
    content.printedText = Report::GeneralDate(AppClock ? AppClock->now() : QDateTime::currentDateTime());

    WaitDisplayMode = 1;
    QString why;
    {
        frmWaitDisplay wait(&main);
        wait.Form_Load([&] { why = Report::PrintReport(printer, content); });
    }
    if (!why.isEmpty())
        dialogs.message(Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"),
                        QStringLiteral("The report could not be printed: %1.").arg(why));
}
