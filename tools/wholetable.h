#pragma once

class QTableWidget;

// A small table of figures shown whole, without scroll bars: its rows a fixed height, and the
// table sized to its contents.
namespace WholeTable {

// Rows as tall as a line of text, and no scroll bars.
void prepare(QTableWidget* table);
// Sizes the table to its columns and rows as they now are; returns its width.
int fit(QTableWidget* table);

} // namespace WholeTable
