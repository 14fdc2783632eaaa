#pragma once

#include <QLabel>
#include <QString>
#include <QTimer>
#include <QWidget>

// The Vision OCR station: a camera reads the date code on every pack and grades how sure it is.
// It shows the last code, its confidence and the packs rejected since start; a read below the
// confidence limit rejects the pack and raises CodeRejected.
class OcrStation : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int AbsoluteHoehe READ AbsoluteHoehe)
public:
    static constexpr int HeightTwips = 1350;
    static constexpr int ConfidenceLimit = 60;

    explicit OcrStation(QWidget* parent = nullptr);

    // The members the shell calls.
    Q_INVOKABLE void Init(short unit, short machine, const QString& machineName, bool value);
    Q_INVOKABLE void Refresh(bool value);
    Q_INVOKABLE void Terminate(bool value);
    int AbsoluteHoehe() const { return HeightTwips; }

Q_SIGNALS:
    // The events the shell shows the operator.
    void CodeRejected(const QString& code, int confidence);

private:
    void readPack();
    void showReadings();

    QTimer camera_;
    QLabel* title_;
    QLabel* code_;
    QLabel* confidence_;
    QLabel* rejected_;
    QString lastCode_;
    int lastConfidence_ = 0;
    int packs_ = 0;
    int rejects_ = 0;
    bool terminated_ = false;
};
