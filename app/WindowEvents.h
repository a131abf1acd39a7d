#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace flowtally {

// Tells the controller when one of its windows becomes the active (key)
// window and when one is about to close.
class WindowEvents : public QObject {
  public:
    using Handler = std::function<void(QWidget *window)>;

    WindowEvents(Handler didBecomeKey, Handler willClose, QObject *parent = nullptr);
    void watch(QWidget *window);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    Handler didBecomeKey_;
    Handler willClose_;
};

} // namespace flowtally
