#ifndef SCAFFOLD_TABLEACCESS_H
#define SCAFFOLD_TABLEACCESS_H

#include <QAbstractItemModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

namespace scaffold {

// What a page needs of one table's generated classes. The table's file in
// tables/ implements it over the entity, DAO, model and editor written for
// the table; a part whose class was not generated is missing (hasModel(),
// hasEditor()).
class TableAccess
{
public:
	struct Column
	{
		QString name; // as the schema spells it
		// Changed in place and saved: not a column the update finds its row
		// by (changing it would update nothing), nor bytes.
		bool editable = false;
		// Given in the form of a new row: not the column the insert takes
		// from the table's sequence, nor bytes.
		bool insertable = false;
	};

	virtual ~TableAccess() = default;

	virtual QString tableName() const = 0;
	virtual QString sequenceName() const = 0; // empty: the insert takes every value given
	virtual QList<Column> columns() const = 0;
	virtual bool hasModel() const = 0;
	virtual bool hasEditor() const = 0;

	// Reads every row with the DAO's getAll; false with the server's text.
	virtual bool load(QString *error) = 0;
	virtual int rowCount() const = 0;
	// The generated table model over the rows read last (nullptr without the
	// model class). A new one after every load.
	virtual QAbstractItemModel *createModel(QObject *parent) = 0;
	// The generated editor: a combo box of the table's rows.
	virtual QWidget *createEditor(QWidget *parent) = 0;
	// Sets a column of a loaded row through the entity's setter.
	virtual bool setValue(int row, int column, const QVariant &value) = 0;
	// Writes a loaded row with the DAO's updateObject, in its transaction.
	virtual bool update(int row, QString *error) = 0;
	// Inserts a row of these values (one per column; the sequence's column
	// is filled by the DAO) with insertObject and appends it to the model.
	// `id` receives the row's id when the table has one.
	virtual bool insert(const QVariantList &values, QVariant *id, QString *error) = 0;
};

struct TableEntry
{
	QString name;
	TableAccess *(*create)();
};

// The application's tables in the order of the tabs (tables.cpp).
const QList<TableEntry> &tableList();
// What the generation left out of this application, one line each (tables.cpp).
QStringList leftOut();

// The error the server reported for the last statement on the session's
// connection, empty when there was none. The DAO keeps its exceptions to
// itself and answers false; the server still knows why.
QString lastServerError();
// Why a write was refused: the server's error, or a note that it gave none.
QString refusal();

} // namespace scaffold

#endif // SCAFFOLD_TABLEACCESS_H
