#pragma once

#include <QObject>
#include <QStringList>

// Collects the status texts that reach the status line while it lives.
class StatusTexts : public QObject {
  public:
    StatusTexts();
    ~StatusTexts() override;

    // The texts shown so far, after the main loop has had its idle moment.
    QStringList shown();

  private:
    QStringList texts_;
};
