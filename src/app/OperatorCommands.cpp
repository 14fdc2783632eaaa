// The operator window's command buttons "End", "Log File" and "Hide".

#include "app/KestrixCentral.h"

namespace kestrix {

void KestrixCentral::cmdEnd_Click() {}

void KestrixCentral::cmdError_Click() {}

void KestrixCentral::cmdHide_Click() {}

}  // namespace kestrix
