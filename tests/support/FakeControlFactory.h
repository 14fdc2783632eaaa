#pragma once

#include <kestrix/ControlPlugin.h>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "TestControls.h"
#include "fault/Fault.h"
#include "host/ControlFactory.h"
#include "host/Extender.h"
#include "host/InProcessControl.h"
#include "host/ModuleKinds.h"
#include "platform/Screen.h"

namespace kestrix {

// The control collection's "Add" for tests: creates test controls in-process by ProgID, wraps each
// in an extender at 15 twips per pixel and records every Add call. The test controls' own ProgIDs
// ("Test.Recording", "Test.WithoutInit", ...) and the eight module kinds' ProgIDs (as recording
// controls) are registered from the start; a test registers more or removes some. ProgIDs follow
// the registry's rule (progIdKey: without regard to case), and an unknown ProgID faults with 429
// like the real registry.
class FakeControlFactory : public ControlFactory {
public:
    enum class Kind {
        Recording,
        WithoutInit,
        ThrowingInRefresh,
        FailingTerminate,
        WithoutAbsoluteHoehe,
        RaisingEventInInit,
        EmittingFromThread,
        ThrowingFromTimer,
    };

    struct AddCall {
        QString progId;
        QString name;
        QWidget* container;
    };

    FakeControlFactory() {
        registerProgId(QStringLiteral("Test.Recording"), Kind::Recording);
        registerProgId(QStringLiteral("Test.WithoutInit"), Kind::WithoutInit);
        registerProgId(QStringLiteral("Test.ThrowingInRefresh"), Kind::ThrowingInRefresh);
        registerProgId(QStringLiteral("Test.FailingTerminate"), Kind::FailingTerminate);
        registerProgId(QStringLiteral("Test.WithoutAbsoluteHoehe"), Kind::WithoutAbsoluteHoehe);
        registerProgId(QStringLiteral("Test.RaisingEventInInit"), Kind::RaisingEventInInit);
        registerProgId(QStringLiteral("Test.EmittingFromThread"), Kind::EmittingFromThread);
        registerProgId(QStringLiteral("Test.ThrowingFromTimer"), Kind::ThrowingFromTimer);
        for (const ModuleKind& kind : ModuleKinds) {
            registerProgId(QString::fromLatin1(kind.progId), Kind::Recording);
        }
    }

    // Controls of this ProgID are of this kind and report this height.
    void registerProgId(const QString& progId, Kind kind, int heightTwips = 1500) {
        registry_[progIdKey(progId)] = {kind, heightTwips};
    }
    void unregisterProgId(const QString& progId) { registry_.erase(progIdKey(progId)); }

    bool isRegistered(const QString& progId) const override {
        return registry_.count(progIdKey(progId)) != 0;
    }

    Extender* Add(const QString& progId, const QString& name, QWidget* container) override {
        addCalls.push_back({progId, name, container});
        auto entry = registry_.find(progIdKey(progId));
        if (entry == registry_.end()) {
            throw Fault::ofNumber(ErrorNumber::CannotCreateObject);
        }
        TestControl* control = create(entry->second.kind, container);
        control->setObjectName(name);
        control->label = name;
        control->journal = journal;
        control->heightTwips = entry->second.heightTwips;
        // A new control stays hidden until the layout shows it.
        control->hide();
        controls.emplace_back(control);
        return InProcessControl::extend(control, progId, name, ScreenTwips{15.0f, 15.0f});
    }

    // The control created under this name ("O3"), or null.
    TestControl* control(const QString& name) const {
        for (const auto& control : controls) {
            if (control && control->label == name) {
                return control;
            }
        }
        return nullptr;
    }

    std::vector<AddCall> addCalls;
    // Every call of every control this factory created, in order.
    std::shared_ptr<CallJournal> journal = std::make_shared<CallJournal>();
    // The controls created, in order; empty once their container deleted them.
    std::vector<QPointer<TestControl>> controls;

private:
    struct Registration {
        Kind kind;
        int heightTwips;
    };

    static TestControl* create(Kind kind, QWidget* container) {
        switch (kind) {
            case Kind::Recording:
                return new RecordingControl(container);
            case Kind::WithoutInit:
                return new ControlWithoutInit(container);
            case Kind::ThrowingInRefresh:
                return new ControlThrowingInRefresh(container);
            case Kind::FailingTerminate:
                return new ControlFailingTerminate(container);
            case Kind::WithoutAbsoluteHoehe:
                return new ControlWithoutAbsoluteHoehe(container);
            case Kind::RaisingEventInInit:
                return new ControlRaisingEventInInit(container);
            case Kind::EmittingFromThread:
                return new ControlEmittingFromThread(container);
            case Kind::ThrowingFromTimer:
                return new ControlThrowingFromTimer(container);
        }
        throw Fault::ofNumber(ErrorNumber::CannotCreateObject);
    }

    std::map<QString, Registration> registry_;
};

}  // namespace kestrix
