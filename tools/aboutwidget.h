#pragma once

#include <QWidget>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTextBrowser;
class QVBoxLayout;

// The about box: name, release, where to get the latest version, the Qt version the program
// was built with, and what the program is for. Deletes itself when closed.
class AboutWidget : public QWidget
{
    Q_OBJECT

public:
    explicit AboutWidget(QWidget* parent = nullptr);

    QLabel* label = nullptr;
    QLabel* label_2 = nullptr;
    QLabel* label_3 = nullptr;
    QLabel* label_4 = nullptr;
    QLabel* label_5 = nullptr;
    QTextBrowser* textBrowser = nullptr;
    QPushButton* okButton = nullptr;

private:
    void setupUi();
    void retranslateUi();

    QVBoxLayout* verticalLayout = nullptr;
    QGridLayout* gridLayout = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
};
