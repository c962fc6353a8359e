#pragma once

#include <QString>

// The window's passwords in the system keyring (the Secret Service on Linux,
// through QtKeychain), one per user, server and port. Never a file: without a
// keyring service nothing is stored anywhere. The calls wait for the keyring,
// at most a few seconds.
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

    static QString key(const QString &user, const QString &host, int port);

    static Result read(const QString &key);
    static Result write(const QString &key, const QString &password);
    static Result remove(const QString &key);
    // Whether a keyring service answers.
    static Result probe();
};
