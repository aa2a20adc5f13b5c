#include "HelpWindow.h"
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(const QString &file, QWidget *parent)
    : QWidget(parent, Qt::Window), file_(file)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ORVEL Help"));
    browser_ = new QTextBrowser(this);
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
    resize(720, 640);
}

void HelpWindow::showContents()
{
    browser_->setSource(QUrl::fromLocalFile(file_));
    browser_->scrollToAnchor(QStringLiteral("contents"));
}
