#pragma once

class QBoxLayout;
class QLabel;
class QTableWidget;
class QWidget;

// A small table of figures shown whole, without scroll bars: its rows a fixed height, and the
// table sized to its contents.
namespace WholeTable {

// Sizes the table to its columns and rows as they now are; returns its width.
int fit(QTableWidget* table);
// The layout of a view of figures and plots: `note` over `table` at the left of `owner`, the
// returned row taking the plots beside them.
QBoxLayout* beside(QWidget* owner, QLabel* note, QTableWidget* table);

} // namespace WholeTable
