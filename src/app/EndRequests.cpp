#include "app/EndRequests.h"

#include <QGuiApplication>
#include <QSessionManager>

#include "window/unitMain.h"

TEndRequests::TEndRequests() : FSignals([this](int) { CloseAsQuit(); }) {
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    // The session manager expects the data committed when the call returns.
    connect(
        app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { CloseAsQuit(); },
        Qt::DirectConnection);
    connect(app, &QCoreApplication::aboutToQuit, this, &TEndRequests::CloseAsQuit);
  }
}

void TEndRequests::Attach(TunitMain* window) {
  FWindow = window;
}

void TEndRequests::CloseAsQuit() {
  TunitMain* window = FWindow;
  if (window == nullptr || window->FormClosed()) return;
  window->Guarded("N4Click", [window] { window->N4Click(nullptr); });
}
