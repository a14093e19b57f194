#include "window/unitMain.h"

#include <QGuiApplication>
#include <QScreen>

TunitMain::TunitMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setWindowTitle(QStringLiteral("Melvo5"));
  setFixedSize(550, 330);
}

void TunitMain::HandOffReceived(const QString& path) {
  FLastHandOff = path;
}

void TunitMain::showEvent(QShowEvent* event) {
  if (!FCentred) CentreOnScreen();
  FCentred = true;
  QWidget::showEvent(event);
}

void TunitMain::CentreOnScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect area = screen->availableGeometry();
  move(area.center() - rect().center());
}
