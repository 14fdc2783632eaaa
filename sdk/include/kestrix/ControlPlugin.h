// The Kestrix plug-in SDK: what a library needs to offer controls to the Kestrix shell.
//
// A plug-in library is a Qt plugin that serves one ProgID. Its metadata names the ProgID
// ({"ProgID": "XKX_OCR.OCR"}), so the shell registers the library without loading it; the library
// is loaded when the first control of that ProgID is created. Build it with the CMake function
// kestrix_add_control_plugin(<target> PROGID <id> SOURCES <files>...), which writes the metadata,
// and declare its plug-in class in one of its .cpp files:
//
//     #include <kestrix/ControlPlugin.h>
//     #include "OcrStation.h"
//
//     KESTRIX_CONTROL_PLUGIN(OcrStationPlugin, OcrStation)
//
//     #include "OcrStationPlugin.moc"
//
// ProgIDs. The shell's registry compares ProgIDs without regard to case, as the registry of the
// original platform did: "xkx_ocr.ocr" and "XKX_OCR.OCR" name the same module kind. sameProgId()
// and progIdKey() below are that rule; the shell, its tools and its tests use nothing else.
//
// Order. The shell searches the folders of KESTRIX_PLUGIN_PATH (colon-separated, in order), then
// those listed in /etc/kestrix/plugin-path, then its own "plugins" folder; the first library
// found for a ProgID serves it and shadows the later ones. Relative folders are not searched, nor
// folders or libraries owned by another user than the shell's and root, writable by anyone but
// their owner and root, or lying in a folder others may write to that is not sticky; each is
// named on standard error.
//
// The control. createControl returns a QWidget whose class declares, for the shell to reach by
// name through the meta-object (no header of the plug-in is ever included by the shell):
//
//   Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value)
//       Called once, right after creation, while the control is still hidden; value is true.
//   Q_INVOKABLE void Refresh(bool value)
//       Called right after Init: show the current values.
//   Q_PROPERTY(int AbsoluteHoehe READ ...)
//       The height in twips (1/1440 inch) that the control occupies; the shell stacks its
//       controls by it, one screen pixel apart, and gives each the width of its plug-in area.
//       ScreenTwips (kestrix/ScreenTwips.h) converts twips to pixels as the shell does.
//   Q_INVOKABLE void Terminate(bool value)
//       Called once at the end, before the shell lets go of the control: stop all work and raise
//       no more events.
//   Events: every signal that the control's own classes declare (not those of QWidget and its
//       bases) is an event. The shell shows the operator a message box with the control's slot
//       number and the signal's name; the emit returns when the operator has closed it.
//   Dispatch ids: a member can also be reached by number, declared with
//       Q_CLASSINFO("DispId 0x68030002", "max")
//
// A member that is missing is fault 438 in the shell's log, an argument that does not convert is
// 13, and a C++ exception thrown by a member is a fault line carrying the exception's text; the
// shell carries on either way. `kestrix-check plugin LIBRARY` shows how the shell will treat a
// plug-in before it goes on a line.
#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <QtPlugin>

namespace kestrix {

// Whether two ProgIDs name the same control: compared without regard to case.
inline bool sameProgId(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The key under which a registry files a ProgID: equal keys for ProgIDs that sameProgId() holds
// the same.
inline QString progIdKey(const QString& progId) {
    return progId.toCaseFolded();
}

// What a plug-in library offers: controls of its ProgID.
class ControlPlugin {
public:
    virtual ~ControlPlugin() = default;
    // A new control of this ProgID with this parent, or null when the library does not serve it.
    virtual QWidget* createControl(const QString& progId, QWidget* parent) = 0;
};

}  // namespace kestrix

// The interface's identity, version 1. Libraries built against any 1.x SDK carry it and load into
// every shell that asks for it. A change of this interface's binary layout (a new or changed
// virtual function of ControlPlugin) comes with a new identity, "org.kestrix.ControlPlugin/2",
// and SDK 2.0: a shell that asks for the new identity no longer loads libraries built for this
// one (it says which identity it expects), so every plug-in must then be rebuilt against the new
// SDK. The members reached by name (Init, Refresh, AbsoluteHoehe, Terminate, the events)
// are not part of the identity: the shell checks them at run time.
#define KestrixControlPlugin_iid "org.kestrix.ControlPlugin/1"
Q_DECLARE_INTERFACE(kestrix::ControlPlugin, KestrixControlPlugin_iid)

// Declares the plug-in class PluginClass of a library built with kestrix_add_control_plugin: it
// creates controls of ControlClass (a QWidget with a (QWidget* parent) constructor) for the
// library's ProgID and nothing for any other. Write it once, in a .cpp file that then includes
// its own .moc file, so that moc sees the class.
#define KESTRIX_CONTROL_PLUGIN(PluginClass, ControlClass)                                   \
    class PluginClass : public QObject, public ::kestrix::ControlPlugin {                   \
        Q_OBJECT                                                                            \
        Q_PLUGIN_METADATA(IID KestrixControlPlugin_iid FILE "kestrix_control_plugin.json")  \
        Q_INTERFACES(kestrix::ControlPlugin)                                                \
    public:                                                                                 \
        QWidget* createControl(const QString& progId, QWidget* parent) override {           \
            if (!::kestrix::sameProgId(progId,                                              \
                                       QString::fromUtf8(KESTRIX_CONTROL_PLUGIN_PROGID))) { \
                return nullptr;                                                             \
            }                                                                               \
            return new ControlClass(parent);                                                \
        }                                                                                   \
    };
