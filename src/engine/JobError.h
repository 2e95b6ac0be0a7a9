#pragma once
// A job that cannot go on: the one line the face shows and the exit status
// a command reports (1 bad input, 2 wrong use of its options).
#include <QString>

#include <stdexcept>

inline constexpr int ExitBadInput = 1;
inline constexpr int ExitUsage = 2;

class JobError : public std::runtime_error {
public:
    JobError(int status, const QString& text)
        : std::runtime_error(text.toStdString()), status_(status), text_(text)
    {
    }

    int Status() const { return status_; }
    const QString& Text() const { return text_; }

private:
    int status_;
    QString text_;
};

inline JobError BadInput(const QString& text) { return {ExitBadInput, text}; }
inline JobError UsageError(const QString& text) { return {ExitUsage, text}; }
