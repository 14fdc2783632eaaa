// Following the HMI's language variable with the HMI's language selection.

#include "app/KestrixCentral.h"

namespace kestrix {

void KestrixCentral::SpracheGeandert_Change(const QVariant& value) {
    Q_UNUSED(value);
}

}  // namespace kestrix
