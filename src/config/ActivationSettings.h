#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace kestrix {

class FaultScope;
class LogWriter;
class Service;

// The key of a machine's name in its section Machine1..Machine5 of Program.ini.
inline constexpr char MachineNameKey[] = "MachineName";

// What the operator window knows of the line at its last activation: where Program.ini is, how
// many machines there are (1 to 5) and their names (machine m at index m − 1).
struct LineSettings {
    QString ProgramIniFile;
    int16_t NumberOfMachines = 0;
    std::array<QString, 5> MachineName;
};

// The settings of an activation besides the log's own, which the log writer keeps.
struct ActivationSettings {
    QString BaseDirectory;
    bool VWStudio = false;
    LineSettings Line;
};

// The points at which the activation reports its progress: the log's settings are read (from
// here on lines go to the log they name), and the machines are read.
enum class ActivationProgress { LogSettingsRead, MachinesRead };

// Reads the activation's settings in the activation's order: the installation root (the program
// directory less two components), the log's settings from Kestrix.ini into the log writer, then
// VWStudio, NumberOfMachines and the machine names from Program.ini. Missing or unusable values
// take their defaults: the log Kestrix.log beside Kestrix.ini, a size limit of 100 KB unless
// 10..2000, one machine unless 1..5. Each assignment is one step of the caller's fault scope: a
// step that faults writes its fault line there and leaves its value as it was.
void readActivationSettings(FaultScope& p, const Service& service, const QString& programDirectory,
                            LogWriter& log, ActivationSettings& settings,
                            const std::function<void(ActivationProgress)>& progress = {});

}  // namespace kestrix
