#pragma once
// One option of a command's arguments, written "--name=value" or
// "--name value": the commands read their options alike and word their
// mistakes alike.
#include "engine/JobError.h"

#include <QString>
#include <QStringList>

#include <optional>

class OptionReader {
public:
    // The option at arguments[index]; taking the following argument as its
    // value moves index past it.
    OptionReader(const QStringList& arguments, qsizetype& index)
        : arguments_(arguments), index_(index), name_(arguments[index])
    {
        const qsizetype eq = name_.indexOf(QLatin1Char('='));
        if (name_.startsWith(QLatin1String("--")) && eq > 0) {
            inline_ = name_.mid(eq + 1);
            name_.truncate(eq);
        }
    }

    // A short option written together with its value: "-j4".
    void SplitShort(QLatin1String option)
    {
        if (!inline_ && name_.startsWith(option) && name_.size() > option.size()) {
            inline_ = name_.mid(option.size());
            name_ = option;
        }
    }

    const QString& Name() const { return name_; }

    // UsageError "NAME needs a value" when there is none.
    QString Value()
    {
        if (inline_)
            return *inline_;
        if (index_ + 1 >= arguments_.size())
            throw UsageError(QStringLiteral("%1 needs a value").arg(name_));
        return arguments_[++index_];
    }

    // The written value, else the next argument when `belongs` says it is
    // one, else nothing (an option whose value may be left out).
    template <typename Predicate>
    std::optional<QString> ValueIf(Predicate belongs)
    {
        if (inline_)
            return inline_;
        if (index_ + 1 < arguments_.size() && belongs(arguments_[index_ + 1]))
            return arguments_[++index_];
        return std::nullopt;
    }

    // For a flag: UsageError "NAME takes no value" when one was written.
    void NoValue() const
    {
        if (inline_)
            throw UsageError(QStringLiteral("%1 takes no value").arg(name_));
    }

private:
    const QStringList& arguments_;
    qsizetype& index_;
    QString name_;
    std::optional<QString> inline_;
};

// The options a command has read, each by one name whatever its spelling
// ("-o" and "--output" are one): a second one is refused as a manifest's
// key or a service's field given twice is.
class OptionsSeen {
public:
    // UsageError "WRITTEN is given twice" when `key` was seen before.
    void Add(const QString& key, const QString& written)
    {
        if (seen_.contains(key))
            throw UsageError(QStringLiteral("%1 is given twice").arg(written));
        seen_ << key;
    }

private:
    QStringList seen_;
};
