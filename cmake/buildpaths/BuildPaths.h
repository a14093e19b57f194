#pragma once
#include <string>

// Folders of the build tree a test, benchmark or fuzz target belongs to. They come from one
// generated source, not from compile definitions, so that the other objects do not carry the
// build's absolute path and a compiler cache can share them between checkouts.
namespace melvo::build {

std::string BinDir();        // programs and format plug-ins
std::string SourceDir();     // the checkout
std::string FixturesDir();   // the sound files the build generates
std::string ShotsDir();      // screenshots the window tests save
std::string TestMusicDir();  // the reference services' test catalogue

}  // namespace melvo::build
