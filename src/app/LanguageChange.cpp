// Following the HMI's language variable with the HMI's language selection.

#include "app/KestrixCentral.h"
#include "app/LoadedForms.h"
#include "app/OperatorSession.h"
#include "hmi/HmiLanguage.h"
#include "hmi/VWSLangSelect.h"
#include "host/LateBinding.h"
#include "log/FaultScope.h"

namespace kestrix {

namespace {

// Whether the variable's new value is German's locale id, whatever numeric type carries it. A
// value that is no number is not German.
bool isGerman(const QVariant& value) {
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    return isNumber && number == HmiLanguage::German;
}

}  // namespace

void OperatorSession::SpracheGeandert_Change(const QVariant& value) {
    RunningProcedures::Running running(forms_.procedures());
    FaultScope p(Log, QStringLiteral("KX.SpracheGeandert_Change"));
    if (p.test([&] { return isGerman(value); })) {
        p.step([&] {
            LateBinding::letId(window_->VWLanguage(), VWSLangSelect::LcidDispId,
                               QVariant(HmiLanguage::German));
        });
    } else {
        p.step([&] {
            LateBinding::letId(window_->VWLanguage(), VWSLangSelect::LcidDispId,
                               QVariant(HmiLanguage::English));
        });
    }
}

}  // namespace kestrix
