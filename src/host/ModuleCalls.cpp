#include "host/ModuleCalls.h"

#include <QVariant>
#include <QWidget>

#include "fault/Fault.h"
#include "host/ControlFactory.h"
#include "host/Extender.h"

namespace kestrix {

const QString ModuleCalls::CreateSource = QStringLiteral("KX.NeuesObjekt");
const QString ModuleCalls::PlaceSource = QStringLiteral("KX.PositioniereObjekte");
const QString ModuleCalls::EventSource = QStringLiteral("KX.OCXEreignis");
const QString ModuleCalls::EndSource = QStringLiteral("KX.InternEndProgram");

const std::array<ModuleCalls::Member, 4> ModuleCalls::Members = {{
    {"Init", 3, true, "Init(unit, machine, name) = True"},
    {"Refresh", 0, true, "Refresh = True"},
    {"AbsoluteHoehe", 0, false, "read AbsoluteHoehe"},
    {"Terminate", 0, true, "Terminate = True"},
}};

ModuleCalls::ModuleCalls(ControlFactory& controls, EventSinks& sinks, ScreenTwips twips)
    : controls_(controls), sinks_(sinks), twips_(twips) {}

QString ModuleCalls::controlName(int n) {
    return QLatin1Char('O') + QString::number(n);
}

QString ModuleCalls::createFaultSource(const QString& progId, int n) {
    return CreateSource + QStringLiteral(" Object:") + progId + QLatin1Char('[') +
           QString::number(n) + QLatin1Char(']');
}

QString ModuleCalls::eventBoxText(int16_t slot, const QString& eventName) {
    return QString::number(slot) + QLatin1Char(' ') + eventName;
}

ModuleCalls::BoxedEvent ModuleCalls::eventOfBoxText(const QString& text) {
    return BoxedEvent{static_cast<int16_t>(text.section(QLatin1Char(' '), 0, 0).toInt()),
                      text.section(QLatin1Char(' '), 1)};
}

QString ModuleCalls::ownCodeFaultLine(const Fault& fault, const QString& progId,
                                      const QString& control) {
    return faultLine(Fault(fault.number(), fault.description(), progId),
                     QStringLiteral("KX.") + control);
}

QString ModuleCalls::stopFaultLine(const Fault& fault, int16_t n) {
    return faultLine(fault, QStringLiteral("KX.") + controlName(n));
}

Extender* ModuleCalls::create(int16_t n, const QString& progId, QWidget* pictureHaupt) {
    Extender* module = controls_.AddModule(progId, controlName(n), pictureHaupt);
    sinks_.hold(n, module);
    return module;
}

void ModuleCalls::init(Extender& module, int16_t unit, int16_t machine,
                       const QString& machineName) {
    module.let(QStringLiteral("Init"), true,
               {QVariant::fromValue(unit), QVariant::fromValue(machine), machineName});
}

void ModuleCalls::refresh(Extender& module) {
    module.let(QStringLiteral("Refresh"), true);
}

void ModuleCalls::placeLeft(Extender& module) {
    module.setLeft(0);
}

void ModuleCalls::placeTop(Extender& module, int32_t topTwips) {
    module.setTop(topTwips);
}

void ModuleCalls::placeWidth(Extender& module, const QWidget& pictureHaupt) const {
    module.setWidth(static_cast<float>(pictureHaupt.width() * twips_.x));
}

void ModuleCalls::show(Extender& module) {
    module.setVisible(true);
}

double ModuleCalls::height(Extender& module) {
    return AbsoluteHoeheOf(module);
}

void ModuleCalls::terminate(Extender& module) {
    module.let(QStringLiteral("Terminate"), true);
}

}  // namespace kestrix
