#include "ChildCaption.h"
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>
#include <QWidget>

QVBoxLayout *AddCaptionBar(QWidget *child)
{
    auto *outer = new QVBoxLayout(child);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *bar = new QLabel(child->windowTitle(), child);
    bar->setObjectName(QStringLiteral("captionBar"));
    bar->setAutoFillBackground(true);
    QPalette pal = bar->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    bar->setPalette(pal);
    QFont f = bar->font();
    f.setBold(true);
    bar->setFont(f);
    bar->setContentsMargins(8, 4, 8, 4);
    outer->addWidget(bar);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 10, 10, 10);
    outer->addLayout(body, 1);
    body->addStretch(1);
    return body;
}
