#pragma once

#include <QLabel>

namespace varnelo {

// A label used as a link: hand cursor, underlined, and reachable by keyboard (Tab, then
// Enter or Space), so it works for people and for UI automation alike.
class LinkLabel : public QLabel {
    Q_OBJECT
  public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

  signals:
    void Clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace varnelo
