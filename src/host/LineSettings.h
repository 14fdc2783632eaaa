#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace kestrix {

// What the operator window knows of the line at its last activation: where Program.ini is, how
// many machines there are (1 to 5) and their names (machine m at index m − 1).
struct LineSettings {
    QString ProgramIniFile;
    int16_t NumberOfMachines = 0;
    std::array<QString, 5> MachineName;
};

}  // namespace kestrix
