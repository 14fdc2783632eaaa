#pragma once

#include <QStringList>

namespace kestrix {
class LogWriter;
class PluginControlFactory;
class Service;
struct ActivationSettings;
}  // namespace kestrix

namespace kestrix::check {

// What the plan has found out about a line, for its warnings.
struct PlannedLine {
    QString root;
    const ActivationSettings& settings;  // as the activation read them
    const LogWriter& log;                // with the log settings the activation read
    QStringList slotProgIds;             // the ProgIDs of the modules that get a slot
    const PluginControlFactory& registry;
    QStringList siteFolders;  // from the site's list of plug-in folders
};

// One "warning: " line each for what the shell silently passes over or changes: keys of the
// Machine sections that the shell does not know (with the nearest one it knows), a key given
// twice, Machine sections beyond the machines the shell uses, values outside their range with
// the value the shell uses instead, units a mask asks for above its kind's highest unit, and
// libraries of the site's folders that serve no slot. Nothing when the line is sound.
void printPlanWarnings(const PlannedLine& line, const Service& service);

}  // namespace kestrix::check
