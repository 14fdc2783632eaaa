#pragma once

#include <QFrame>
#include <QString>

class QLabel;

namespace kestrix {

// One displayed value of a module: a small caption above a value in large digits. The value
// label carries the reading's object name, so a test or a tool finds it by that name.
class Reading : public QFrame {
    Q_OBJECT
public:
    Reading(const QString& caption, const QString& objectName, QWidget* parent = nullptr);

    void setValue(const QString& text);
    // An alarm shows the value in red until it is cleared.
    void setAlarm(bool alarm);
    QString value() const;

private:
    void applyColour();

    QLabel* value_;
    bool alarm_ = false;
};

}  // namespace kestrix
