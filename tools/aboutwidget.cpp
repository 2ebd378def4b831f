#include "aboutwidget.h"

#include "version.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

static const char* const homePage = "https://kinovane.org/";

AboutWidget::AboutWidget(QWidget* parent) : QWidget(parent)
{
    setupUi();
    setAttribute(Qt::WA_DeleteOnClose);
    connect(okButton, &QPushButton::clicked, this, &QWidget::close);
}

void AboutWidget::setupUi()
{
    resize(493, 285);
    auto* layout = new QVBoxLayout(this);
    titleLabel = new QLabel(this);
    layout->addWidget(titleLabel);

    auto* details = new QGridLayout();
    releaseLabel = new QLabel(this);
    details->addWidget(releaseLabel, 0, 0);
    homePageLabel = new QLabel(this);
    homePageLabel->setOpenExternalLinks(true);
    details->addWidget(homePageLabel, 0, 1, 2, 1);
    authorsLabel = new QLabel(this);
    details->addWidget(authorsLabel, 1, 0);
    qtVersionLabel = new QLabel(this);
    details->addWidget(qtVersionLabel, 2, 0);
    layout->addLayout(details);

    descriptionBrowser = new QTextBrowser(this);
    layout->addWidget(descriptionBrowser);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    okButton = new QPushButton(this);
    buttons->addWidget(okButton);
    layout->addLayout(buttons);
    retranslateUi();
}

void AboutWidget::retranslateUi()
{
    setWindowTitle(tr("About Kinovane"));
    titleLabel->setText(tr("<html><head/><body><p><span style=\" font-size:36pt; "
                           "font-weight:600;\">Kinovane</span></p></body></html>"));
    releaseLabel->setText(
        tr("Release %1, %2")
            .arg(QLatin1String(Version::number), QLatin1String(Version::releaseDate)));
    homePageLabel->setText(tr("<html><head/><body><p>Get the latest version at <a "
                              "href=\"%1\">%1</a></p></body></html>")
                               .arg(QString::fromLatin1(homePage)));
    authorsLabel->setText(tr("By the Kinovane developers"));
    qtVersionLabel->setText(tr("Compiled with Qt %1").arg(QStringLiteral(QT_VERSION_STR)));
    descriptionBrowser->setHtml(
        tr("<p style=\"font-size:8pt;\">Kinovane plays BVH motion-capture recordings, computes "
           "the centres of mass of the body segments and of the whole body from a mass-segment "
           "model, cleans and cuts the motion, and exports BVH, CSV tables and C3D point files. "
           "It was made first for iPi Studio recordings; files of other producers (CMU, "
           "Rokoko, Axis Neuron and most others) are recognised by their skeleton and posed as "
           "they declare. Where a file is not, choose Edit \u25b8 Convention: Standard "
           "(Declared Order, Positions Replace OFFSET), which composes each joint's rotation in "
           "the order its CHANNELS line gives.</p>"));
    okButton->setText(tr("OK"));
}
