#include "config/Service.h"

#include <QByteArray>
#include <QFile>
#include <optional>
#include <string>
#include <string_view>

#include "config/IniFile.h"
#include "log/Int16.h"

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

// The text lookup; a missing entry gives the empty text.
QString lookUpText(const QString& section, const QString& key, const QString& file) {
    std::optional<std::string> value = lookUp(section, key, file);
    if (!value) {
        return QString();
    }
    return QString::fromLatin1(value->data(), static_cast<qsizetype>(value->size()));
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
