#include "mainwindow.h"

#include "tableaccess.h"
#include "tablepage.h"

#include <core/connectionpool.h>

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

namespace crud {
}

namespace scaffold {

using namespace crud;

MainWindow::MainWindow(QWidget *parent)
	: QMainWindow(parent)
	, m_tabs(new QTabWidget(this))
{
	const QString schema = Session::instance()->options().schema;
	setWindowTitle(tr("%1 - Tablesmith CRUD").arg(schema));
	QMenu *file = menuBar()->addMenu(tr("&File"));
	file->addAction(tr("&Quit"), QKeySequence::Quit, qApp, &QApplication::closeAllWindows);
	m_tabs->setObjectName(QStringLiteral("tables"));
	m_tabs->setDocumentMode(true);
	for (const TableEntry &entry : tableList()) {
		auto *page = new TablePage(entry.create(), m_tabs);
		page->setObjectName(entry.name);
		connect(page, &TablePage::statusChanged, statusBar(), [this](const QString &text) {
			statusBar()->showMessage(text);
		});
		m_tabs->addTab(page, QString(entry.name).replace(QLatin1Char('&'), QLatin1String("&&")));
	}
	if (m_tabs->count() == 0) {
		auto *none = new QLabel(tr("This application has no tables:\n%1").arg(leftOut().join(QLatin1Char('\n'))), this);
		none->setAlignment(Qt::AlignCenter);
		none->setWordWrap(true);
		setCentralWidget(none);
		m_tabs->hide();
	} else {
		setCentralWidget(m_tabs);
	}
	connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::showPage);
	showPage(m_tabs->currentIndex());
	resize(900, 600);
}

TablePage *MainWindow::page(const QString &tableName) const
{
	for (int i = 0; i < m_tabs->count(); ++i) {
		auto *page = static_cast<TablePage *>(m_tabs->widget(i));
		if (page->access()->tableName() == tableName)
			return page;
	}
	return nullptr;
}

void MainWindow::showPage(int index)
{
	auto *page = static_cast<TablePage *>(m_tabs->widget(index));
	if (page && !page->isLoaded())
		page->load();
}

} // namespace scaffold
