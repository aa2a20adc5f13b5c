#include "HelpWindow.h"
#include "AppFolder.h"
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
// A browser that reads local pages and pictures only as regular files of a
// bounded size, so a named pipe or a device in the manual's place cannot hang
// the program or fill its memory.
class ManualBrowser final : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QString loadError;

    QVariant loadResource(int type, const QUrl &name) override
    {
        QUrl url = name;
        if (url.isRelative())
            url = source().resolved(url);
        if (!url.isLocalFile() && !url.scheme().isEmpty())
            return QTextBrowser::loadResource(type, name);   // qrc:, data: and the like
        QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
        if (QFileInfo(path).isRelative() || !QFileInfo::exists(path)) {
            for (const QString &dir : searchPaths()) {
                const QString candidate = QDir(dir).filePath(name.path());
                if (QFileInfo::exists(candidate)) {
                    path = candidate;
                    break;
                }
            }
        }
        const FileBytes file = readRegularFile(path, HelpWindow::kMaxFileBytes);
        if (type == QTextDocument::HtmlResource)
            loadError = file.error;
        if (!file.ok())
            return QVariant();
        return file.bytes;
    }
};
}

HelpWindow::HelpWindow(const QString &file, QWidget *parent) : QWidget(parent, Qt::Window), file_(file)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ORVEL Help"));
    browser_ = new ManualBrowser(this);
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths({QFileInfo(file).absolutePath()});
    contents_ = new QPushButton(QStringLiteral("&Contents"), this);
    back_ = new QPushButton(QStringLiteral("&Back"), this);
    back_->setEnabled(false);
    auto *close = new QPushButton(QStringLiteral("C&lose"), this);
    connect(contents_, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *bar = new QHBoxLayout;
    bar->addWidget(contents_);
    bar->addWidget(back_);
    bar->addStretch();
    bar->addWidget(close);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(bar);
    lay->addWidget(browser_, 1);
    resize(940, 680);   // the manual's widest pictures (the main window) without scrolling sideways
}

QString HelpWindow::loadError() const { return static_cast<const ManualBrowser *>(browser_)->loadError; }

void HelpWindow::showContents()
{
    browser_->setSource(QUrl::fromLocalFile(file_));
    browser_->scrollToAnchor(QStringLiteral("contents"));
}
