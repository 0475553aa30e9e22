// The program's version, for its version information (Version.rc).
#pragma once

#define NEMBRA_VERSION 3, 0, 1, 12
#define NEMBRA_VERSION_TEXT "3.0.1.12"
