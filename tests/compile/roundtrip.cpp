// Uses the classes generated for the real-world test schema as an application
// would: inserts, updates, reads by key and lists rows of two related tables,
// loads a related object through its getter, keeps binary data and a
// spatial value intact and keeps NULL through a load, an update and an
// insert. Then, on the sequences' schema, new rows take their ids from a
// MariaDB sequence and from the table that emulates one, and without its
// sequence an insert fails and writes nothing (the message: tst_runtime).
// On the schemas of the project's rules (tests/fixtures/90_rules.sql), the
// types the project chose keep every value through a load, an unchanged
// update and an insert; and with a getter per key each key's getter loads
// its own row.
//   roundtrip -h HOST -P PORT -u USER -D rw_rental|rl_types|rl_keys
//   (the password in MYSQL_PWD)

#include "dao/2fa_tokendao.h"
#include "dao/citydao.h"
#include "dao/filmdao.h"
#include "dao/languagedao.h"
#include "dao/ordersdao.h"
#include "object/2fa_token.h"
#include "object/city.h"
#include "object/employees.h"
#include "object/film.h"
#include "object/language.h"
#include "object/orders.h"
#include "dao/memodao.h"
#include "dao/orphandao.h"
#include "dao/ticketdao.h"
#include "object/memo.h"
#include "object/orphan.h"
#include "object/ticket.h"
#include "dao/settingsdao.h"
#include "object/settings.h"
#include "dao/itemsdao.h"
#include "dao/messagesdao.h"
#include "dao/transfersdao.h"
#include "object/accounts.h"
#include "object/items.h"
#include "object/messages.h"
#include "object/transfers.h"
#include "object/users.h"

#include <core/connectionpool.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

using namespace crud;

static bool check(bool ok, const char *what)
{
    if (!ok)
        std::fprintf(stderr, "roundtrip: %s failed\n", what);
    return ok;
}

// The chosen types of rl_types.tablesmith.ini: each value as its type, and
// each row the same, as the server shows it, after an unchanged update and
// as a new row from the loaded object.
static bool chosenTypes()
{
    QSqlQuery sql(*Session::instance()->systemDatabase());
    bool ok = true;
    for (const char *statement : {"delete from settings where id >= 100", "alter sequence seq_settings restart with 100"})
        ok = ok && check(sql.exec(QString::fromLatin1(statement)), statement);
    // The rows as text, NULL as such, without their ids.
    const auto rows = [&sql](const char *ids) {
        QStringList columns;
        for (const char *column : {"active", "archived", "level", "born", "opens", "changed", "price", "ratio", "meta", "hex(note)"})
            columns.append(QStringLiteral("ifnull(cast(%1 as char), 'NULL')").arg(QLatin1String(column)));
        QStringList rows;
        if (!sql.exec(QStringLiteral("select concat_ws(' | ', %1) from settings where id in (%2) order by id")
                              .arg(columns.join(QStringLiteral(", ")), QLatin1String(ids))))
            return QStringList{sql.lastError().text()};
        while (sql.next())
            rows.append(sql.value(0).toString());
        return rows;
    };
    const QStringList before = rows("1, 2");
    Settings *first = ok ? SettingsDAO::instance()->getById(1) : nullptr;
    Settings *second = ok ? SettingsDAO::instance()->getById(2) : nullptr;
    ok = ok && check(before.size() == 2 && first && second, "reading the settings");
    ok = ok && check(first->active().typeId() == QMetaType::Bool && first->active().toBool() && second->archived().typeId() == QMetaType::Bool
                             && !second->archived().toBool() && first->archived().isNull(),
                     "reading tinyint(1) as bool");
    ok = ok && check(first->born().toDate() == QDate(1815, 12, 10) && first->opens().toTime() == QTime(8, 30, 15)
                             && first->changed().toDateTime() == QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58)),
                     "reading a date, a time and a datetime");
    ok = ok && check(first->price().toString() == QStringLiteral("12345678901234567890.0123456789")
                             && second->price().toString() == QStringLiteral("0.0000000001"),
                     "reading exact decimals as text");
    const QJsonDocument meta = first->meta().toJsonDocument();
    ok = ok && check(meta.object().value(QStringLiteral("a")).toArray().size() == 2
                             && meta.object().value(QStringLiteral("b")).toObject().value(QStringLiteral("c")).isNull(),
                     "reading JSON as a document");
    ok = ok && check(first->note().toByteArray() == QByteArray("\xc3\xbc" "n\xc3\xaf" "code"), "reading text as its bytes");
    ok = ok && check(SettingsDAO::instance()->updateObject(first) && SettingsDAO::instance()->updateObject(second),
                     "updating the settings unchanged");
    const QStringList updated = rows("1, 2");
    ok = ok && check(updated == before, "keeping every value through an update");
    ok = ok && check(SettingsDAO::instance()->insertObject(first) && SettingsDAO::instance()->insertObject(second),
                     "inserting the loaded settings");
    const QStringList inserted = rows("100, 101");
    ok = ok && check(inserted == before, "keeping every value through an insert");
    if (!ok)
        std::fprintf(stderr, "roundtrip: read\n  %s\nupdated\n  %s\ninserted\n  %s\n", qPrintable(before.join("\n  ")),
                     qPrintable(updated.join("\n  ")), qPrintable(inserted.join("\n  ")));
    return ok;
}

