#include "isolation/ModuleFrame.h"

#include "channel/KeyboardFocus.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "platform/Clock.h"
#include "platform/x11/X11InputFocus.h"

namespace kestrix {

namespace {

// The modules' own look: their slate panel, the white bold text of their identity strip, the grey
// of their captions and their flat light buttons; the strip itself in a deep alarm red.
const QColor Panel{0x3a, 0x3f, 0x45};
const QColor AlarmStrip{0xb3, 0x26, 0x1e};
const QColor StripText{0xff, 0xff, 0xff};
const QColor Caption{0xc8, 0xcc, 0xd0};
const QColor Button{0xd4, 0xd6, 0xd8};
const QColor ButtonText{0x15, 0x18, 0x1b};

void setColours(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Button, background);
    palette.setColor(QPalette::ButtonText, text);
    widget->setPalette(palette);
}

QFont fontOf(QFont font, qreal points, bool bold) {
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QFont& font) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

// The time as the log stamps its lines, so that the operator finds the stop's line there.
QString stampOf(const LocalDateTime& at) {
    return QString::asprintf("%02d:%02d:%02d on %02d.%02d.%02d", at.hour, at.minute, at.second,
                             at.month, at.day, at.year % 100);
}

}  // namespace

ModuleFrame::ModuleFrame(QWidget* parent) : QWidget(parent), embedding_(new QWidget(this)) {
    panel_ = buildPanel();
    // The module's window covers the embedding window whole; it paints nothing of its own.
    embedding_->setAttribute(Qt::WA_NativeWindow);
    embedding_->setAttribute(Qt::WA_NoSystemBackground);
    embedding_->setAttribute(Qt::WA_OpaquePaintEvent);
    panel_->hide();
}

// The alarm strip across the top, unit on the left and machine on the right as in the module's
// own header; below it "Restart" in the top left corner, beside it when the module stopped and,
// smaller, why.
QWidget* ModuleFrame::buildPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("stoppedPanel"));
    panel->setAutoFillBackground(true);
    setColours(panel, Panel, StripText);

    auto* strip = new QWidget(panel);
    strip->setAutoFillBackground(true);
    strip->setFixedHeight(StripHeight);
    setColours(strip, AlarmStrip, StripText);
    const QFont stripFont = fontOf(font(), 10, true);
    unit_ = makeLabel(strip, "stoppedUnit", stripFont);
    machine_ = makeLabel(strip, "stoppedMachine", stripFont);
    auto* header = new QHBoxLayout(strip);
    header->setContentsMargins(PanelMargin, 0, PanelMargin, 0);
    header->addWidget(unit_);
    header->addStretch(1);
    header->addWidget(machine_);

    auto* restart = new QPushButton(QStringLiteral("Restart"), panel);
    restart->setFont(fontOf(font(), 9, true));
    setColours(restart, Button, ButtonText);
    connect(restart, &QPushButton::clicked, this, &ModuleFrame::restartClicked);
    when_ = makeLabel(panel, "stoppedWhen", fontOf(font(), 10, true));
    cause_ = makeLabel(panel, "stoppedCause", fontOf(font(), 8, false));
    cause_->setWordWrap(true);
    setColours(cause_, Panel, Caption);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(when_);
    texts->addWidget(cause_);
    texts->addStretch(1);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(PanelMargin, PanelMargin, PanelMargin, PanelMargin);
    body->setSpacing(12);
    body->addWidget(restart, 0, Qt::AlignTop);
    body->addLayout(texts, 1);

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip);
    layout->addLayout(body, 1);
    return panel;
}

bool ModuleFrame::canEmbed() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

WId ModuleFrame::embeddingWindow() {
    return canEmbed() ? embedding_->winId() : 0;
}

void ModuleFrame::showModule() {
    panel_->hide();
    embedding_->show();
    setFocusPolicy(Qt::TabFocus);
}

void ModuleFrame::focusAfter(bool forward) {
    QWidget* next = nullptr;
    for (QWidget* field = forward ? nextInFocusChain() : previousInFocusChain(); field != this;
         field = forward ? field->nextInFocusChain() : field->previousInFocusChain()) {
        if (KeyboardFocus::takesTabFocus(*field) && !isAncestorOf(field)) {
            next = field;
            break;
        }
    }
    if (qobject_cast<ModuleFrame*>(next) == nullptr) {
        X11InputFocus::give(window()->winId());
    }
    if (next != nullptr) {
        next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }
}

void ModuleFrame::focusArrived(WId window) {
    QWidget* operatorWindow = this->window();
    if (operatorWindow->internalWinId() == window && operatorWindow->focusWidget() == this &&
        embedding_->isVisible()) {
        X11InputFocus::giveToEmbedded(embedding_->winId());
    }
}

void ModuleFrame::passWheel(QPoint angleDelta) {
    QWidget* operatorWindow = window();
    const QPoint centre = mapTo(operatorWindow, rect().center());
    QWheelEvent turn(centre, operatorWindow->mapToGlobal(centre), QPoint(), angleDelta,
                     Qt::NoButton, QGuiApplication::keyboardModifiers(), Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(operatorWindow, &turn);
}

void ModuleFrame::setIdentity(int unit, int machine, const QString& machineName) {
    identityUnit_ = unit;
    identityMachine_ = machine;
    identityMachineName_ = machineName;
}

// A module that stopped before its Init is named by its ProgID alone.
void ModuleFrame::showStopped(const QString& progId, const QString& cause, const LocalDateTime& at,
                              int heightPixels) {
    const bool identified = identityUnit_ != 0 || identityMachine_ != 0;
    unit_->setText(identified ? QStringLiteral("Unit %1 stopped").arg(identityUnit_)
                              : QStringLiteral("%1 stopped").arg(progId));
    machine_->setText(
        identified
            ? QStringLiteral("Machine %1  %2").arg(identityMachine_).arg(identityMachineName_)
            : QString());
    when_->setText(QStringLiteral("Stopped at %1. \"Restart\" starts it again.").arg(stampOf(at)));
    cause_->setText(QStringLiteral("%1: %2").arg(progId, cause));
    setFocusPolicy(Qt::NoFocus);  // "Restart" takes the focus in its place
    embedding_->hide();
    panel_->show();
    panel_->raise();
    resize(width(), heightPixels > 0 ? heightPixels : panel_->sizeHint().height());
}

void ModuleFrame::focusInEvent(QFocusEvent* event) {
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        Q_EMIT focusEntered(event->reason() == Qt::TabFocusReason);
    }
    QWidget::focusInEvent(event);
}

void ModuleFrame::resizeEvent(QResizeEvent* event) {
    embedding_->setGeometry(QRect(QPoint(0, 0), event->size()));
    panel_->setGeometry(QRect(QPoint(0, 0), event->size()));
    QWidget::resizeEvent(event);
}

}  // namespace kestrix
