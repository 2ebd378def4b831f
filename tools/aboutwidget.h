#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTextBrowser;

// The about box: name, release, where to get the latest version, the Qt version the program
// was built with, and what the program is for. Deletes itself when closed.
class AboutWidget : public QWidget
{
    Q_OBJECT

public:
    explicit AboutWidget(QWidget* parent = nullptr);

    QLabel* titleLabel = nullptr;
    QLabel* releaseLabel = nullptr;
    QLabel* homePageLabel = nullptr;
    QLabel* authorsLabel = nullptr;
    QLabel* qtVersionLabel = nullptr;
    QTextBrowser* descriptionBrowser = nullptr;
    QPushButton* okButton = nullptr;

private:
    void setupUi();
    void retranslateUi();
};
