#pragma once

#include <QString>
#include <cstdint>

#include "platform/Dialogs.h"

namespace kestrix {

// The typed readers through which the whole program reads its configuration. Every call is one
// fresh lookup in the file's current content on disk: nothing is cached, no file stays open,
// nothing is written. A reader never throws; its faults are cleared without a trace.
//
// A value is read as UTF-8 when its bytes are valid UTF-8 (as files saved on Linux are), else
// as Latin-1, one character per byte (as older Windows files are); ASCII reads the same either
// way. Section and key are compared as their Latin-1 bytes.
class Service {
public:
    explicit Service(Dialogs& dialogs);

    // The key's leading whole number, cut to its low 16 bits (70000 → 4464, 65535 → −1). A missing
    // file, section or key, or an empty value, gives −1; a value without a number gives 0.
    int16_t LoadIniInteger(const QString& section, const QString& key, const QString& file,
                           bool message) const noexcept;

    // The key's value, at most 254 characters; empty when the file, section or key is missing.
    QString LoadIniString(const QString& section, const QString& key, const QString& file,
                          bool message) const noexcept;

    // True only for the value "TRUE" in any case; anything else, or nothing, is false.
    bool LoadIniBoolean(const QString& section, const QString& key, const QString& file,
                        bool message) const noexcept;

private:
    // With the message flag set, a reader without a usable value shows the not-found message.
    void showNotFoundMessage(const QString& section, const QString& key, const QString& file) const;

    Dialogs& dialogs_;
};

}  // namespace kestrix
