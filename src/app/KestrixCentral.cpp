#include "app/KestrixCentral.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QWheelEvent>
#include <cstdio>

#include "app/LoadedForms.h"
#include "app/Platform.h"
#include "fault/Fault.h"
#include "hmi/HmiLanguage.h"
#include "hmi/VWSLangSelect.h"
#include "hmi/VWSVarServer.h"
#include "host/ControlFactory.h"
#include "host/Extender.h"
#include "host/ModuleCalls.h"

// The window's picture is a resource of this static library, which the linker leaves out unless
// something refers to it; registering it here pulls it in (at file scope: the macro names a
// global function).
static void registerAppResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    (void)registered;
}

namespace kestrix {

namespace {

const QColor ButtonFace(192, 192, 192);  // &H00C0C0C0
const QColor PluginArea(220, 220, 220);  // &H00DCDCDC
const QColor LogButtonRed(255, 0, 0);
// The stopped modules' line: the alarm red of a stopped module's panel, with white text.
const QColor StoppedAlarm(0xb3, 0x26, 0x1e);
const QColor StoppedText(0xff, 0xff, 0xff);

void setBackColour(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Button, colour);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

}  // namespace

KestrixCentral::KestrixCentral(Platform& platform, LoadedForms& forms)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      platform_(platform),
      forms_(forms) {
    buildDesign();
    firstActivationDue_.setSingleShot(true);
    firstActivationDue_.setInterval(FirstActivationFallbackMs);
    connect(&firstActivationDue_, &QTimer::timeout, this, &KestrixCentral::runActivation);
}

KestrixCentral::~KestrixCentral() = default;

Extender* KestrixCentral::ScrollBar() const {
    return scrollBar_.data();
}

void KestrixCentral::placeInTwips(QWidget* control, double left, double top, double width,
                                  double height) {
    const ScreenTwips& twips = platform_.twips;
    control->setGeometry(twips.toPixelsX(left), twips.toPixelsY(top), twips.toPixelsX(width),
                         twips.toPixelsY(height));
}

void KestrixCentral::buildDesign() {
    setObjectName(QStringLiteral("KestrixCentral"));
    setWindowTitle(QStringLiteral("Kestrix"));
    registerAppResources();
    setWindowIcon(QIcon(QStringLiteral(":/app/kestrix-icon.png")));
    setFixedSize(platform_.twips.toPixelsX(12000), platform_.twips.toPixelsY(9000));
    setBackColour(this, ButtonFace);

    auto* pictureRahmen = new QWidget(this);
    pictureRahmen_ = pictureRahmen;
    pictureRahmen->setObjectName(QStringLiteral("PictureRahmen"));
    placeInTwips(pictureRahmen, 45, 45, 11295, 7890);
    setBackColour(pictureRahmen, ButtonFace);
    pictureRahmen->setFocusPolicy(Qt::TabFocus);

    // The status label lies behind the plug-in area, which covers it once modules are laid out.
    statusLabel_ = new QLabel(QStringLiteral("Status"), pictureRahmen);
    statusLabel_->setObjectName(QStringLiteral("StatusLabel"));
    placeInTwips(statusLabel_, 150, 150, 4020, 360);
    setBackColour(statusLabel_, ButtonFace);
    QFont statusFont(QStringLiteral("Lucida Sans Unicode"));
    statusFont.setPointSizeF(9.75);
    statusFont.setWeight(QFont::Normal);
    statusLabel_->setFont(statusFont);

    pictureHaupt_ = new QWidget(pictureRahmen);
    pictureHaupt_->setObjectName(QStringLiteral("PictureHaupt"));
    placeInTwips(pictureHaupt_, 0, 0, ModuleCalls::PictureHauptWidthTwips, 30);
    setBackColour(pictureHaupt_, PluginArea);
    pictureHaupt_->setFocusPolicy(Qt::TabFocus);
    pictureHaupt_->raise();

    try {
        scrollBar_ = platform_.controls.Add(QLatin1String(ScrollBarProgId),
                                            QStringLiteral("ScrollBar"), this);
        scrollBar_->setLeft(11385);
        scrollBar_->setTop(45);
        scrollBar_->setWidth(570);
        scrollBar_->setHeight(7890);
        scrollBar_->setVisible(true);
    } catch (const Fault& fault) {
        // Without its scroll bar the window still works; the layout reports the missing control.
        qWarning("Kestrix: the scroll bar control cannot be created: %s",
                 qPrintable(fault.description()));
    }

    auto makeButton = [this](const char* name, const char* caption, double left, double top) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        placeInTwips(button, left, top, 1095, 435);
        setBackColour(button, ButtonFace);
        return button;
    };
    cmdHide_ = makeButton("cmdHide", "Hide", 45, 7995);
    cmdEnd_ = makeButton("cmdEnd", "End", 45, 8475);
    cmdError_ = makeButton("cmdError", "Log File", 10245, 7995);

