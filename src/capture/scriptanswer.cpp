#include "scriptanswer.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

ScriptAnswer ScriptAnswer::fromOutput(const QByteArray &output, Script script)
{
    if (output.size() > maximumOutputSize)
        return {.outcome = Outcome::TooLong};
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = QString(decoder.decode(output)).trimmed();
    if (decoder.hasError())
        return {.outcome = Outcome::NotUtf8};
    if (text.isEmpty())
        return {.outcome = Outcome::Empty};
    if (script == Script::Tab && !text.contains("|||"_L1))
        return {.outcome = Outcome::NoSeparator};
    return {.outcome = Outcome::Answered, .answer = text};
}

QString ScriptAnswer::describe(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Answered:
        return u"answered"_s;
    case Outcome::NotStarted:
        return u"osascript could not be started"_s;
    case Outcome::TimedOut:
        return u"the script passed its time-out and was stopped"_s;
    case Outcome::TooLong:
        return u"the answer was too long and was not read"_s;
    case Outcome::NotUtf8:
        return u"the answer was not valid UTF-8"_s;
    case Outcome::Empty:
        return u"the answer was empty"_s;
    case Outcome::NoSeparator:
        return u"the answer held no \"|||\" separator"_s;
    }
    return {};
}
