#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

namespace kestrix {

class HmiRuntime;

// An invisible control bound to one runtime variable (VWItem). Setting VWItem subscribes to the
// variable; each change of it arrives as Change, the new value first. The four further arguments
// are always empty: the program uses only the value.
class VWSVarServer : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString VWItem READ VWItem WRITE setVWItem)

public:
    // The runtime must outlive the control.
    explicit VWSVarServer(HmiRuntime& runtime, QWidget* parent = nullptr);

    QString VWItem() const { return item_; }
    void setVWItem(const QString& variable);

Q_SIGNALS:
    void Change(const QVariant& value, const QVariant&, const QVariant&, const QVariant&,
                const QVariant&);

private:
    HmiRuntime& runtime_;
    QString item_;
};

}  // namespace kestrix
