#include "hmi/VWSLangSelect.h"

#include "hmi/HmiRuntime.h"

namespace kestrix {

VWSLangSelect::VWSLangSelect(HmiRuntime& runtime, QWidget* parent)
    : QWidget(parent), runtime_(runtime) {
    setVisible(false);
}

void VWSLangSelect::setLCID(qint32 localeId) {
    // Every write reaches the runtime, also a repeated one: the runtime decides what it changes.
    localeId_ = localeId;
    runtime_.selectLanguage(localeId);
}

}  // namespace kestrix
