#include "wholetable.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

namespace {

// Rows as tall as a line of text, and no scroll bars.
void prepare(QTableWidget* table)
{
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
}

} // namespace

int WholeTable::fit(QTableWidget* table)
{
    table->resizeColumnsToContents();
    int height = table->horizontalHeader()->sizeHint().height() + 2 * table->frameWidth();
    for (int row = 0; row < table->rowCount(); ++row)
        height += table->verticalHeader()->sectionSize(row);
    int width = table->verticalHeader()->sizeHint().width() + 2 * table->frameWidth();
    for (int column = 0; column < table->columnCount(); ++column)
        width += table->horizontalHeader()->sectionSize(column);
    table->setFixedSize(width, height);
    return width;
}

QBoxLayout* WholeTable::beside(QWidget* owner, QLabel* note, QTableWidget* table)
{
    auto* row = new QHBoxLayout(owner);
    auto* side = new QVBoxLayout;
    row->addLayout(side);
    note->setWordWrap(true);
    side->addWidget(note);
    prepare(table);
    side->addWidget(table);
    side->addStretch(1);
    return row;
}
