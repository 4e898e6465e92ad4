#pragma once

#include <QString>
#include <stdexcept>

namespace kvo::server {

// Base of the server's failures; the message is what the client user is shown.
class ServerError : public std::runtime_error {
public:
    explicit ServerError(const QString& message, int code = -32000)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code) {}
    const QString& message() const { return m_message; }
    int code() const { return m_code; } // JSON-RPC error code

private:
    QString m_message;
    int m_code;
};

// Wrong number or type of arguments (JSON-RPC "invalid params").
class ParamError : public ServerError {
public:
    explicit ParamError(const QString& message) : ServerError(message, -32602) {}
};

// A database failure; carries the driver's native error code for classification.
class DbError : public ServerError {
public:
    DbError(const QString& message, QString nativeCode = {})
        : ServerError(message, -32001), m_native(std::move(nativeCode)) {}
    const QString& nativeCode() const { return m_native; }

private:
    QString m_native;
};

} // namespace kvo::server
