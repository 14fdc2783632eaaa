#include "app/KestrixStart.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/InstallationRoot.h"
#include "app/KestrixCentral.h"
#include "app/LoadedForms.h"
#include "app/Platform.h"
#include "app/StartPlacement.h"
#include "config/Service.h"
#include "hmi/VWSStart.h"
#include "log/Fault.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"

namespace kestrix {

KestrixStart::KestrixStart(Platform& platform, LoadedForms& forms, Service& service)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      platform_(platform),
      forms_(forms),
      service_(service) {
    setObjectName(QStringLiteral("KestrixStart"));
    setWindowTitle(QString());
    setFixedSize(platform_.twips.toPixelsX(DesignWidthTwips),
                 platform_.twips.toPixelsY(DesignHeightTwips));

    VWSStart1 = new VWSStart(platform_.runtime, this);
    VWSStart1->setObjectName(QStringLiteral("VWSStart1"));
    VWSStart1->setGeometry(rect());
    connect(VWSStart1, &VWSStart::StartResult, this, &KestrixStart::VWSStart1_StartResult);
    connect(VWSStart1, &VWSStart::RuntimeEnded, this, &KestrixStart::VWSStart1_RuntimeEnded);

    forms_.load(this);
}

KestrixStart::~KestrixStart() = default;

KestrixCentral* KestrixStart::central() const {
    return central_.data();
}

void KestrixStart::Form_Load() {
    // Without a usable root or with an assumed screen too large for 16 bits the window is placed
    // centred on the real screen; there is no log yet to tell about it.
    std::optional<StartPlacement> placement;
    try {
        const QString programIni = programIniOf(installationRootOf(platform_.programDirectory));
        const bool withLineDisplay = service_.LoadIniBoolean(
            QStringLiteral("Project"), QStringLiteral("WithLineDisplay"), programIni, false);
        const int resolution = service_.LoadIniInteger(
            QStringLiteral("Project"), QStringLiteral("Resolution"), programIni, false);
        placement = placeStartWindow(
            withLineDisplay, resolution, platform_.twips.x, platform_.twips.y,
            StartWindowSize{platform_.twips.x * width(), platform_.twips.y * height()});
    } catch (const Fault&) {
        placement.reset();
    }
    if (placement) {
        move(qRound(placement->left / platform_.twips.x),
             qRound(placement->top / platform_.twips.y));
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

void KestrixStart::VWSStart1_StartResult(bool started) {
    if (started) {
        if (!central_) {
            central_ = new KestrixCentral(platform_, forms_, service_, *this);
        }
        platform_.desktop.AllowMinimise(central_);
        central_->show();
        central_->activateWindow();
        central_->setFocus();
        hide();
        return;
    }
    platform_.dialogs.MsgBox(QStringLiteral("Initialisierung fehlgeschlagen!"),
                             MsgBoxStyle::OkOnly | MsgBoxStyle::Critical);
    forms_.unload(this);
    // No window is left: the program ends, reporting the failed start in its exit status.
    platform_.endProgram(1);
}

void KestrixStart::VWSStart1_RuntimeEnded() {
    forms_.unload(this);
    platform_.endProgram(0);
}

}  // namespace kestrix
