#include "config/Service.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>
#include <optional>
#include <string>
#include <string_view>

#include "config/IniFile.h"
#include "fault/Int16.h"

namespace kestrix {

namespace {

// A reader's step: a fault in it is cleared without a trace, and the reader goes on with its next
// step with whatever the steps before have produced.
template <class Step>
void runStepSilently(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

std::string_view bytesOf(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<std::string> lookUp(const QString& section, const QString& key, const QString& file) {
    return readIniValue(QFile::encodeName(file).toStdString(), bytesOf(section.toLatin1()),
                        bytesOf(key.toLatin1()));
}

// The whole-number lookup with the default −1 for a missing entry or an empty value.
uint32_t lookUpNumber(const QString& section, const QString& key, const QString& file) {
    std::optional<std::string> value = lookUp(section, key, file);
    if (!value || value->empty()) {
        return static_cast<uint32_t>(-1);
    }
    return iniNumber(*value);
}

// The bytes as UTF-8 text; nothing when they are not valid UTF-8.
std::optional<QString> utf8Text(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return utf8.hasError() ? std::nullopt : std::optional<QString>(text);
}

// A value as text: UTF-8 when it is valid UTF-8, else Latin-1. A value cut to the buffer's
// capacity in the middle of a UTF-8 character loses that character's bytes, not its encoding.
QString textOf(std::string_view bytes) {
    if (std::optional<QString> text = utf8Text(bytes)) {
        return *text;
    }
    if (bytes.size() == IniValueCapacity) {
        std::size_t characterStart = bytes.size();
        while (characterStart > 0 && bytes.size() - characterStart < 4 &&
               (static_cast<unsigned char>(bytes[characterStart - 1]) & 0xC0) == 0x80) {
            --characterStart;
        }
        if (characterStart > 0) {
            if (std::optional<QString> text = utf8Text(bytes.substr(0, characterStart - 1))) {
                return *text;
            }
        }
    }
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The text lookup; a missing entry gives the empty text.
QString lookUpText(const QString& section, const QString& key, const QString& file) {
    std::optional<std::string> value = lookUp(section, key, file);
    if (!value) {
        return QString();
    }
    return textOf(*value);
}

QString notFoundMessage(const QString& file, const QString& section, const QString& key) {
    return QStringLiteral("File '") + file + QStringLiteral("' or Section [") + section +
           QStringLiteral("] or Entry '") + key + QStringLiteral("' not found");
}

}  // namespace

Service::Service(Dialogs& dialogs) : dialogs_(dialogs) {}

int16_t Service::LoadIniInteger(const QString& section, const QString& key, const QString& file,
                                bool message) const noexcept {
    int16_t result = 0;  // what a failed lookup leaves
    runStepSilently([&] { result = wrapLow16(lookUpNumber(section, key, file)); });
    if (result == -1 && message) {
        runStepSilently([&] { showNotFoundMessage(section, key, file); });
    }
    return result;
}

QString Service::LoadIniString(const QString& section, const QString& key, const QString& file,
                               bool message) const noexcept {
    QString result;
    runStepSilently([&] { result = lookUpText(section, key, file); });
    if (result.isEmpty() && message) {
        runStepSilently([&] { showNotFoundMessage(section, key, file); });
    }
    return result;
}

bool Service::LoadIniBoolean(const QString& section, const QString& key, const QString& file,
                             bool message) const noexcept {
    QString upperCased;
    runStepSilently([&] { upperCased = lookUpText(section, key, file).toUpper(); });
    bool isTrue = upperCased == QLatin1String("TRUE");
    if (message && !isTrue && upperCased != QLatin1String("FALSE")) {
        runStepSilently([&] { showNotFoundMessage(section, key, file); });
    }
    return isTrue;
}

// A modal box, OK only, no icon, captioned with the application title.
void Service::showNotFoundMessage(const QString& section, const QString& key,
                                  const QString& file) const {
    dialogs_.MsgBox(notFoundMessage(file, section, key), MsgBoxStyle::OkOnly);
}

}  // namespace kestrix
