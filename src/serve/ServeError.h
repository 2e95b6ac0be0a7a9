#pragma once
// A request the service answers with an HTTP error: the status and the one
// line its JSON body says.
#include <QString>

#include <stdexcept>

class ServeError : public std::runtime_error {
public:
    ServeError(int status, const QString& text) : std::runtime_error(text.toStdString()), status_(status), text_(text) {}
    int Status() const { return status_; }
    const QString& Text() const { return text_; }

private:
    int status_;
    QString text_;
};

// {"error":"..."} and a newline: what every error answer carries.
QByteArray ErrorJson(const QString& text);
