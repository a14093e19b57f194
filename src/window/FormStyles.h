// The styles of the main window's resources (`Resources1`): the looks its controls name in
// their `Resource`.
//
// Use: the form owns one `TvxResources`, fills it with `RegisterFormStyles` and hands it to its
// scene with `TdxScene::SetResources` (the table must outlive the scene's use of it). Controls of
// that scene then find these styles by name, without regard to case; any other name falls back
// to the toolkit's generic looks (see scene/Styles.h).
//
//   TvxResources Resources1;
//   RegisterFormStyles(Resources1);
//   mainBs->SetResources(&Resources1);
#pragma once

#include <QStringList>

class TvxResources;

// Adds every style of the form to `resources` (replacing styles of the same names).
void RegisterFormStyles(TvxResources& resources);

// The names RegisterFormStyles adds, in the order it adds them.
QStringList FormStyleNames();
