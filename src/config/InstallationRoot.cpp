#include "config/InstallationRoot.h"

#include "fault/Fault.h"

namespace kestrix {

QString cutAtLastSeparator(const QString& path) {
    qsizetype separator = path.lastIndexOf(QLatin1Char('/'));
    if (separator < 0) {
        // Taking the text left of a separator that is not there: an invalid length.
        raiseFault(ErrorNumber::InvalidProcedureCall);
    }
    return path.left(separator);
}

QString installationRootOf(const QString& programDirectory) {
    return cutAtLastSeparator(cutAtLastSeparator(programDirectory));
}

QString programIniOf(const QString& root) {
    return root + QStringLiteral("/Parameter/Program.ini");
}

QString kestrixIniOf(const QString& root) {
    return root + QStringLiteral("/Program/Kestrix/Kestrix.ini");
}

QString defaultLogFileOf(const QString& root) {
    return root + QStringLiteral("/Program/Kestrix/Kestrix.log");
}

}  // namespace kestrix
