#include "hmi/HmiProtocol.h"

namespace kestrix::HmiProtocol {

QByteArray encode(const QString& verb, const QString& name, const QString& value) {
    QString line = verb;
    if (!name.isEmpty() || !value.isEmpty()) {
        line += QLatin1Char(' ') + name;
    }
    if (!value.isEmpty()) {
        line += QLatin1Char(' ') + value;
    }
    return line.toUtf8() + '\n';
}

Message decode(const QByteArray& line) {
    QString text = QString::fromUtf8(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) {
        text.chop(1);
    }
    Message message;
    qsizetype afterVerb = text.indexOf(QLatin1Char(' '));
    message.verb = text.left(afterVerb);
    if (afterVerb < 0) {
        return message;
    }
    QString rest = text.mid(afterVerb + 1);
    qsizetype afterName = rest.indexOf(QLatin1Char(' '));
    message.name = rest.left(afterName);
    if (afterName >= 0) {
        message.value = rest.mid(afterName + 1);
    }
    return message;
}

bool isValidName(const QString& name) {
    if (name.isEmpty()) {
        return false;
    }
    for (QChar c : name) {
        if (c.isSpace() || c.category() == QChar::Other_Control) {
            return false;
        }
    }
    return true;
}

bool isValidValue(const QString& value) {
    return !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r'));
}

QVariant variantOfValue(const QString& text) {
    bool isNumber = false;
    int number = text.toInt(&isNumber);
    if (isNumber) {
        return number;
    }
    qlonglong wideNumber = text.toLongLong(&isNumber);
    if (isNumber) {
        return wideNumber;
    }
    return text;
}

}  // namespace kestrix::HmiProtocol
