#pragma once

#include <QPushButton>

namespace kestrix {

// A flat grey push button of the module panel: a one-pixel dark line around a light face that
// darkens while pressed and greys out when disabled, the text in bold, centred.
class ModuleButton : public QPushButton {
    Q_OBJECT
public:
    ModuleButton(const QString& text, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The layout asks for the size often; the text is measured again only when it has changed.
    mutable QString measuredText_;
    mutable QSize measuredSize_;
};

}  // namespace kestrix
