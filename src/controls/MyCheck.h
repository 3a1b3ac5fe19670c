#pragma once

#include <QCheckBox>

namespace clip {

// A check box drawn with a rounded square indicator and its caption.
class MyCheck : public QCheckBox {
    Q_OBJECT
public:
    explicit MyCheck(const QString& caption = QString(), QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace clip
