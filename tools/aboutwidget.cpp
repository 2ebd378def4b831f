#include "aboutwidget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextBrowser>
#include <QVBoxLayout>

#ifndef KINOVANE_VERSION
#define KINOVANE_VERSION "0.1.0"
#endif
#ifndef KINOVANE_RELEASE_DATE
#define KINOVANE_RELEASE_DATE "December 2026"
#endif

static const char* const homePage = "https://kinovane.org/";

AboutWidget::AboutWidget(QWidget* parent) : QWidget(parent)
{
    setupUi();
    setAttribute(Qt::WA_DeleteOnClose);
    connect(okButton, &QPushButton::clicked, this, &QWidget::close);
}

void AboutWidget::setupUi()
{
    setObjectName(QStringLiteral("AboutWidget"));
    resize(493, 285);
    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(6);
    verticalLayout->setContentsMargins(11, 11, 11, 11);

    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    verticalLayout->addWidget(label);

    gridLayout = new QGridLayout();
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(6);
    label_3 = new QLabel(this);
    label_3->setObjectName(QStringLiteral("label_3"));
    gridLayout->addWidget(label_3, 0, 0);
    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setOpenExternalLinks(true);
    gridLayout->addWidget(label_2, 0, 1, 2, 1);
    label_5 = new QLabel(this);
    label_5->setObjectName(QStringLiteral("label_5"));
    gridLayout->addWidget(label_5, 1, 0);
    label_4 = new QLabel(this);
    label_4->setObjectName(QStringLiteral("label_4"));
    gridLayout->addWidget(label_4, 2, 0);
    verticalLayout->addLayout(gridLayout);

    textBrowser = new QTextBrowser(this);
    textBrowser->setObjectName(QStringLiteral("textBrowser"));
    verticalLayout->addWidget(textBrowser);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(6);
    horizontalLayout->addItem(
        new QSpacerItem(342, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("okButton"));
    horizontalLayout->addWidget(okButton);
    verticalLayout->addLayout(horizontalLayout);
    retranslateUi();
}

void AboutWidget::retranslateUi()
{
    setWindowTitle(tr("AboutWidget"));
    label->setText(tr("<html><head/><body><p><span style=\" font-size:36pt; "
                      "font-weight:600;\">Kinovane</span></p></body></html>"));
    label_3->setText(
        tr("Release %1, %2")
            .arg(QStringLiteral(KINOVANE_VERSION), QStringLiteral(KINOVANE_RELEASE_DATE)));
    label_2->setText(tr("<html><head/><body><p>Get the latest version at <a href=\"%1\">%1</a>"
                        "</p></body></html>")
                         .arg(QString::fromLatin1(homePage)));
    label_5->setText(tr("By the Kinovane developers"));
    label_4->setText(tr("Compiled with Qt %1").arg(QStringLiteral(QT_VERSION_STR)));
    textBrowser->setHtml(
        tr("<p style=\"font-size:8pt;\">This software is designed to provide some additional "
           "tools for processing BVH files that have been produced using iPi Studio. It may not "
           "work properly with other types of BVH files, especially if they use a different "
           "rotation convention.</p><p style=\"font-size:8pt;\"></p><p "
           "style=\"font-size:8pt;\"></p>"));
    okButton->setText(tr("OK"));
}
