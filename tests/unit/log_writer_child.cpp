// A writer process for the log's fault-injection tests. It writes numbered system lines into a
// log until it has written the given count (0: until it is killed), under an optional limit on
// the size of the files it may write:
//
//     log_writer_child <log path> <limit KB> <first number> <count> <file size limit, 0 = none>
//
// It writes "r" to its standard output when its first line is about to be written.

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QLocale>
#include <QString>
#include <cstdlib>

#include "FixedClock.h"
#include "log/LogWriter.h"

using namespace kestrix;

int main(int argc, char** argv) {
    if (argc != 6) {
        return 2;
    }
    const long long fileSizeLimit = std::atoll(argv[5]);
    if (fileSizeLimit > 0) {
        // Writes beyond the limit then fail with EFBIG instead of ending the process.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 3;
        }
    }

    FixedClock clock(LocalDateTime{2026, 3, 27, 9, 41, 5});
    // The locale the tests know the reduction line of.
    LogWriter log(clock, QLocale(QLocale::German, QLocale::Germany));
    log.LogDateiName = QString::fromLocal8Bit(argv[1]);
    log.LogDateiGroesse = std::atoi(argv[2]);
    log.LogSystem = true;
    const long first = std::atol(argv[3]);
    const long count = std::atol(argv[4]);

    if (::write(STDOUT_FILENO, "r", 1) != 1) {
        return 4;
    }
    for (long number = first; count == 0 || number < first + count; ++number) {
        // "line 000042 " and 30 x: with its flag and stamp a line of 64 bytes.
        log.WriteLogLine(QStringLiteral("line %1 ").arg(number, 6, 10, QLatin1Char('0')) +
                             QString(30, QLatin1Char('x')),
                         true, false, false);
    }
    return 0;
}
