// scene-gallery: one window showing every control and style of the scene toolkit.
//   scene-gallery [--items N]
//                 [--screenshot FILE [--delay MS] [--click X,Y] [--hover X,Y] [--popup] [--flip]]
#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "Gallery.h"
#include "scene/SceneHost.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser cli;
  cli.addHelpOption();
  cli.addOption({"items", "Entries in the long list.", "n", "10000"});
  cli.addOption({"screenshot", "Save a screenshot of the screen to FILE and quit.", "file"});
  cli.addOption({"delay", "Milliseconds before the screenshot.", "ms", "1500"});
  cli.addOption({"hover", "Move the pointer to scene point X,Y first.", "x,y"});
  cli.addOption({"click", "Click scene point X,Y first.", "x,y"});
  cli.addOption({"popup", "Open the popup before the screenshot."});
  cli.addOption({"flip", "Flip to the back face before the screenshot."});
  cli.addOption({"repaint", "Screenshot a fresh full repaint instead of the screen."});
  cli.process(app);

  Gallery g = BuildGallery(900, 470, cli.value("items").toInt());
  g.FlipButton->OnClick = [&g](TvxObject*) { g.Flip(true); };
  g.BackButton->OnClick = [&g](TvxObject*) { g.Flip(false); };
  TdxSceneHost host(g.Scene);
  host.setWindowTitle(QStringLiteral("Melvo5 scene gallery"));
  host.show();

  if (cli.isSet("screenshot")) {
    const int delay = cli.value("delay").toInt();
    if (cli.isSet("hover")) {
      const QStringList xy = cli.value("hover").split(',');
      QTimer::singleShot(delay / 3, [&g, xy] {
        g.Scene->MouseMove(QPointF(xy.value(0).toDouble(), xy.value(1).toDouble()), 0);
      });
    }
    if (cli.isSet("click")) {
      const QStringList xy = cli.value("click").split(',');
      QTimer::singleShot(delay / 4, [&g, xy] {
        const QPointF p(xy.value(0).toDouble(), xy.value(1).toDouble());
        g.Scene->MouseDown(p, mbLeft, 0);
        g.Scene->MouseUp(p, mbLeft, 0);
      });
    }
    if (cli.isSet("popup")) QTimer::singleShot(delay / 3, [&] { g.Popup->Popup(); });
    if (cli.isSet("flip")) QTimer::singleShot(delay / 3, [&] { g.Flip(true); });
    QTimer::singleShot(delay, [&] {
      QScreen* screen = host.screen();
      QPixmap shot = screen && !cli.isSet("repaint") ? screen->grabWindow(0) : QPixmap();
      if (shot.isNull() || shot.toImage().allGray()) shot = host.grab();
      const bool ok = shot.save(cli.value("screenshot"));
      std::fprintf(stderr, "screenshot %s: %s\n", qPrintable(cli.value("screenshot")),
                   ok ? "saved" : "failed");
      app.exit(ok ? 0 : 1);
    });
  }
  return app.exec();
}
