#include "host/ModuleCode.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QThread>

namespace kestrix {
namespace {

thread_local const QObject* running = nullptr;

// The single-shot objects made on the window's thread, each with the part whose code made it;
// an entry goes with its object. Never destroyed: the objects may outlive the program's statics.
QHash<const QObject*, QPointer<const QObject>>& makers() {
    static auto* objects = new QHash<const QObject*, QPointer<const QObject>>;
    return *objects;
}

bool onWindowThread() {
    return QCoreApplication::instance() != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

ModuleCode::Running::Running(const QObject* part) : outer_(running) {
    running = part;
}

ModuleCode::Running::~Running() {
    running = outer_;
}

void ModuleCode::childAdded(const QObject* parent, QObject* child) {
    if (running == nullptr || child == nullptr || !onWindowThread() ||
        parent != QAbstractEventDispatcher::instance()) {
        return;
    }
    makers().insert(child, partOf(running));
    QObject::connect(child, &QObject::destroyed, [child] { makers().remove(child); });
}

const QObject* ModuleCode::partOf(const QObject* receiver) {
    const auto maker = makers().constFind(receiver);
    return maker != makers().cend() ? maker->data() : receiver;
}

}  // namespace kestrix
