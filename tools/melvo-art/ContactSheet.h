#pragma once

#include <QImage>
#include <QList>
#include <QRect>

// Every picture of the player at 1× and 2× on a dark sheet, with names, plus a rough
// arrangement of the views to judge the pictures together. `sections` receives the band of
// each part of the sheet, top to bottom.
QImage DrawContactSheet(QList<QRect>* sections = nullptr);
