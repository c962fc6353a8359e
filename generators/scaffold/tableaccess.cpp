#include "tableaccess.h"

#include <core/connectionpool.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

// The runtime's classes live in crud or at the top, as the generated code
// finds them.
namespace crud {
}

namespace scaffold {

using namespace crud;

QString lastServerError()
{
	QSqlDatabase *db = Session::instance()->systemDatabase();
	if (!db || !db->isOpen())
		return QStringLiteral("not connected to the server");
	// A diagnostic statement: it reads the last statement's errors without
	// clearing them.
	QSqlQuery query(*db);
	if (!query.exec(QStringLiteral("show errors")))
		return query.lastError().text();
	// The driver adds a bare "Unknown error" after a prepared statement's
	// own error: worth showing only alone.
	QStringList errors;
	QString unknown;
	while (query.next()) {
		const QString error = QStringLiteral("%1 (error %2)").arg(query.value(2).toString(), query.value(1).toString());
		if (query.value(1).toInt() == 1105 && query.value(2).toString() == QLatin1String("Unknown error"))
			unknown = error;
		else
			errors.append(error);
	}
	return errors.isEmpty() ? unknown : errors.join(QStringLiteral("; "));
}

QString refusal()
{
	const QString error = lastServerError();
	return error.isEmpty() ? QStringLiteral("the DAO gave up without an error from the server") : error;
}

} // namespace scaffold