// rl_keys with getter-per-key: two keys into users, two into accounts, and
// two of items into itself, each loading its own row.
static bool getterPerKey()
{
    QSqlQuery sql(*Session::instance()->systemDatabase());
    bool ok = true;
    for (const char *statement : {"delete from transfers", "delete from accounts",
                                  "insert into accounts values (1, 'alice'), (2, 'bob')",
                                  "insert into transfers values (1, 1, 2, 'rent')"})
        ok = ok && check(sql.exec(QString::fromLatin1(statement)), statement);
    Messages *hello = ok ? MessagesDAO::instance()->getById(1) : nullptr;
    Messages *note = ok ? MessagesDAO::instance()->getById(2) : nullptr;
    ok = ok && check(hello && note, "reading the messages");
    ok = ok && check(hello->users() && hello->users()->name() == QStringLiteral("Ada") && hello->recipient()
                             && hello->recipient()->name() == QStringLiteral("Grace"),
                     "loading a message's sender and recipient");
    ok = ok && check(note->users() && note->users()->name() == QStringLiteral("Grace") && !note->recipient(),
                     "loading the sender of a message without a recipient");
    Items *root = ok ? ItemsDAO::instance()->getById(1) : nullptr;
    Items *master = ok ? ItemsDAO::instance()->getById(2) : nullptr;
    Items *copy = ok ? ItemsDAO::instance()->getById(3) : nullptr;
    ok = ok && check(root && master && copy, "reading the items");
    ok = ok && check(!root->items() && !root->masterItem(), "an item without a parent or a master");
    ok = ok && check(master->items() && master->items()->label() == QStringLiteral("root") && !master->masterItem(),
                     "loading an item's parent");
    ok = ok && check(copy->items() && copy->items()->label() == QStringLiteral("root") && copy->masterItem()
                             && copy->masterItem()->label() == QStringLiteral("master"),
                     "loading an item's parent and its master");
    Transfers *rent = ok ? TransfersDAO::instance()->getById(1) : nullptr;
    ok = ok && check(rent && rent->accounts() && rent->accounts()->owner() == QStringLiteral("alice") && rent->toAccount_2()
                             && rent->toAccount_2()->owner() == QStringLiteral("bob")
                             && rent->toAccount().toString() == QStringLiteral("rent"),
                     "loading a transfer's two accounts");
    return ok;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SessionOptions options;
    QString error;
    QStringList rest;
    if (!SessionOptions::fromArguments(app.arguments(), &options, &error, &rest) || rest.size() != 1) {
        std::fprintf(stderr, "roundtrip: %s\n", error.isEmpty() ? "unknown arguments" : qPrintable(error));
        return 2;
    }
    if (!Session::instance()->open(options, &error)) {
        std::fprintf(stderr, "roundtrip: %s\n", qPrintable(error));
        return 1;
    }
    if (options.schema == QLatin1String("rl_types") || options.schema == QLatin1String("rl_keys")) {
        const bool ok = options.schema == QLatin1String("rl_types") ? chosenTypes() : getterPerKey();
        if (ok)
            std::printf("roundtrip: ok\n");
        return ok ? 0 : 1;
    }
    QSqlQuery setUp(*Session::instance()->systemDatabase());
    bool ok = true;
    for (const char *statement : {"delete from `2fa_token`", "delete from city", "delete from country", "delete from employees", "delete from film", "delete from language",
                                  "delete from order_item", "delete from ORDERS",
                                  "insert into employees (emp_no, birth_date, first_name, hire_date) "
                                  "values (10001, '1953-09-02', 'Georgi', '1986-06-26')"})
        ok = ok && check(setUp.exec(QString::fromLatin1(statement)), statement);

    Language language;
    language.setLanguage_id(1);
    language.setName(QStringLiteral("English"));
    language.setLast_update(QDateTime::currentDateTime());
    Film film;
    film.setFilm_id(7);
    film.setTitle(QStringLiteral("Alien"));
    film.setLanguage_id(1);
    film.setOriginal_language_id(1);
    film.setRental_rate(2.99);
    ok = ok && check(LanguageDAO::instance()->insertObject(&language) && FilmDAO::instance()->insertObject(&film), "inserting");
    film.setTitle(QStringLiteral("Alien (1979)"));
    ok = ok && check(FilmDAO::instance()->updateObject(&film), "updating the film");
    Film *read = ok ? FilmDAO::instance()->getById(7) : nullptr;
    ok = ok && check(read && read->title() == QStringLiteral("Alien (1979)") && read->rental_rate().toDouble() == 2.99,
                     "reading the film by its key");
    ok = ok && check(read->language() && read->language()->name() == QStringLiteral("English"), "loading the film's language");
    ok = ok && check(FilmDAO::instance()->getAll().size() == 1 && LanguageDAO::instance()->getAll().size() == 1, "listing");

    // Binary data keeps its bytes.
    const QByteArray secret("\x00\xff\x80\x7f", 4);
    T2fa_token token;
    token.setToken_id(1);
    token.setEmp_no(10001);
    token.setSecret(secret);
    ok = ok && check(T2fa_tokenDAO::instance()->insertObject(&token), "inserting a token");
    T2fa_token *readToken = ok ? T2fa_tokenDAO::instance()->getById(1) : nullptr;
    ok = ok && check(readToken && readToken->secret().toByteArray() == secret, "keeping the token's bytes");
    ok = ok && check(readToken->employees() && readToken->employees()->first_name() == QStringLiteral("Georgi"),
                     "loading the token's employee");
    // A point keeps its coordinates and SRID through a load and an update.
    for (const char *statement : {"insert into country (country_code, country) values ('JPN', 'Japan')",
                                  "insert into city (city_id, city, country_code, location) "
                                  "values (1, 'Kyoto', 'JPN', ST_GeomFromText('POINT(135.77 35.01)', 4326))"})
        ok = ok && check(setUp.exec(QString::fromLatin1(statement)), statement);
    City *city = ok ? CityDAO::instance()->getById(1) : nullptr;
    ok = ok && check(city && city->location().toByteArray().size() == 25, "reading a point as its 25 bytes");
    ok = ok && check(CityDAO::instance()->updateObject(city), "updating a city with a point");
    ok = ok && check(setUp.exec(QStringLiteral("select ST_AsText(location), ST_SRID(location) from city")) && setUp.next()
                             && setUp.value(0).toString() == QStringLiteral("POINT(135.77 35.01)") && setUp.value(1).toInt() == 4326,
                     "keeping the point through an update");

    // NULL in a nullable key, number, text and date survives a load and an
    // unchanged update, and an insert of the loaded object.
    for (const char *statement : {"insert into film (film_id, title, language_id, rental_rate) values (9, 'Ran', 1, 1.5)",
                                  "insert into ORDERS (ORDER_ID) values (1)"})
        ok = ok && check(setUp.exec(QString::fromLatin1(statement)), statement);
    Film *nulls = ok ? FilmDAO::instance()->getById(9) : nullptr;
    ok = ok && check(nulls && nulls->original_language_id().isNull() && nulls->release_year().isNull(),
                     "reading NULL numbers as NULL");
    ok = ok && check(FilmDAO::instance()->updateObject(nulls), "updating a film whose nullable key is NULL");
    if (ok) {
        nulls->setFilm_id(10);
        ok = check(FilmDAO::instance()->insertObject(nulls), "inserting a loaded film with NULLs");
    }
    ORDERS *order = ok ? ORDERSDAO::instance()->getById(1) : nullptr;
    ok = ok && check(order && ORDERSDAO::instance()->updateObject(order), "updating an order whose date is NULL");
    ok = ok && check(setUp.exec(QStringLiteral("select (select count(*) from film where film_id in (9, 10) and original_language_id "
                                               "is null and release_year is null and `desc` is null), "
                                               "(select count(*) from ORDERS where PLACED is null)"))
                             && setUp.next() && setUp.value(0).toInt() == 2 && setUp.value(1).toInt() == 1,
                     "keeping NULL through an update and an insert");

    // The sequences' schema, from the start.
    options.schema = QStringLiteral("rt_sequences");
    ok = ok && check(Session::instance()->open(options, &error), "opening the sequences' schema");
    QSqlDatabase *db = Session::instance()->systemDatabase();
    setUp = QSqlQuery(*db);
    for (const char *statement : {"delete from ticket", "delete from memo", "delete from orphan", "alter sequence seq_ticket restart with 100",
                                  "update seq_memo set next_id = 499"})
        ok = ok && check(setUp.exec(QString::fromLatin1(statement)), statement);
    // MariaDB's sequence, as the server's version tells.
    Ticket first, second;
    first.setTitle(QStringLiteral("first"));
    second.setTitle(QStringLiteral("second"));
    ok = ok && check(TicketDAO::instance()->insertObject(&first) && TicketDAO::instance()->insertObject(&second), "inserting tickets");
    ok = ok && check(first.id().toLongLong() == 100 && second.id().toLongLong() == 101, "the tickets' ids from seq_ticket");
    Ticket *readTicket = ok ? TicketDAO::instance()->getById(101) : nullptr;
    ok = ok && check(readTicket && readTicket->title() == QStringLiteral("second"), "reading a ticket by the sequence's id");
    // The table a server without sequences keeps instead.
    qputenv("TABLESMITH_RUNTIME_SEQUENCES", "emulated");
    Memo memo, other;
    memo.setBody(QStringLiteral("a"));
    other.setBody(QStringLiteral("b"));
    ok = ok && check(MemoDAO::instance()->insertObject(&memo) && MemoDAO::instance()->insertObject(&other), "inserting memos");
    ok = ok && check(memo.id().toLongLong() == 500 && other.id().toLongLong() == 501, "the memos' ids from the table seq_memo");
    ok = ok && check(setUp.exec(QStringLiteral("select (select group_concat(id order by id) from memo), (select next_id from seq_memo)"))
                             && setUp.next() && setUp.value(0).toString() == QStringLiteral("500,501") && setUp.value(1).toInt() == 501,
                     "keeping the memos and seq_memo's last id");
    Orphan orphan;
    ok = ok && check(!OrphanDAO::instance()->insertObject(&orphan), "an insert without its sequence failing");
    ok = ok && check(setUp.exec(QStringLiteral("select count(*) from orphan")) && setUp.next() && setUp.value(0).toInt() == 0,
                     "writing no orphan");
    if (ok)
        std::printf("roundtrip: ok\n");
    return ok ? 0 : 1;
}
