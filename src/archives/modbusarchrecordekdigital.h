#ifndef MODBUSARCHRECORDEKDIGITAL_H
#define MODBUSARCHRECORDEKDIGITAL_H

#include "modbusarchrecord.h"

/// An archive record of the meter family, split into named notifying values. Three record generations
/// exist (58, 92 and 128 bytes); ekdGeneration chooses the layout. The model roles follow the generation
/// and the heat channel: heat columns appear for generation 2 and later once a record tells that the
/// device has one.
///
/// Available in QML as `ModbusArchRecordEkDigital` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusArchRecordEkDigital : public ModbusArchRecord
{
    Q_OBJECT
    /// The time the record stands for (the end of its interval).
    Q_PROPERTY(QDateTime recordLabel READ recordLabel NOTIFY recordLabelChanged)
    /// Service flags; bit 0 tells that the device has a heat channel.
    Q_PROPERTY(quint16 serviceFlags READ serviceFlags NOTIFY serviceFlagsChanged)
    /// Flow rate error and status flags (bits 0-5, see the six status flags).
    Q_PROPERTY(quint16 flowRateEsFlags READ flowRateEsFlags NOTIFY flowRateEsFlagsChanged)
    /// Heat channel error and status flags.
    Q_PROPERTY(qint32 heatEsFlags READ heatEsFlags NOTIFY heatEsFlagsChanged)
    /// Work time, s.
    Q_PROPERTY(quint32 workTime READ workTime NOTIFY workTimeChanged)
    /// Time without flow rate measuring, s.
    Q_PROPERTY(quint32 flowRateSensorLessTime READ flowRateSensorLessTime NOTIFY flowRateSensorLessTimeChanged)
    /// Time without heat measuring, s.
    Q_PROPERTY(quint32 heatSensorLessTime READ heatSensorLessTime NOTIFY heatSensorLessTimeChanged)
    /// Forward volume counter V+, m³.
    Q_PROPERTY(double vPlus READ vPlus NOTIFY vPlusChanged)
    /// Reverse volume counter V-, m³.
    Q_PROPERTY(double vMinus READ vMinus NOTIFY vMinusChanged)
    /// Mass counter M+, t.
    Q_PROPERTY(double mPlus READ mPlus NOTIFY mPlusChanged)
    /// Heat counter W, Gcal.
    Q_PROPERTY(double w READ w NOTIFY wChanged)
    /// Work time within the interval, s.
    Q_PROPERTY(quint16 dWorkTime READ dWorkTime NOTIFY dWorkTimeChanged)
    /// Time without flow rate measuring within the interval, s.
    Q_PROPERTY(quint16 dFlowRateSensorLessTime READ dFlowRateSensorLessTime NOTIFY dFlowRateSensorLessTimeChanged)
    /// Time without heat measuring within the interval, s.
    Q_PROPERTY(quint16 dHeatSensorLessTime READ dHeatSensorLessTime NOTIFY dHeatSensorLessTimeChanged)
    /// V+ accumulated within the interval, m³.
    Q_PROPERTY(float dVPlus READ dVPlus NOTIFY dVPlusChanged)
    /// V- accumulated within the interval, m³.
    Q_PROPERTY(float dVMinus READ dVMinus NOTIFY dVMinusChanged)
    /// M+ accumulated within the interval, t.
    Q_PROPERTY(float dMPlus READ dMPlus NOTIFY dMPlusChanged)
    /// W accumulated within the interval, Gcal.
    Q_PROPERTY(float dW READ dW NOTIFY dWChanged)
    /// Least volume flow rate within the interval, m³/h.
    Q_PROPERTY(float dMinVolumeFlowRate READ dMinVolumeFlowRate NOTIFY dMinVolumeFlowRateChanged)
    /// Greatest volume flow rate within the interval, m³/h.
    Q_PROPERTY(float dMaxVolumeFlowRate READ dMaxVolumeFlowRate NOTIFY dMaxVolumeFlowRateChanged)
    /// Least mass flow rate within the interval.
    Q_PROPERTY(float dMinWeightFlowRate READ dMinWeightFlowRate NOTIFY dMinWeightFlowRateChanged)
    /// Greatest mass flow rate within the interval.
    Q_PROPERTY(float dMaxWeightFlowRate READ dMaxWeightFlowRate NOTIFY dMaxWeightFlowRateChanged)
    /// Least temperature 1 within the interval, °C.
    Q_PROPERTY(float minTemperature1 READ minTemperature1 NOTIFY minTemperature1Changed)
    /// Greatest temperature 1 within the interval, °C.
    Q_PROPERTY(float maxTemperature1 READ maxTemperature1 NOTIFY maxTemperature1Changed)
    /// Average temperature 1 within the interval, °C.
    Q_PROPERTY(float averageTemperature1 READ averageTemperature1 NOTIFY averageTemperature1Changed)
    /// Least temperature 2 within the interval, °C.
    Q_PROPERTY(float minTemperature2 READ minTemperature2 NOTIFY minTemperature2Changed)
    /// Greatest temperature 2 within the interval, °C.
    Q_PROPERTY(float maxTemperature2 READ maxTemperature2 NOTIFY maxTemperature2Changed)
    /// Average temperature 2 within the interval, °C.
    Q_PROPERTY(float averageTemperature2 READ averageTemperature2 NOTIFY averageTemperature2Changed)
    /// Least pressure within the interval, MPa.
    Q_PROPERTY(float minPressure READ minPressure NOTIFY minPressureChanged)
    /// Greatest pressure within the interval, MPa.
    Q_PROPERTY(float maxPressure READ maxPressure NOTIFY maxPressureChanged)
    /// Average pressure within the interval, MPa.
    Q_PROPERTY(float averagePressure READ averagePressure NOTIFY averagePressureChanged)
    /// Flow rate flag bit 0.
    Q_PROPERTY(bool quicklyNoSensor READ quicklyNoSensor NOTIFY quicklyNoSensorChanged)
    /// Flow rate flag bit 1: no sensor.
    Q_PROPERTY(bool noSensor READ noSensor NOTIFY noSensorChanged)
    /// Flow rate flag bit 2: user data error.
    Q_PROPERTY(bool userDataError READ userDataError NOTIFY userDataErrorChanged)
    /// Flow rate flag bit 3: the greatest flow rate was passed.
    Q_PROPERTY(bool maxQOverflow READ maxQOverflow NOTIFY maxQOverflowChanged)
    /// Flow rate flag bit 4: the high set point was passed.
    Q_PROPERTY(bool highSetOverflow READ highSetOverflow NOTIFY highSetOverflowChanged)
    /// Flow rate flag bit 5: the low set point was passed.
    Q_PROPERTY(bool lowSetOverflow READ lowSetOverflow NOTIFY lowSetOverflowChanged)
    /// flowRateEsFlags in base 2, at least 6 digits.
    Q_PROPERTY(QString flowRateEsFlagsBinary READ flowRateEsFlagsBinary NOTIFY flowRateEsFlagsChanged)
    /// heatEsFlags in base 2, at least 9 digits.
    Q_PROPERTY(QString heatEsFlagsBinary READ heatEsFlagsBinary NOTIFY heatEsFlagsChanged)
    /// The record layout: 1, 2 or 3 (anything above reads as 3).
    Q_PROPERTY(int ekdGeneration READ ekdGeneration WRITE setEkdGeneration NOTIFY ekdGenerationChanged)
    /// The device has a heat channel: the heat columns are in the model.
    Q_PROPERTY(bool containsHeat READ containsHeat WRITE setContainsHeat NOTIFY containsHeatChanged)

public:
    /// A generation 1 record of a device without heat channel.
    explicit ModbusArchRecordEkDigital(QObject *parent = nullptr);

    /// The time the record stands for (the end of its interval).
    QDateTime recordLabel() const { return m_recordLabel; }
    /// Service flags; bit 0 tells that the device has a heat channel.
    quint16 serviceFlags() const { return m_serviceFlags; }
    /// Flow rate error and status flags (bits 0-5, see the six status flags).
    quint16 flowRateEsFlags() const { return m_flowRateEsFlags; }
    /// Heat channel error and status flags.
    qint32 heatEsFlags() const { return m_heatEsFlags; }
    /// Work time, s.
    quint32 workTime() const { return m_workTime; }
    /// Time without flow rate measuring, s.
    quint32 flowRateSensorLessTime() const { return m_flowRateSensorLessTime; }
    /// Time without heat measuring, s.
    quint32 heatSensorLessTime() const { return m_heatSensorLessTime; }
    /// Forward volume counter V+, m³.
    double vPlus() const { return m_vPlus; }
    /// Reverse volume counter V-, m³.
    double vMinus() const { return m_vMinus; }
    /// Mass counter M+, t.
    double mPlus() const { return m_mPlus; }
    /// Heat counter W, Gcal.
    double w() const { return m_w; }
    /// Work time within the interval, s.
    quint16 dWorkTime() const { return m_dWorkTime; }
    /// Time without flow rate measuring within the interval, s.
    quint16 dFlowRateSensorLessTime() const { return m_dFlowRateSensorLessTime; }
    /// Time without heat measuring within the interval, s.
    quint16 dHeatSensorLessTime() const { return m_dHeatSensorLessTime; }
    /// V+ accumulated within the interval, m³.
    float dVPlus() const { return m_dVPlus; }
    /// V- accumulated within the interval, m³.
    float dVMinus() const { return m_dVMinus; }
    /// M+ accumulated within the interval, t.
    float dMPlus() const { return m_dMPlus; }
    /// W accumulated within the interval, Gcal.
    float dW() const { return m_dW; }
    /// Least volume flow rate within the interval, m³/h.
    float dMinVolumeFlowRate() const { return m_dMinVolumeFlowRate; }
    /// Greatest volume flow rate within the interval, m³/h.
    float dMaxVolumeFlowRate() const { return m_dMaxVolumeFlowRate; }
    /// Least mass flow rate within the interval.
    float dMinWeightFlowRate() const { return m_dMinWeightFlowRate; }
    /// Greatest mass flow rate within the interval.
    float dMaxWeightFlowRate() const { return m_dMaxWeightFlowRate; }
    /// Least temperature 1 within the interval, °C.
    float minTemperature1() const { return m_minTemperature1; }
    /// Greatest temperature 1 within the interval, °C.
    float maxTemperature1() const { return m_maxTemperature1; }
    /// Average temperature 1 within the interval, °C.
    float averageTemperature1() const { return m_averageTemperature1; }
    /// Least temperature 2 within the interval, °C.
    float minTemperature2() const { return m_minTemperature2; }
    /// Greatest temperature 2 within the interval, °C.
    float maxTemperature2() const { return m_maxTemperature2; }
    /// Average temperature 2 within the interval, °C.
    float averageTemperature2() const { return m_averageTemperature2; }
    /// Least pressure within the interval, MPa.
    float minPressure() const { return m_minPressure; }
    /// Greatest pressure within the interval, MPa.
    float maxPressure() const { return m_maxPressure; }
    /// Average pressure within the interval, MPa.
    float averagePressure() const { return m_averagePressure; }
    /// Flow rate flag bit 0.
    bool quicklyNoSensor() const { return m_quicklyNoSensor; }
    /// Flow rate flag bit 1: no sensor.
    bool noSensor() const { return m_noSensor; }
    /// Flow rate flag bit 2: user data error.
    bool userDataError() const { return m_userDataError; }
    /// Flow rate flag bit 3: the greatest flow rate was passed.
    bool maxQOverflow() const { return m_maxQOverflow; }
    /// Flow rate flag bit 4: the high set point was passed.
    bool highSetOverflow() const { return m_highSetOverflow; }
    /// Flow rate flag bit 5: the low set point was passed.
    bool lowSetOverflow() const { return m_lowSetOverflow; }
    /// flowRateEsFlags in base 2.
    QString flowRateEsFlagsBinary() const;
    /// heatEsFlags in base 2.
    QString heatEsFlagsBinary() const;
    /// The record layout.
    int ekdGeneration() const { return m_ekdGeneration; }
    /// Whether the device has a heat channel.
    bool containsHeat() const { return m_containsHeat; }

    /// A field of a generation 1 record, or the record's own roles.
    virtual QVariant dataGen1(const ModbusBytes &bytes, int role) const;
    /// A field of a generation 2 record, or the record's own roles.
    virtual QVariant dataGen2(const ModbusBytes &bytes, int role) const;
    /// A field of a generation 3 record, or the generation 2 fields.
    virtual QVariant dataGen3(const ModbusBytes &bytes, int role) const;
    /// A field of a record of the current generation.
    QVariant data(const ModbusBytes &bytes, int role) const override;

public Q_SLOTS:
    /// Chooses the record layout; the values and the model roles follow.
    void setEkdGeneration(int generation);
    /// Tells whether the device has a heat channel; the model roles follow.
    void setContainsHeat(bool containsHeat);

Q_SIGNALS:
    /// recordLabel changed.
    void recordLabelChanged();
    /// serviceFlags changed.
    void serviceFlagsChanged(quint16 serviceFlags);
    /// flowRateEsFlags changed.
    void flowRateEsFlagsChanged();
    /// heatEsFlags changed.
    void heatEsFlagsChanged(qint32 heatEsFlags);
    /// workTime changed.
    void workTimeChanged();
    /// flowRateSensorLessTime changed.
    void flowRateSensorLessTimeChanged();
    /// heatSensorLessTime changed.
    void heatSensorLessTimeChanged(quint32 heatSensorLessTime);
    /// vPlus changed.
    void vPlusChanged();
    /// vMinus changed.
    void vMinusChanged();
    /// mPlus changed.
    void mPlusChanged(double mPlus);
    /// w changed.
    void wChanged(double w);
    /// dWorkTime changed.
    void dWorkTimeChanged(quint16 dWorkTime);
    /// dFlowRateSensorLessTime changed.
    void dFlowRateSensorLessTimeChanged(quint16 dFlowRateSensorLessTime);
    /// dHeatSensorLessTime changed.
    void dHeatSensorLessTimeChanged(quint16 dHeatSensorLessTime);
    /// dVPlus changed.
    void dVPlusChanged(float dVPlus);
    /// dVMinus changed.
    void dVMinusChanged(float dVMinus);
    /// dMPlus changed.
    void dMPlusChanged(float dMPlus);
    /// dW changed.
    void dWChanged(float dW);
    /// dMinVolumeFlowRate changed.
    void dMinVolumeFlowRateChanged();
    /// dMaxVolumeFlowRate changed.
    void dMaxVolumeFlowRateChanged();
    /// dMinWeightFlowRate changed.
    void dMinWeightFlowRateChanged(float dMinWeightFlowRate);
    /// dMaxWeightFlowRate changed.
    void dMaxWeightFlowRateChanged(float dMaxWeightFlowRate);
    /// minTemperature1 changed.
    void minTemperature1Changed(float minTemperature1);
    /// maxTemperature1 changed.
    void maxTemperature1Changed(float maxTemperature1);
    /// averageTemperature1 changed.
    void averageTemperature1Changed(float averageTemperature1);
    /// minTemperature2 changed.
    void minTemperature2Changed(float minTemperature2);
    /// maxTemperature2 changed.
    void maxTemperature2Changed(float maxTemperature2);
    /// averageTemperature2 changed.
    void averageTemperature2Changed(float averageTemperature2);
    /// minPressure changed.
    void minPressureChanged(float minPressure);
    /// maxPressure changed.
    void maxPressureChanged(float maxPressure);
    /// averagePressure changed.
    void averagePressureChanged(float averagePressure);
    /// quicklyNoSensor changed.
    void quicklyNoSensorChanged();
    /// noSensor changed.
    void noSensorChanged();
    /// userDataError changed.
    void userDataErrorChanged();
    /// maxQOverflow changed.
    void maxQOverflowChanged();
    /// highSetOverflow changed.
    void highSetOverflowChanged();
    /// lowSetOverflow changed.
    void lowSetOverflowChanged();
    /// ekdGeneration changed.
    void ekdGenerationChanged(int ekdGeneration);
    /// containsHeat changed.
    void containsHeatChanged(bool containsHeat);

protected:
    void bytesWasChanged() override;

private:
    void updateRoleNames();
    void updateValues();
    void setRoleValue(int role, const QVariant &value);
    void setFlowRateEsFlags(quint16 flags);
    void setServiceFlags(quint16 flags);
    template <typename T, typename... Args>
    bool store(T &field, const T &value, void (ModbusArchRecordEkDigital::*changed)(Args...));

    RoleItems m_recordRoles;
    QDateTime m_recordLabel = QDateTime::fromMSecsSinceEpoch(0);
    quint16 m_serviceFlags = 0;
    quint16 m_flowRateEsFlags = 0;
    qint32 m_heatEsFlags = 0;
    quint32 m_workTime = 0;
    quint32 m_flowRateSensorLessTime = 0;
    quint32 m_heatSensorLessTime = 0;
    double m_vPlus = 0;
    double m_vMinus = 0;
    double m_mPlus = 0;
    double m_w = 0;
    quint16 m_dWorkTime = 0;
    quint16 m_dFlowRateSensorLessTime = 0;
    quint16 m_dHeatSensorLessTime = 0;
    float m_dVPlus = 0;
    float m_dVMinus = 0;
    float m_dMPlus = 0;
    float m_dW = 0;
    float m_dMinVolumeFlowRate = 0;
    float m_dMaxVolumeFlowRate = 0;
    float m_dMinWeightFlowRate = 0;
    float m_dMaxWeightFlowRate = 0;
    float m_minTemperature1 = 0;
    float m_maxTemperature1 = 0;
    float m_averageTemperature1 = 0;
    float m_minTemperature2 = 0;
    float m_maxTemperature2 = 0;
    float m_averageTemperature2 = 0;
    float m_minPressure = 0;
    float m_maxPressure = 0;
    float m_averagePressure = 0;
    bool m_quicklyNoSensor = false;
    bool m_noSensor = false;
    bool m_userDataError = false;
    bool m_maxQOverflow = false;
    bool m_highSetOverflow = false;
    bool m_lowSetOverflow = false;

    int m_ekdGeneration = 1;
    bool m_containsHeat = false;
};

#endif
