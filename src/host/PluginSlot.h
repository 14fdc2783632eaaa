#pragma once

#include <QPointer>
#include <QString>
#include <cstdint>

namespace kestrix {

class Extender;

// One of the 20 plug-in slots: the created module (empty until creation succeeded and again after
// the end), whether its creation failed (1), the ProgID asked for and the machine it belongs to;
// the unit and the machine's name too, for a restart of the module; whether its module (in a
// process of its own) is stopped.
struct PluginSlot {
    QPointer<Extender> Control;
    int16_t CreateFailed = 0;
    QString ProgID;
    int16_t Machine = 0;
    int16_t Unit = 0;
    QString MachineName;
    bool Stopped = false;
};

}  // namespace kestrix
