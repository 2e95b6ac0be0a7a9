#pragma once
// A question for AskConfirmation: the key names the stored
// "Don't show this message again" choice, "\n" separates the lines.
#include <QString>

#include <cstdint>

struct ConfirmMessage {
    enum Kind : std::uint8_t { Confirmation = 1, Information = 2 };
    Kind kind = Confirmation;
    QString key;
    QString text;
};
