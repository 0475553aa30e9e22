#include "Uptshconsts.h"

String PTLoadStr(const String& text) { return text; }
