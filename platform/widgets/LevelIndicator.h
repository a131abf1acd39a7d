#pragma once

#include <QColor>
#include <QWidget>

#include <utility>

namespace flowtally {

// A continuous level bar between a minimum and a maximum. The bar is drawn
// in the normal colour, or in the warning or critical colour once the value
// reaches the warning or critical value; when the critical value lies below
// the warning value, low values are the critical ones. A value that is not a
// number shows an empty bar; infinities show a full or an empty one. Usable
// as a promoted widget in Qt Designer, where its properties can be set.
class LevelIndicator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(double maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(double warningValue READ warningValue WRITE setWarningValue)
    Q_PROPERTY(double criticalValue READ criticalValue WRITE setCriticalValue)
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue)

  public:
    enum class Zone { Normal, Warning, Critical };

    explicit LevelIndicator(QWidget *parent = nullptr);

    double minValue() const { return min_; }
    void setMinValue(double value);
    double maxValue() const { return max_; }
    void setMaxValue(double value);
    double warningValue() const { return warning_; }
    void setWarningValue(double value);
    double criticalValue() const { return critical_; }
    void setCriticalValue(double value);
    double doubleValue() const { return value_; }
    void setDoubleValue(double value);

    // The zone that the value lies in, and the colour the bar takes in it.
    Zone zone() const;
    static QColor colour(Zone zone);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    // The share of the bar that is filled, from 0 to 1.
    double filledFraction() const;
    // What a paint would show of the value: its zone and the device pixel
    // where the fill ends (-1 for none). A value that leaves both alone
    // repaints nothing.
    std::pair<Zone, long> drawnValue() const;
    // The filled part's room: the bar inside its frame.
    QRectF inside() const;

    double min_ = 0;
    double max_ = 100;
    double warning_ = 0;
    double critical_ = 0;
    double value_ = 0;
};

} // namespace flowtally
