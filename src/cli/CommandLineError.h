#pragma once
// A command that cannot go on: the one line for standard error and the exit
// status (1 bad input, 2 wrong use of the command line).
#include <QString>

#include <stdexcept>

inline constexpr int ExitBadInput = 1;
inline constexpr int ExitUsage = 2;

class CommandLineError : public std::runtime_error {
public:
    CommandLineError(int status, const QString& text)
        : std::runtime_error(text.toStdString()), status_(status), text_(text)
    {
    }

    int Status() const { return status_; }
    const QString& Text() const { return text_; }

private:
    int status_;
    QString text_;
};

inline CommandLineError BadInput(const QString& text) { return {ExitBadInput, text}; }
inline CommandLineError UsageError(const QString& text) { return {ExitUsage, text}; }
