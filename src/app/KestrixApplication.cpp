#include "app/KestrixApplication.h"

#include <QThread>
#include <cstdio>

#include "fault/Fault.h"
#include "fault/NotifyCatchingFaults.h"
#include "host/ModuleCode.h"
#include "host/PluginHost.h"
#include "journal/Notices.h"

namespace kestrix {
namespace {

void reportOnWindowThread(const Fault& fault, const QObject* receiver,
                          const QString& receiverClass) {
    if (!PluginHost::ReportEscapedFault(fault, receiver, receiverClass)) {
        notice(QStringLiteral("Kestrix: ") +
               faultLine(fault, QStringLiteral("KX.") + receiverClass));
    }
}

}  // namespace

bool KestrixApplication::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        ModuleCode::childAdded(receiver, static_cast<QChildEvent*>(event)->child());
    }
    const ModuleCode::Running running(receiver);
    return notifyCatchingFaults([&] { return QApplication::notify(receiver, event); },
                                [receiver] { reportEscapedFault(receiver); });
}

void reportEscapedFault(const QObject* receiver) noexcept {
    try {
        const Fault fault = currentFault();
        const QString receiverClass = receiver != nullptr
                                          ? QString::fromLatin1(receiver->metaObject()->className())
                                          : QStringLiteral("Kestrix");
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
            reportOnWindowThread(fault, receiver, receiverClass);
            return;
        }
        // Objects of another thread are no parts of a hosted module, which lives on the window's.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [fault, receiverClass] { reportOnWindowThread(fault, nullptr, receiverClass); },
            Qt::QueuedConnection);
    } catch (...) {
        std::fputs("Kestrix: a fault escaped an event and could not be reported\n", stderr);
    }
}

}  // namespace kestrix
