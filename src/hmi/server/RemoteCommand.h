#pragma once

#include "hmi/server/RuntimeOptions.h"

namespace kestrix {

// `kestrix-hmi set NAME VALUE`, `get NAME` and `stop`: one request to the running runtime from
// another process (a person or a test). Returns the program's exit status: 0 when the runtime
// carried it out, 1 when no runtime answers or it refused.
int runRemoteCommand(const RuntimeOptions& options, const QString& socketPath);

}  // namespace kestrix
