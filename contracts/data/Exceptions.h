#pragma once

#include <QString>
#include <exception>

// Base of every failure the framework raises; the message is what the user is shown.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The silent abort: abandons the running operation without a message.
class EAbort : public Exception {
public:
    EAbort() : Exception(QStringLiteral("Operation aborted")) {}
};

// Misuse of a record set or field (wrong state, unknown field, bad value).
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A data packet or change log that cannot be decoded.
class EPacketError : public Exception {
public:
    using Exception::Exception;
};

[[noreturn]] inline void Abort() {
    throw EAbort();
}
