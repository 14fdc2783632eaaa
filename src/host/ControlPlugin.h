#pragma once

#include <QString>
#include <QtPlugin>

class QWidget;

namespace kestrix {

// What a plug-in library offers: controls of the ProgID that its metadata names. A library
// declares
//     Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "xmelt.json")
// with {"ProgID": "XKX_Xmelt.Xmelt"} in the JSON file, so the host registers the ProgID without
// loading the library.
//
// A control is a QWidget whose class declares its members with Q_PROPERTY and Q_INVOKABLE (a
// plug-in module: Init(short unit, short machine, QString machineName, bool), Refresh(bool),
// Terminate(bool), AbsoluteHoehe) and its events as signals; the host includes no plug-in header.
class ControlPlugin {
public:
    virtual ~ControlPlugin() = default;
    virtual QWidget* createControl(const QString& progId, QWidget* parent) = 0;
};

}  // namespace kestrix

#define KestrixControlPlugin_iid "org.kestrix.ControlPlugin/1"
Q_DECLARE_INTERFACE(kestrix::ControlPlugin, KestrixControlPlugin_iid)
