#pragma once

#include <QWidget>

namespace clip {

// A horizontal progress bar showing Value per cent (0 to 100). Values outside
// the range are clamped when set.
class MyProgressBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE setValue)

public:
    static constexpr int Min = 0;
    static constexpr int Max = 100;

    explicit MyProgressBar(QWidget* parent = nullptr);

    int Value() const { return m_value; }
    void setValue(int intValue);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_value = 0;
};

}  // namespace clip
