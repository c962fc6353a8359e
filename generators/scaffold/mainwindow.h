#ifndef SCAFFOLD_MAINWINDOW_H
#define SCAFFOLD_MAINWINDOW_H

#include <QMainWindow>
#include <QTabWidget>

namespace scaffold {

class TablePage;

// One tab per table; a tab reads its rows when it is first shown.
class MainWindow : public QMainWindow
{
	Q_OBJECT

public:
	explicit MainWindow(QWidget *parent = nullptr);

	QTabWidget *tabs() const { return m_tabs; }
	// The page of a table, by its name as the schema spells it.
	TablePage *page(const QString &tableName) const;

private:
	void showPage(int index);

	QTabWidget *m_tabs;
};

} // namespace scaffold

#endif // SCAFFOLD_MAINWINDOW_H
