// A time limit from the environment: a whole number of seconds within the variable's range, the
// default for anything else, and one warning on standard error for each variable set wrongly.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>

#include "ScopedVariable.h"
#include "config/EnvironmentSeconds.h"

namespace kestrix {
namespace {

// What the program wrote on standard error while the function ran.
template <typename Run>
QByteArray standardErrorOf(Run run) {
    QTemporaryFile file;
    if (!file.open()) {
        return "no file";
    }
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

TEST(EnvironmentSeconds, AWholeNumberWithinTheRangeOrTheDefaultWithOneWarningPerVariable) {
    const char* const variables[] = {"KESTRIX_TEST_LIMIT_A_S", "KESTRIX_TEST_LIMIT_B_S"};
    QRandomGenerator random(26);
    int wrong[2] = {0, 0};
    QByteArray warnings;
    for (int round = 0; round < 200; ++round) {
        const int which = static_cast<int>(random.bounded(2));
        const int lowest = 1;
        const int highest = which == 0 ? 3600 : 86400;
        const int number = static_cast<int>(random.bounded(-10, highest + 10));
        QByteArray setting = QByteArray::number(number);
        bool valid = number >= lowest && number <= highest;
        switch (random.bounded(5)) {
            case 0:
                setting += ".5";  // no whole number
                valid = false;
                break;
            case 1:
                setting = "soon";
                valid = false;
                break;
            case 2:
                setting = "";  // not set: the default, no warning
                break;
            default:
                break;
        }
        const bool set = !setting.isEmpty();
        const ScopedVariable variable(variables[which], setting);
        int seconds = 0;
        warnings += standardErrorOf(
            [&] { seconds = secondsFromEnvironment(variables[which], lowest, highest, 10); });
        EXPECT_EQ(seconds, set && valid ? number : 10) << setting.constData();
        wrong[which] += set && !valid ? 1 : 0;
    }
    ASSERT_GT(wrong[0], 1);
    ASSERT_GT(wrong[1], 1);
    QList<QByteArray> lines = warnings.split('\n');
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (QList<QByteArray>{
                         "",
                         "kestrix: $KESTRIX_TEST_LIMIT_A_S is no whole number of seconds from 1 to "
                         "3600; 10 s are used",
                         "kestrix: $KESTRIX_TEST_LIMIT_B_S is no whole number of seconds from 1 to "
                         "86400; 10 s are used"}));
}

}  // namespace
}  // namespace kestrix
