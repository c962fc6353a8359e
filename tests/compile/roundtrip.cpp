// Uses the classes generated for the real-world test schema as an application
// would: inserts, updates, reads by key and lists rows of two related tables,
// loads a related object through its getter, keeps binary data and a
// spatial value intact and keeps NULL through a load, an update and an
// insert.
//   roundtrip HOST PORT USER PASSWORD SCHEMA

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

#include <core/session.h>

#include <QApplication>
#include <QSqlQuery>

#include <cstdio>

using namespace crud;

static bool check(bool ok, const char *what)
{
    if (!ok)
        std::fprintf(stderr, "roundtrip: %s failed\n", what);
    return ok;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 6)
        return 2;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"));
    db.setHostName(arguments.at(1));
    db.setPort(arguments.at(2).toInt());
    db.setUserName(arguments.at(3));
    db.setPassword(arguments.at(4));
    db.setDatabaseName(arguments.at(5));
    Session::instance()->setSystemDatabase(db);
    QSqlQuery setUp(db);
    bool ok = check(db.open(), "connecting");
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
    if (ok)
        std::printf("roundtrip: ok\n");
    return ok ? 0 : 1;
}
