#pragma once

#include <QObject>
#include <QString>

#include <functional>

// The window's passwords in the system keyring (the Secret Service on Linux,
// through QtKeychain), one per user, server and port. Never a file: without a
// keyring service nothing is stored anywhere.
//
// The keyring is asked on a thread of its own, one job after the other in
// the order asked, and nothing waits for it: each call returns at once, and
// its answer comes later as a call of `done` on the thread of `context`
// (dropped when `context` is gone by then). A keyring that does not answer
// within a few seconds counts as none.
class PasswordKeyring
{
public:
    enum class Status { Done, NotFound, Unavailable, Failed };
    struct Result
    {
        Status status = Status::Failed;
        QString password; // what read() found
        QString error; // why not, for the log
    };
    using Done = std::function<void(const Result &)>;

    static QString key(const QString &user, const QString &host, int port);

    static void read(const QString &key, QObject *context, Done done);
    static void write(const QString &key, const QString &password, QObject *context = nullptr, Done done = {});
    static void remove(const QString &key, QObject *context = nullptr, Done done = {});
    // Whether a keyring service answers.
    static void probe(QObject *context, Done done);
};

// Carries one answer from the keyring's thread to the asker's.
class KeyringReply : public QObject
{
    Q_OBJECT

public:
    // The first answer counts: the job's, or the time running out.
    void answer(const PasswordKeyring::Result &result);

signals:
    void answered(const PasswordKeyring::Result &result);

private:
    bool m_answered = false;
};
