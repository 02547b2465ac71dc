// The program's version, in this one place: the resource script, the build and the release
// package read it from here.
#pragma once

#define WARDLET_VERSION_MAJOR 1
#define WARDLET_VERSION_MINOR 2
#define WARDLET_VERSION_PATCH 0
#define WARDLET_VERSION_BUILD 74

#define WARDLET_VERSION_STR2(x) #x
#define WARDLET_VERSION_STR(x) WARDLET_VERSION_STR2(x)
// "1.2.0.74": adjacent literals, joined by the compiler and by the resource compiler alike.
#define WARDLET_VERSION_TEXT                                                                     \
  WARDLET_VERSION_STR(WARDLET_VERSION_MAJOR) "." WARDLET_VERSION_STR(WARDLET_VERSION_MINOR) "." \
  WARDLET_VERSION_STR(WARDLET_VERSION_PATCH) "." WARDLET_VERSION_STR(WARDLET_VERSION_BUILD)
