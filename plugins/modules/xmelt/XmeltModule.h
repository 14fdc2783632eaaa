#pragma once

#include "common/ModuleWidget.h"

class QPushButton;

namespace kestrix {

class Reading;

// A hot-melt tank: its fill level and glue temperature, and the heating that holds the glue at
// its set point. The operator can switch the heating off and on and request a refill. When the
// glue cools below the alarm limit the tank raises TemperatureAlarm, once per drop below it.
class XmeltModule : public ModuleWidget {
    Q_OBJECT
public:
    static constexpr int HeightTwips = 2400;
    static constexpr double SetPointCelsius = 170.0;
    static constexpr double AlarmBelowCelsius = 150.0;

    explicit XmeltModule(QWidget* parent = nullptr);

    double temperature() const { return celsius_; }
    double level() const { return levelPercent_; }
    bool heating() const { return heating_; }

Q_SIGNALS:
    void TemperatureAlarm(double celsius);
    void RefillRequested(int levelPercent);

protected:
    void advance() override;
    void showReadings() override;

private:
    void toggleHeating();
    void requestRefill();

    double celsius_ = SetPointCelsius;
    double levelPercent_ = 78.0;
    bool heating_ = true;
    bool refilling_ = false;
    bool alarmRaised_ = false;
    Reading* levelReading_;
    Reading* temperatureReading_;
    Reading* heatingReading_;
    QPushButton* heatingButton_;
};

}  // namespace kestrix