    // In the free room between "Hide" and "Log File"; a click is enough, so it takes no focus and
    // leaves the Tab order as it is.
    cmdStopped_ = new QPushButton(this);
    cmdStopped_->setObjectName(QStringLiteral("cmdStopped"));
    placeInTwips(cmdStopped_, 1230, 7995, 8925, 435);
    cmdStopped_->setFocusPolicy(Qt::NoFocus);
    QFont stoppedFont = cmdStopped_->font();
    stoppedFont.setBold(true);
    cmdStopped_->setFont(stoppedFont);
    cmdStopped_->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: %2; border: 2px outset %1; }"
                       "QPushButton:pressed { border-style: inset; }")
            .arg(StoppedAlarm.name(), StoppedText.name()));
    cmdStopped_->hide();

    // Tab order: cmdHide, cmdEnd, PictureRahmen, ScrollBar, PictureHaupt, cmdError (the label
    // takes no focus).
    QList<QWidget*> tabOrder{cmdHide_, cmdEnd_, pictureRahmen};
    if (scrollBar_ && scrollBar_->control()) {
        scrollBar_->control()->setFocusPolicy(Qt::TabFocus);
        tabOrder.append(scrollBar_->control());
    }
    tabOrder.append({pictureHaupt_, cmdError_});
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    cmdHide_->setFocus();

    vwLanguage_ = new VWSLangSelect(platform_.runtime, this);
    vwLanguage_->setObjectName(QStringLiteral("VWLanguage"));
    vwLanguage_->hide();
    spracheGeandert_ = new VWSVarServer(platform_.runtime, this);
    spracheGeandert_->setObjectName(QStringLiteral("SpracheGeandert"));
    spracheGeandert_->hide();
    spracheGeandert_->setProperty("VWItem", QString::fromLatin1(HmiLanguage::Variable));
}

void KestrixCentral::showLogButtonRed() {
    setBackColour(cmdError_, LogButtonRed);
    // The style shades a button's face from its palette colour (a light red). A style sheet with
    // a border of its own draws the face in the colour itself, raised, and sunken while pressed,
    // as a plain button with that colour looks.
    cmdError_->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: rgb(255, 0, 0); border: 2px outset rgb(255, 0, 0); }"
        "QPushButton:pressed { border-style: inset; }"));
}

bool KestrixCentral::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
            // The first showing activates the window. A window manager hands it the focus only
            // once it has taken the window in; where none does, the activation runs anyway.
            if (!firstActivationDue_.isActive() && !firstActivationDone_) {
                firstActivationDue_.start();
            }
            break;
        case QEvent::Paint:
            reportFirstPaint();
            break;
        case QEvent::WindowActivate:
            if (forms_.becameActive(this) || !firstActivationDone_) {
                runActivation();
            }
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

// The turn goes to the part of the bar in its middle (its track), as if turned over the bar.
void KestrixCentral::wheelEvent(QWheelEvent* event) {
    QWidget* bar = scrollBar_ ? scrollBar_->control() : nullptr;
    if (bar == nullptr || !pictureRahmen_->geometry().contains(event->position().toPoint())) {
        QWidget::wheelEvent(event);
        return;
    }
    QWidget* track = bar->childAt(bar->rect().center());
    QWidget* target = track != nullptr ? track : bar;
    const QPointF centre = QRectF(target->rect()).center();
    QWheelEvent turn(centre, target->mapToGlobal(centre), event->pixelDelta(), event->angleDelta(),
                     event->buttons(), event->modifiers(), event->phase(), event->inverted(),
                     event->source());
    QCoreApplication::sendEvent(target, &turn);
    event->setAccepted(turn.isAccepted());
}

void KestrixCentral::reportFirstPaint() {
    // For start-up measurements: with KESTRIX_REPORT_FIRST_PAINT set, the first paint of the
    // operator window is announced on standard error.
    if (!firstPaintReported_ && qEnvironmentVariableIsSet("KESTRIX_REPORT_FIRST_PAINT")) {
        std::fputs("kestrix: first paint of the operator window\n", stderr);
        std::fflush(stderr);
    }
    firstPaintReported_ = true;
}

void KestrixCentral::runActivation() {
    firstActivationDue_.stop();
    firstActivationDone_ = true;
    forms_.becameActive(this);
    emit activated();
}

void KestrixCentral::closeEvent(QCloseEvent* event) {
    // The window's close box asks like "End" does; only InternEndProgram unloads the window.
    event->ignore();
    emit closeRequested();
}

}  // namespace kestrix
