#pragma once

// Shared by the HMI tests: a QApplication for the whole run, waiting on the event loop, and the
// class info lookup by which the windows reach a control's dispatch ids.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMetaClassInfo>
#include <QMetaObject>
#include <QTimer>
#include <chrono>

namespace kestrix::hmitest {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { application_ = new QApplication(argc_, argv_); }
    void TearDown() override { delete application_; }

private:
    int argc_ = 1;
    char name_[16] = "hmi_test";
    char* argv_[2] = {name_, nullptr};
    QApplication* application_ = nullptr;
};

inline ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// Runs the event loop until the condition holds; false when it still does not after the (very
// generous) limit. The limit only ends a hung test, it measures nothing.
template <class Condition>
bool runEventsUntil(Condition condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The member that a "DispId N" class info (N decimal or 0x-hex) names; empty when none does.
inline QString memberOfDispId(const QMetaObject& metaObject, int dispId) {
    for (int i = 0; i < metaObject.classInfoCount(); ++i) {
        QString key = QString::fromLatin1(metaObject.classInfo(i).name());
        if (!key.startsWith(QLatin1String("DispId "))) {
            continue;
        }
        bool isNumber = false;
        int id = key.mid(7).toInt(&isNumber, 0);
        if (isNumber && id == dispId) {
            return QString::fromLatin1(metaObject.classInfo(i).value());
        }
    }
    return {};
}

}  // namespace kestrix::hmitest
