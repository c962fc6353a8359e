// The window's password in the system keyring (run by tests/keyring-session):
// kept only when the user opts in, offered at the next start, taken away when
// the user opts out, and never written to a file; without a keyring service
// the option says so and nothing is kept anywhere. The window asks the
// keyring without waiting; the test waits for the answers.

#include "support.h"

#include "app/window/passwordkeyring.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

#include <optional>

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

// What the keyring holds under `key`, once it answered; it answers in turn,
// after what the windows asked before.
PasswordKeyring::Result stored(const QString &key)
{
    std::optional<PasswordKeyring::Result> answer;
    QObject context;
    PasswordKeyring::read(key, &context, [&answer](const PasswordKeyring::Result &result) { answer = result; });
    if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, 20000))
        qFatal("the keyring never answered");
    return *answer;
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
        // QtKeychain may take its time to find that no service answers.
        QTRY_VERIFY_WITH_TIMEOUT(!option->isEnabled(), 10000);
        QCOMPARE(option->text(), QStringLiteral("Remember Password in the System Keyring (unavailable)"));
        connectWindow(window, QStringLiteral("shop_a"), {});
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
        QAction *option = rememberOption(window);
        QVERIFY(stored(QStringLiteral("probe")).status != PasswordKeyring::Status::Unavailable);
        QVERIFY(option->isEnabled());
        QVERIFY(!option->isChecked());
        connectWindow(window, QStringLiteral("shop_a"), {});
    }
    QCOMPARE(stored(key).status, PasswordKeyring::Status::NotFound);
    {
        Tablesmith window;
        QCOMPARE(child<QLineEdit>(window, "password")->text(), QString());
        rememberOption(window)->trigger();
        connectWindow(window, QStringLiteral("shop_a"), {});
    }
    QCOMPARE(stored(key).password, TestServer::settings().password);
    {
        // The next start offers it, without making the window wait; opting
        // out takes it away.
        Tablesmith window;
        QCOMPARE(child<QLineEdit>(window, "password")->text(), QString());
        QTRY_COMPARE(child<QLineEdit>(window, "password")->text(), TestServer::settings().password);
        rememberOption(window)->trigger();
    }
    QCOMPARE(stored(key).status, PasswordKeyring::Status::NotFound);
    Tablesmith window;
    QCOMPARE(child<QLineEdit>(window, "password")->text(), QString());
    QCOMPARE(filesHoldingThePassword(), QStringList());
}

QTEST_MAIN(TestKeyring)
#include "tst_keyring.moc"
