// The player's single window.
#pragma once

#include <QString>
#include <QWidget>

class TunitMain : public QWidget {
 public:
  explicit TunitMain(QWidget* parent = nullptr);

  // A path handed over by a second copy of the player.
  void HandOffReceived(const QString& path);
  const QString& LastHandOff() const { return FLastHandOff; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CentreOnScreen();

  bool FCentred = false;
  QString FLastHandOff;
};
