#pragma once

// Qt's MySQL driver has no switch for the client library's check that the
// server's certificate was issued to the host connected to, so a certificate
// from the same CA for another host would pass. While an instance of this
// class lives on a thread, every connection that thread opens through the
// driver asks the client library for that check on the very handshake the
// connection then uses: the library compares the host name (or address)
// with the certificate's names before any password is sent, and the
// connection fails when they differ.
//
// How: the executable defines mysql_real_connect (exported to the dynamic
// symbol table, see connection/CMakeLists.txt), so the driver's call reaches
// it first; it turns on MYSQL_OPT_SSL_VERIFY_SERVER_CERT for connections of
// a thread that asked, and hands the call to the client library.
class HostNameVerification
{
public:
    explicit HostNameVerification(bool verify);
    ~HostNameVerification();
    HostNameVerification(const HostNameVerification &) = delete;
    HostNameVerification &operator=(const HostNameVerification &) = delete;

private:
    bool m_previous;
};
