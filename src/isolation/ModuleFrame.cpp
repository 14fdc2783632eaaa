#include "isolation/ModuleFrame.h"

#include "isolation/KeyboardFocus.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>

namespace kestrix {

ModuleFrame::ModuleFrame(QWidget* parent)
    : QWidget(parent),
      embedding_(new QWidget(this)),
      panel_(new QWidget(this)),
      text_(new QLabel(panel_)) {
    // The module's window covers the embedding window whole; it paints nothing of its own.
    embedding_->setAttribute(Qt::WA_NativeWindow);
    embedding_->setAttribute(Qt::WA_NoSystemBackground);
    embedding_->setAttribute(Qt::WA_OpaquePaintEvent);

    // "Restart" in the panel's top left corner, then one line: what stopped and why.
    panel_->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(panel_);
    layout->setContentsMargins(PanelMargin, PanelMargin, PanelMargin, PanelMargin);
    auto* restart = new QPushButton(QStringLiteral("Restart"), panel_);
    layout->addWidget(restart, 0, Qt::AlignTop);
    text_->setTextFormat(Qt::PlainText);
    layout->addWidget(text_, 1, Qt::AlignTop);
    panel_->hide();
    connect(restart, &QPushButton::clicked, this, &ModuleFrame::RestartClicked);
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
    KeyboardFocus::takeFocus(*window());
    for (QWidget* field = forward ? nextInFocusChain() : previousInFocusChain(); field != this;
         field = forward ? field->nextInFocusChain() : field->previousInFocusChain()) {
        if (KeyboardFocus::takesTabFocus(*field) && !isAncestorOf(field)) {
            field->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

void ModuleFrame::showStopped(const QString& progId, const QString& cause, int heightPixels) {
    text_->setText(QStringLiteral("%1 stopped: %2").arg(progId, cause));
    setFocusPolicy(Qt::NoFocus);  // "Restart" takes the focus in its place
    embedding_->hide();
    panel_->show();
    panel_->raise();
    resize(width(), heightPixels > 0 ? heightPixels : panel_->sizeHint().height());
}

void ModuleFrame::focusInEvent(QFocusEvent* event) {
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        Q_EMIT FocusEntered(event->reason() == Qt::TabFocusReason);
    }
    QWidget::focusInEvent(event);
}

void ModuleFrame::resizeEvent(QResizeEvent* event) {
    embedding_->setGeometry(QRect(QPoint(0, 0), event->size()));
    panel_->setGeometry(QRect(QPoint(0, 0), event->size()));
    QWidget::resizeEvent(event);
}

}  // namespace kestrix
