// The window's password in the system keyring (run by tests/keyring-session):
// kept only when the user opts in, offered at the next start, taken away when
// the user opts out, and never written to a file; without a keyring service
// the option says so and nothing is kept anywhere.

#include "support.h"

#include "app/window/passwordkeyring.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

class TestKeyring : public QObject
{
    Q_OBJECT

private slots:
    void unavailable();
    void remembered();
};

namespace {

// Opens the Settings menu as a user does, and ticks or unticks the option.
QAction *rememberOption(Tablesmith &window)
{
    emit window.findChild<QMenu *>(QStringLiteral("menuSettings"))->aboutToShow();
    return window.findChild<QAction *>(QStringLiteral("actionRememberPassword"));
}

// The files below the home that hold the password as plain text.
QStringList filesHoldingThePassword()
{
    QStringList found;
    QDirIterator it(QDir::homePath(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(TestServer::settings().password.toUtf8()))
            found.append(file.fileName());
    }
    return found;
}

} // namespace

void TestKeyring::unavailable()
{
    {
        Tablesmith window;
        QAction *option = rememberOption(window);
        QVERIFY(!option->isEnabled());
        QCOMPARE(option->text(), QStringLiteral("Remember Password in the System Keyring (unavailable)"));
        fillForm(window, QStringLiteral("shop_a"));
        click(window, "btConnect");
        QVERIFY(logLines(window).contains(QStringLiteral("Connected to: 127.0.0.1")));
    }
    Tablesmith next;
    QCOMPARE(child<QLineEdit>(next, "password")->text(), QString());
    QCOMPARE(filesHoldingThePassword(), QStringList());
}

void TestKeyring::remembered()
{
    const QString key = PasswordKeyring::key(TestServer::settings().user, QStringLiteral("127.0.0.1"),
                                             TestServer::settings().port);
    {
        // Not opted in: a Connect keeps nothing.
        Tablesmith window;
        QVERIFY(rememberOption(window)->isEnabled());
        QVERIFY(!rememberOption(window)->isChecked());
        fillForm(window, QStringLiteral("shop_a"));
        click(window, "btConnect");
    }
    QCOMPARE(PasswordKeyring::read(key).status, PasswordKeyring::Status::NotFound);
    {
        Tablesmith window;
        QCOMPARE(child<QLineEdit>(window, "password")->text(), QString());
        fillForm(window, QStringLiteral("shop_a"));
        rememberOption(window)->trigger();
        click(window, "btConnect");
    }
    QCOMPARE(PasswordKeyring::read(key).password, TestServer::settings().password);
    {
        // The next start offers it; opting out takes it away.
        Tablesmith window;
        QCOMPARE(child<QLineEdit>(window, "password")->text(), TestServer::settings().password);
        rememberOption(window)->trigger();
    }
    QCOMPARE(PasswordKeyring::read(key).status, PasswordKeyring::Status::NotFound);
    Tablesmith window;
    QCOMPARE(child<QLineEdit>(window, "password")->text(), QString());
    QCOMPARE(filesHoldingThePassword(), QStringList());
}

QTEST_MAIN(TestKeyring)
#include "tst_keyring.moc"
