#pragma once

#include <QRadioButton>

namespace clip {

// An option button: one of a group of choices under the same parent, of which
// exactly one is selected. Drawn with a round indicator and its caption.
class MyOption : public QRadioButton {
    Q_OBJECT
public:
    explicit MyOption(const QString& caption = QString(), QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace clip
