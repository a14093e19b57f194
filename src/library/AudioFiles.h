// Which files an import takes: the audio files of dropped or chosen files and folders, and the
// path the command line names. Paths are byte strings as the file system has them.
#pragma once

#include <string>
#include <vector>

// The extensions an open-dialog filter names ("Audio|*.mp3;*.FLAC|All|*.*"): each "*." followed
// by letters and digits, lower-cased, each once, in the order they first appear.
std::vector<std::string> AudioExtensionsOf(const std::string& filter);

// True when the extension of the path's file name (after its last dot) is one of `extensions`
// (lower case), whatever its case.
bool HasAudioExtension(const std::string& path, const std::vector<std::string>& extensions);

// The audio files the paths name, in the order of the paths: a file as given (made absolute),
// a folder as every readable audio file below it, sorted by path. Hidden entries (a name that
// starts with a dot) below a folder are left out. Links are followed, but every folder is
// searched once and every file is listed once, however many links lead to it: under the path
// that reaches it without links when there is one, else under one through links (the same one
// for the same tree). Only
// regular files count; what cannot be read is left out.
std::vector<std::string> FindAudioFiles(const std::vector<std::string>& paths,
                                        const std::vector<std::string>& extensions);

// The paths an import of command-line text takes: the text without the blanks (control
// characters and spaces) at both ends, as one path that may contain spaces; none when nothing
// is left; a relative path is made absolute against the working folder. The joined arguments of
// a start and the text a second copy hands over both go here.
std::vector<std::string> CommandLineImportPaths(const std::string& text);
