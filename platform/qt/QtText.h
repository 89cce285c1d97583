// Texts of the programs on the screen. They are UTF-8, except the bytes that the programs
// carry over from the Windows ANSI code page: a text that is not valid UTF-8 is read as code
// page 1252 (so byte 0x95 is the bullet U+2022).
#pragma once
#include <QString>

#include <string>

QString QtTextOf(const std::string& Text);
