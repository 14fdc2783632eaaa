#pragma once

#include <QLabel>
#include <QString>

namespace kestrix {

// One displayed value of a module: a small caption above a value in large digits in a black box.
// The reading is one label: its text is the value and it paints its caption above the box itself,
// so a reading costs one widget. It carries the reading's object name, so a test or a tool finds
// the value by that name.
class Reading : public QLabel {
    Q_OBJECT
public:
    Reading(const QString& caption, const QString& objectName, QWidget* parent = nullptr);

    void setValue(const QString& text) { setText(text); }
    // An alarm shows the value in red until it is cleared.
    void setAlarm(bool alarm);
    QString value() const { return text(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int captionHeight() const;

    QString caption_;
    QFont captionFont_;
    bool alarm_ = false;
};

}  // namespace kestrix
