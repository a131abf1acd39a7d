#pragma once

#include "platform/widgets/FrameCache.h"

#include <QGroupBox>

namespace flowtally {

// A group box of the main window. The style draws its frame and title anew
// whenever a figure inside it changes, at every tick; this one keeps that
// picture, drawn over the window's background, and is opaque: nothing under
// it is painted again either.
class GroupBox : public QGroupBox {
  public:
    explicit GroupBox(QWidget *parent = nullptr);

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    FrameCache frame_;
};

} // namespace flowtally
