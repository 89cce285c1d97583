// The editor's side of the shared definition file, kept in a file of its own: the editor's
// and the loader's units share no code and are not meant to meet in one source file.
#pragma once
#include <string>

// Saves with the editor's writer: a new definition, then key 3 level 1 "1c, break, 1c" in
// macro mode; key 5 a toggle key whose level 2 is Left Shift pressed and released
// (auto-sense) with auto-repeat on level 1; key 7 level 1 LED on and a 100 ms pause; key roll-
// over 1, LED function 4, download delay 20.
void SaveEditorDefinition(const std::string& Path);
// A new definition saved unchanged.
void SaveNewEditorDefinition(const std::string& Path);
