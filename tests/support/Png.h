// PNG files of surfaces: 8-bit RGB, written with zlib.
#pragma once

#include "Pixels.h"

String EncodePng(const TDibSurface& s);
// 8-bit RGB or RGBA (alpha dropped), not interlaced; empty on any other
// file or a damaged one.
TDibSurface DecodePng(const String& data);

bool SavePng(const TDibSurface& s, const String& path);
TDibSurface LoadPng(const String& path);
