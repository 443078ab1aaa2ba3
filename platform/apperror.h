#pragma once

#include <QString>
#include <exception>

// Every error the program raises for the operator to read. The text is the
// operator's message as it should appear in the error box.
class AppError : public std::exception {
public:
    explicit AppError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A number text that the runtime's conversion refuses.
class ConversionError : public AppError {
public:
    using AppError::AppError;
};
