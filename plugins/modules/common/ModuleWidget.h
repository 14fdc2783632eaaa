#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

class QBoxLayout;
class QLabel;
class QPushButton;

namespace kestrix {

class Reading;

// What every plug-in module has in common: the members the host calls late-bound (Init, Refresh,
// Terminate, AbsoluteHoehe), the identity strip that shows unit, machine number and machine name
// once the host has initialised the module, a row of readings, a column of buttons and the
// once-a-second simulation of the unit's process.
//
// A kind adds its readings and buttons in its constructor, keeps its own process values, and
// overrides advance() (one simulation step) and showReadings() (values into the readings). Its
// events are its own signals; the host receives every signal of the module's classes.
class ModuleWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ AbsoluteHoehe)
public:
    // The simulation steps once a second from Init until Terminate.
    static constexpr int SimulationIntervalMs = 1000;

    ModuleWidget(const QString& kindCaption, int heightTwips, QWidget* parent);

    // Hands the module its unit, machine number and machine name and starts its work.
    Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value);
    // Shows the current values and repaints.
    Q_INVOKABLE void Refresh(bool value);
    // Stops all work for good: the simulation ends and the buttons are disabled, so the module
    // raises no more events before the host drops it.
    Q_INVOKABLE void Terminate(bool value);

    // The height in twips that the module occupies in the host's stack.
    int AbsoluteHoehe() const { return heightTwips_; }

    short unit() const { return unit_; }
    short machine() const { return machine_; }
    const QString& machineName() const { return machineName_; }
    bool isTerminated() const { return terminated_; }

protected:
    Reading* addReading(const QString& caption, const QString& objectName);
    QPushButton* addButton(const QString& text, const QString& objectName);

    // One step of the unit's simulated process; runs only between Init and Terminate.
    virtual void advance() = 0;
    // Writes the current process values into the readings.
    virtual void showReadings() = 0;

    void paintEvent(QPaintEvent* event) override;

private:
    void showIdentity();
    void simulationTick();

    QString kindCaption_;
    int heightTwips_;
    short unit_ = 0;
    short machine_ = 0;
    QString machineName_;
    bool initialised_ = false;
    bool terminated_ = false;

    QLabel* kindLabel_;
    QLabel* identityLabel_;
    QBoxLayout* readings_;
    QBoxLayout* buttons_;
    QTimer simulation_{this};
};

}  // namespace kestrix
